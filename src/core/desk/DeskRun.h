#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/desk/CanFrame.h"
#include "core/desk/DeskClock.h"
#include "core/desk/GatewayModel.h"
#include "core/desk/ModbusMaster.h"

namespace tessaro::desk {

// A frame as it went out: which frame of the model, its bytes, and when.
struct SentFrame {
    std::size_t frame = 0;  // index into the model's frames
    CanFrame can;
    DeskTime at{};                // since the start of the run
    std::int64_t wallMicros = 0;  // microseconds since 1970, UTC
    bool answersRequest = false;  // an On Request frame sent for a request
};

// Where the frames go: a log, a CAN interface, a table on the screen.
class CanOut {
public:
    virtual ~CanOut() = default;
    // Throws tessaro::Error when the frame cannot be put out; the run then stops with that failure.
    virtual void send(const SentFrame& frame) = 0;
    // After the frames of one moment.
    virtual void flush() {}
};

// Where requests come from, on a CAN interface.
class CanIn {
public:
    virtual ~CanIn() = default;
    // Whether a frame waits; called with the clock's lock held.
    virtual bool pending() const = 0;
    virtual std::optional<CanFrame> receive() = 0;
};

// When the run ends by itself: after a time, or once every group that sends has sent so many times (when no group
// sends, after so many poll rounds). Neither: when it is stopped.
struct RunLimits {
    DeskTime duration = kNever;
    std::uint32_t cycles = 0;  // 0 for none
};

enum class RunEnd : std::uint8_t { running, duration, cycles, stopped, failed };

struct SlaveStats {
    std::uint8_t slave = 0;
    std::uint64_t requests = 0;
    std::uint64_t answered = 0;
    std::uint64_t timeouts = 0;
    std::uint64_t failures = 0;
    std::map<std::uint8_t, std::uint64_t> exceptions;  // by code
    ModbusOutcome last = ModbusOutcome::answered;
    std::uint8_t lastException = 0;  // 0 before the first exception
    std::string lastFailure;
};

struct FrameStats {
    std::uint64_t sent = 0;
    std::int64_t lastWallMicros = 0;  // of the last send; 0 before the first
};

struct CycleFigures {
    double minimumMs = 0;
    double medianMs = 0;
    double maximumMs = 0;
    std::size_t cycles = 0;  // measured: one less than the sends
};

// What the run has done so far, for a live view.
struct DeskSnapshot {
    DeskTime elapsed{};
    std::uint64_t rounds = 0;
    std::vector<FrameBytes> bytes;
    std::vector<FrameStats> frames;
    std::vector<SlaveStats> slaves;  // by slave address
    RunEnd end = RunEnd::running;
};

struct PgnCount {
    std::uint8_t dataPage = 0;
    std::uint16_t pgn = 0;
    std::string acronym;
    std::uint64_t sent = 0;
};

struct GroupFigures {
    std::size_t number = 0;
    std::uint16_t cycleMs = 0;
    std::size_t frames = 0;
    std::uint64_t sends = 0;
    std::optional<CycleFigures> measured;  // from two sends on
};

struct DeskSummary {
    DeskTime elapsed{};
    std::uint64_t rounds = 0;
    RunEnd end = RunEnd::running;
    std::vector<SlaveStats> slaves;
    std::vector<PgnCount> pgns;  // by data page and PGN
    std::vector<GroupFigures> groups;
    std::vector<std::size_t> onRequest;      // frame indices
    std::vector<FrameBytes> onRequestBytes;  // what each would carry at the end
    bool requestsHeard = false;              // the run listened for requests on a CAN interface
    std::uint64_t requestsAnswered = 0;
    std::uint64_t requestsIgnored = 0;  // for another address or for no On Request frame of the run
};

// The median and the extremes of a group's measured cycles.
CycleFigures cycleFigures(std::vector<DeskTime> intervals);

// The gateway played against a Modbus master: one activity polls the slaves, one round after another with the
// cyclic delay between them; the other sends each group's frames every cyclic time and answers requests. Both wait
// on the clock only.
class DeskRun {
public:
    // in is null for a run without a CAN interface: On Request frames are then listed, not sent.
    DeskRun(const GatewayModel& model, ModbusMaster& master, Clock& clock, CanOut& out, CanIn* in, RunLimits limits,
            std::int64_t wallMicrosAtStart);
    DeskRun(const DeskRun&) = delete;
    DeskRun& operator=(const DeskRun&) = delete;

    // Runs until a limit or stop(); rethrows what stopped an activity with a failure.
    void run();
    // From any thread; the request under way ends first (at most the time-out), and is not counted.
    void stop();

    DeskSnapshot snapshot() const;
    DeskSummary summary() const;
    const GatewayModel& model() const { return m_model; }

private:
    void poll();
    void send();
    // The groups due by now, and at the latest by the end.
    void sendDueGroups(DeskTime now, DeskTime end);
    void answerRequests(DeskTime now);
    void endWith(RunEnd end);
    void fail(std::exception_ptr failure);
    bool stopping() const { return m_stopping.load(); }
    std::int64_t wallMicros(DeskTime at) const;
    SlaveStats& slave(std::uint8_t address);
    // With the lock held.
    DeskTime elapsed() const;

    const GatewayModel& m_model;
    ModbusMaster& m_master;
    Clock& m_clock;
    CanOut& m_out;
    CanIn* m_in;
    RunLimits m_limits;
    std::int64_t m_wallAtStart;
    DeskTime m_start{};

    std::atomic<bool> m_stopping{false};
    std::exception_ptr m_failure;

    mutable std::mutex m_mutex;  // what both activities and a viewer share
    RunEnd m_end = RunEnd::running;
    DeskTime m_endedAt{};  // when the end came; the request under way may finish later
    DeskTime m_lastSeen{};
    std::uint64_t m_rounds = 0;
    std::vector<FrameBytes> m_bytes;
    std::vector<FrameStats> m_frames;
    std::map<std::uint8_t, SlaveStats> m_slaves;
    std::vector<std::vector<DeskTime>> m_intervals;  // per group
    std::vector<std::uint64_t> m_sends;              // per group
    std::uint64_t m_requestsAnswered = 0;
    std::uint64_t m_requestsIgnored = 0;

    // The sender's own.
    std::vector<DeskTime> m_nextSend;
    std::vector<std::optional<DeskTime>> m_lastSend;
};

}  // namespace tessaro::desk
