#pragma once

#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "core/desk/DeskRun.h"
#include "core/desk/SimulatedClock.h"
#include "core/image/ImageDecoder.h"

namespace tessaro::testing {

using desk::DeskTime;
using std::chrono::milliseconds;

// Images written down entry by entry, as the decoder gives them.
inline ImageFrame imageFrame(std::uint16_t pgn, std::uint8_t group, bool erase = false, std::uint8_t priority = 6,
                             std::uint8_t dataPage = 0) {
    return ImageFrame{priority, dataPage, pgn, group, std::uint8_t(erase ? 1 : 0)};
}

// Registers from index on, one position byte each (high nibble the frame byte of the high half).
inline ImageDefinition imageDefinition(std::uint8_t frame, std::uint8_t slave, std::uint16_t index,
                                       std::vector<std::uint8_t> positions, std::uint8_t typeReg = 3) {
    ImageDefinition definition{frame, slave, index, std::uint8_t(positions.size() - 1), typeReg, {}};
    for (std::size_t r = 0; r < positions.size() && r < 8; ++r) definition.positions[r] = positions[r];
    return definition;
}

inline ImageGeneralParameters generalParameters(std::uint8_t deviceId, std::uint16_t timeoutMs, std::uint16_t delayMs) {
    return ImageGeneralParameters{5, deviceId, 0, 4, 2, 0, timeoutMs, delayMs, 0, 0, 0};
}

inline DecodedImage image(std::vector<ImageFrame> frames, std::vector<ImageDefinition> definitions,
                          std::vector<std::uint16_t> groups,
                          std::optional<ImageGeneralParameters> general = generalParameters(0x80, 200, 50)) {
    DecodedImage decoded;
    decoded.frames = std::move(frames);
    decoded.definitions = std::move(definitions);
    decoded.groups = std::move(groups);
    decoded.general = general;
    return decoded;
}

// A line of slaves on the simulated clock: each request takes the latency and then gets what respond says; one
// that gets no answer takes the time-out. It records when each request began.
class ScriptedMaster : public desk::ModbusMaster {
public:
    using Respond = std::function<desk::ModbusReply(const desk::ModbusRequest&, DeskTime started)>;

    ScriptedMaster(desk::Clock& clock, DeskTime latency, DeskTime timeout, Respond respond)
        : m_clock(clock), m_latency(latency), m_timeout(timeout), m_respond(std::move(respond)) {}

    desk::ModbusReply read(const desk::ModbusRequest& request) override {
        const DeskTime started = m_clock.now();
        requests.push_back({started, request});
        desk::ModbusReply reply = m_respond(request, started);
        const DeskTime until = started + (reply.outcome == desk::ModbusOutcome::timedOut ? m_timeout : m_latency);
        while (m_clock.now() < until) m_clock.waitUntil(until, [] { return false; });
        return reply;
    }

    std::vector<std::pair<DeskTime, desk::ModbusRequest>> requests;

private:
    desk::Clock& m_clock;
    DeskTime m_latency;
    DeskTime m_timeout;
    Respond m_respond;
};

// Every register holds its own address plus the slave's address times 0x1000.
inline desk::ModbusReply addressValues(const desk::ModbusRequest& request, DeskTime) {
    std::vector<std::uint16_t> values;
    for (std::uint16_t r = 0; r < request.count; ++r)
        values.push_back(std::uint16_t(request.slave * 0x1000 + request.first + r));
    return desk::ModbusReply::answer(values);
}

class RecordingOut : public desk::CanOut {
public:
    void send(const desk::SentFrame& frame) override { sent.push_back(frame); }
    std::vector<desk::SentFrame> sent;

    std::vector<DeskTime> timesOf(std::size_t frame) const {
        std::vector<DeskTime> times;
        for (const desk::SentFrame& sentFrame : sent)
            if (sentFrame.frame == frame) times.push_back(sentFrame.at);
        return times;
    }
    // The bytes of the frame as it went out last at or before the time.
    desk::FrameBytes bytesAt(std::size_t frame, DeskTime time) const {
        desk::FrameBytes bytes{};
        for (const desk::SentFrame& sentFrame : sent)
            if (sentFrame.frame == frame && sentFrame.at <= time) bytes = sentFrame.can.data;
        return bytes;
    }
};

// Frames that arrive at given times of the simulated clock.
class ScriptedCanIn : public desk::CanIn {
public:
    explicit ScriptedCanIn(desk::SimulatedClock& clock) : m_clock(clock) {}
    void arrive(DeskTime at, const desk::CanFrame& frame) {
        m_frames.push_back({at, frame});
        m_clock.wakeAt(at);
    }
    bool pending() const override { return !m_frames.empty() && m_frames.front().first <= m_clock.now(); }
    std::optional<desk::CanFrame> receive() override {
        if (!pending()) return std::nullopt;
        const desk::CanFrame frame = m_frames.front().second;
        m_frames.pop_front();
        return frame;
    }

private:
    desk::SimulatedClock& m_clock;
    std::deque<std::pair<DeskTime, desk::CanFrame>> m_frames;
};

inline std::vector<DeskTime> times(std::initializer_list<int> millis) {
    std::vector<DeskTime> result;
    for (const int ms : millis) result.push_back(milliseconds(ms));
    return result;
}

}  // namespace tessaro::testing
