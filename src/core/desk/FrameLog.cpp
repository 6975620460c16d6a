#include "core/desk/FrameLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <ostream>

#include "core/documents/Errors.h"
#include "core/j1939/Pgn.h"
#include "core/map/MapFormats.h"

namespace tessaro::desk {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

std::string dataHex(const CanFrame& frame) {
    std::string text;
    for (std::size_t i = 0; i < frame.length && i < frame.data.size(); ++i) {
        text += kHex[frame.data[i] >> 4];
        text += kHex[frame.data[i] & 0x0F];
    }
    return text;
}

void checkStream(const std::ostream& out, const std::string& name) {
    if (out) return;
    const int reason = errno;
    throw Error("cannot write " + name + (reason ? std::string(": ") + std::strerror(reason) : std::string()));
}

}  // namespace

std::string secondsText(std::int64_t wallMicros) {
    char text[32];
    std::snprintf(text, sizeof text, "%010lld.%06lld", static_cast<long long>(wallMicros / 1'000'000),
                  static_cast<long long>(wallMicros % 1'000'000));
    return text;
}

std::string candumpLine(std::int64_t wallMicros, std::string_view interfaceName, const CanFrame& frame) {
    char identifier[9];
    if (frame.extended)
        std::snprintf(identifier, sizeof identifier, "%08X", unsigned(frame.identifier & 0x1FFFFFFF));
    else
        std::snprintf(identifier, sizeof identifier, "%03X", unsigned(frame.identifier & 0x7FF));
    return "(" + secondsText(wallMicros) + ") " + std::string(interfaceName) + " " + identifier + "#" + dataHex(frame);
}

std::string frameJsonLine(const SentFrame& sent, const ModelFrame& frame, std::string_view interfaceName,
                          const std::vector<SignalValue>* signalValues) {
    nlohmann::ordered_json line;
    line["time"] = secondsText(sent.wallMicros);
    line["interface"] = interfaceName;
    line["identifier"] = identifierText(sent.can.identifier);
    line["frame"] = frame.number;
    line["pgn"] = frame.pgn;
    line["pgnHex"] = pgnHex(frame.parameterGroup());
    line["acronym"] = frame.acronym.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(frame.acronym);
    line["priority"] = frame.priority & 7;
    line["dataPage"] = frame.dataPage & 1;
    line["source"] = sent.can.identifier & 0xFF;
    line["group"] = frame.group;
    line["request"] = sent.answersRequest;
    line["data"] = dataHex(sent.can);
    if (signalValues) {
        nlohmann::ordered_json values = nlohmann::ordered_json::array();
        for (const SignalValue& value : *signalValues) {
            nlohmann::ordered_json entry;
            entry["name"] = value.name;
            entry["value"] = value.available ? nlohmann::ordered_json(value.value) : nlohmann::ordered_json();
            entry["unit"] = value.unit;
            values.push_back(std::move(entry));
        }
        line["signals"] = std::move(values);
    }
    return line.dump();
}

std::string signalsLine(std::int64_t wallMicros, const MessageDefinition& message,
                        const std::vector<SignalValue>& values) {
    if (values.empty()) return {};
    std::string line = "(" + secondsText(wallMicros) + ") " + message.name + ":";
    for (std::size_t i = 0; i < values.size(); ++i)
        line += (i ? "; " : " ") + values[i].name + " = " + signalValueText(values[i]);
    return line;
}

std::vector<const MessageDefinition*> messagesOfFrames(const GatewayModel& model, const SignalDatabase* database) {
    std::vector<const MessageDefinition*> messages;
    for (const ModelFrame& frame : model.frames)
        messages.push_back(database ? database->messageOfPgn(frame.parameterGroup()) : nullptr);
    return messages;
}

FrameLogWriter::FrameLogWriter(std::ostream& out, std::string outputName, LogFormat format, const GatewayModel& model,
                               const SignalDatabase* database, bool live)
    : m_out(out),
      m_outputName(std::move(outputName)),
      m_format(format),
      m_model(model),
      m_database(database),
      m_live(live),
      m_messages(messagesOfFrames(model, database)) {}

void FrameLogWriter::send(const SentFrame& sent) {
    if (m_format == LogFormat::jsonLines) {
        std::vector<SignalValue> values;
        if (const MessageDefinition* message = m_messages[sent.frame]) values = decodeSignals(sent.can.data, *message);
        m_line = frameJsonLine(sent, m_model.frames[sent.frame], kLogInterface, m_database ? &values : nullptr);
    } else {
        m_line = candumpLine(sent.wallMicros, kLogInterface, sent.can);
    }
    m_line += '\n';
    m_out.write(m_line.data(), std::streamsize(m_line.size()));
    checkStream(m_out, m_outputName);
}

void FrameLogWriter::flush() {
    if (!m_live) return;
    m_out.flush();
    checkStream(m_out, m_outputName);
}

void FrameLogWriter::finish() {
    m_out.flush();
    checkStream(m_out, m_outputName);
}

SignalLinesWriter::SignalLinesWriter(std::ostream& out, std::string outputName, const GatewayModel& model,
                                     const SignalDatabase& database, bool live)
    : m_out(out), m_outputName(std::move(outputName)), m_live(live), m_messages(messagesOfFrames(model, &database)) {}

void SignalLinesWriter::send(const SentFrame& sent) {
    const MessageDefinition* message = m_messages[sent.frame];
    if (!message) return;
    const std::string line = signalsLine(sent.wallMicros, *message, decodeSignals(sent.can.data, *message));
    if (line.empty()) return;
    m_out << line << '\n';
    checkStream(m_out, m_outputName);
}

void SignalLinesWriter::flush() {
    if (!m_live) return;
    m_out.flush();
    checkStream(m_out, m_outputName);
}

void SignalLinesWriter::finish() {
    m_out.flush();
    checkStream(m_out, m_outputName);
}

}  // namespace tessaro::desk
