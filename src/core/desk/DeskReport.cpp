#include "core/desk/DeskReport.h"

#include <cstdio>
#include <sstream>

#include "core/image/ConfigurationImage.h"

namespace tessaro::desk {

namespace {

std::string endText(const DeskSummary& summary) {
    switch (summary.end) {
        case RunEnd::duration:
            return "its duration was over";
        case RunEnd::cycles:
            return "it had made its cycles";
        case RunEnd::stopped:
            return "it was stopped";
        case RunEnd::failed:
            return "it failed";
        case RunEnd::running:
            break;
    }
    return "it was still running";
}

std::string secondsFigure(DeskTime elapsed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", std::chrono::duration<double>(elapsed).count());
    return text;
}

}  // namespace

std::string millisecondsText(double milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", milliseconds);
    return text;
}

std::string bytesText(const FrameBytes& bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", unsigned(byte));
        text += (text.empty() ? "" : " ") + std::string(pair);
    }
    return text;
}

std::string slaveStateText(const SlaveStats& slave) {
    if (slave.requests == 0) return "not asked yet";
    switch (slave.last) {
        case ModbusOutcome::answered:
            return "answering";
        case ModbusOutcome::timedOut:
            return "time-out";
        case ModbusOutcome::exception:
            return "exception " + exceptionText(slave.lastException);
        case ModbusOutcome::failed:
            return "failed: " + slave.lastFailure;
    }
    return {};
}

std::string summaryText(const DeskSummary& summary, const GatewayModel& model) {
    std::ostringstream out;
    out << "Desk test: " << secondsFigure(summary.elapsed) << ", "
        << plural(summary.rounds, "poll round", "poll rounds") << "; it ended because " << endText(summary) << "\n";

    out << "Slaves: " << summary.slaves.size() << "\n";
    for (const SlaveStats& slave : summary.slaves) {
        out << "  slave " << int(slave.slave) << ": " << plural(slave.requests, "request", "requests") << ", "
            << slave.answered << " answered";
        const std::uint64_t failed = slave.requests - slave.answered;
        if (failed > 0) out << ", " << failed << " failed";
        if (slave.timeouts > 0) out << ", " << plural(slave.timeouts, "time-out", "time-outs");
        for (const auto& [code, count] : slave.exceptions)
            out << ", " << plural(count, "exception ", "exceptions ") << exceptionText(code);
        if (slave.failures > 0)
            out << ", " << plural(slave.failures, "failure", "failures") << " (the last: " << slave.lastFailure << ")";
        out << "\n";
    }

    out << "Frames sent per PGN:\n";
    for (const PgnCount& pgn : summary.pgns) {
        ModelFrame named;
        named.dataPage = pgn.dataPage;
        named.pgn = pgn.pgn;
        named.acronym = pgn.acronym;
        out << "  " << framePgnText(named) << ": " << pgn.sent << "\n";
    }

    out << "Groups: " << summary.groups.size() << "\n";
    for (const GroupFigures& group : summary.groups) {
        out << "  group " << group.number << ", " << group.cycleMs << " ms, " << plural(group.frames, "frame", "frames")
            << ": ";
        if (group.cycleMs == 0 || group.frames == 0) {
            out << "sends nothing\n";
            continue;
        }
        out << plural(group.sends, "send", "sends");
        if (group.measured)
            out << ", measured cycle min " << millisecondsText(group.measured->minimumMs) << ", median "
                << millisecondsText(group.measured->medianMs) << ", max "
                << millisecondsText(group.measured->maximumMs);
        out << "\n";
    }

    if (!summary.onRequest.empty()) {
        out << (summary.requestsHeard ? "On Request frames, sent when a request names them:\n"
                                      : "On Request frames, not sent without a CAN interface to hear requests on:\n");
        for (std::size_t i = 0; i < summary.onRequest.size(); ++i) {
            const ModelFrame& frame = model.frames[summary.onRequest[i]];
            out << "  frame " << frame.number << ": " << framePgnText(frame) << ", identifier "
                << identifierText(frame.identifier) << ", bytes " << bytesText(summary.onRequestBytes[i]) << "\n";
        }
    }
    if (summary.requestsHeard)
        out << "Requests: " << summary.requestsAnswered << " answered, " << summary.requestsIgnored
            << " for another address or another PGN\n";
    if (!model.notes.empty()) {
        out << "Notes:\n";
        for (const std::string& note : model.notes) out << "  " << note << "\n";
    }
    return out.str();
}

}  // namespace tessaro::desk
