#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "core/desk/DeskRun.h"
#include "core/desk/SignalValues.h"
#include "core/signals/SignalDatabase.h"

namespace tessaro::desk {

// The frames of a run as text, one line each.

// The interface a log names when the run sends on none.
inline constexpr std::string_view kLogInterface = "can0";

// "(1700000000.100000) can0 0CF00480#FFFFFFE02EFFFFFF": what candump -l writes and canplayer replays.
std::string candumpLine(std::int64_t wallMicros, std::string_view interfaceName, const CanFrame& frame);
// "1700000000.100000"
std::string secondsText(std::int64_t wallMicros);

// One JSON object: time, interface, identifier, frame, PGN and its acronym, priority, data page, source address,
// the group (0 On Request), whether it answers a request, the data; with signals, their values.
std::string frameJsonLine(const SentFrame& sent, const ModelFrame& frame, std::string_view interfaceName,
                          const std::vector<SignalValue>* signalValues);

// "(1700000000.100000) EEC1: EngineSpeed = 1500 rpm"; empty for a frame without signals.
std::string signalsLine(std::int64_t wallMicros, const MessageDefinition& message,
                        const std::vector<SignalValue>& values);

enum class LogFormat { candump, jsonLines };

// Writes each frame sent to out, as a candump log or as JSON lines, the JSON lines with each frame's signal values
// when a signal database is given. A stream that fails makes send throw tessaro::Error naming the output. Live, the
// lines are flushed at every moment's end.
class FrameLogWriter : public CanOut {
public:
    FrameLogWriter(std::ostream& out, std::string outputName, LogFormat format, const GatewayModel& model,
                   const SignalDatabase* database = nullptr, bool live = false);

    void send(const SentFrame& frame) override;
    void flush() override;
    // Flushes whatever is left; throws tessaro::Error when the stream failed.
    void finish();

private:
    std::ostream& m_out;
    std::string m_outputName;
    LogFormat m_format;
    const GatewayModel& m_model;
    const SignalDatabase* m_database;
    bool m_live;
    std::vector<const MessageDefinition*> m_messages;  // per frame, or null
    std::string m_line;
};

// A signal line for each frame sent whose PGN has signals in the database.
class SignalLinesWriter : public CanOut {
public:
    SignalLinesWriter(std::ostream& out, std::string outputName, const GatewayModel& model,
                      const SignalDatabase& database, bool live = false);

    void send(const SentFrame& frame) override;
    void flush() override;
    void finish();

private:
    std::ostream& m_out;
    std::string m_outputName;
    bool m_live;
    std::vector<const MessageDefinition*> m_messages;
};

// Each frame to every one of the outputs, in their order.
class FanOut : public CanOut {
public:
    explicit FanOut(std::vector<CanOut*> outputs) : m_outputs(std::move(outputs)) {}
    void send(const SentFrame& frame) override {
        for (CanOut* output : m_outputs) output->send(frame);
    }
    void flush() override {
        for (CanOut* output : m_outputs) output->flush();
    }

private:
    std::vector<CanOut*> m_outputs;
};

// The message of each frame's PGN, or null.
std::vector<const MessageDefinition*> messagesOfFrames(const GatewayModel& model, const SignalDatabase* database);

}  // namespace tessaro::desk
