// Not a test: prints what the signal database reader makes of DBC files, for the differential test against a second
// DBC reader (tests/core/signals/differential_signals.py):
//   tessaro_signal_layout FILE.dbc ...
// For each file its messages, their PGN readings, their signals and the bits each takes in each byte, one line each:
//   FILE path
//   MESSAGE name size pgn|- destination|- priority|- source|-
//   SIGNAL name plain|multiplexer|multiplexed [multiplexer first-last ...]
//   BYTE byte signal lowBit highBit           (byte from 0, bits from 0 the least significant)
//   EXAMPLE signal raw register=value ...     (the worked example with B1 to B8 fed by holding 0 to 3 in turn,
//                                              high half first; raw in decimal, a float's as float:HEX)
//   NOTE text                                 (a malformed line, a signal left out)
#include <cstdio>
#include <string>

#include "core/documents/Errors.h"
#include "core/j1939/RegisterKind.h"
#include "core/map/SignalAnalysis.h"
#include "core/signals/SignalDatabase.h"

namespace {

// The worked examples of the message's signals that lie in its first eight bytes, each byte fed by the next half of
// holding registers 0 to 3 in the order Modbus carries them.
void printExamples(const tessaro::MessageDefinition& message) {
    tessaro::SignalDatabase single;
    single.messages.push_back(message);
    single.messages[0].identifier = tessaro::kExtendedIdentifierFlag | 0x18FF0000u;
    tessaro::FrameMap frame;
    frame.frame = 1;
    frame.pgn = 0xFF00;
    for (std::size_t b = 0; b < tessaro::kFrameBytes; ++b)
        frame.bytes[b] = {
            int(b + 1),
            {{std::int32_t(b / 2), 1, 1, tessaro::typeRegOf(tessaro::RegisterKind::holding), std::uint8_t(b / 2 + 1),
              b % 2 == 0 ? tessaro::RegisterHalf::high : tessaro::RegisterHalf::low}}};
    for (const tessaro::CoveredSignal& signal : tessaro::analyseFrameSignals(single, frame).covered) {
        std::string raw;
        const std::uint64_t bits = signal.example.rawBits;
        if (signal.valueType != tessaro::ValueType::integer) {
            char hex[24];
            std::snprintf(hex, sizeof hex, "float:%llX", static_cast<unsigned long long>(bits));
            raw = hex;
        } else if (signal.isSigned && signal.length < 64 && (bits >> (signal.length - 1) & 1)) {
            raw = std::to_string(std::int64_t(bits) - (std::int64_t(1) << signal.length));
        } else if (signal.isSigned) {
            raw = std::to_string(std::int64_t(bits));
        } else {
            raw = std::to_string(bits);
        }
        std::printf("EXAMPLE %s %s", signal.name.c_str(), raw.c_str());
        for (const tessaro::RegisterArithmetic& feeder : signal.arithmetic)
            std::printf(" %d=%u", feeder.source.registerNumber, unsigned(feeder.exampleValue));
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessaro_signal_layout FILE.dbc ...\n");
        return 2;
    }
    for (int file = 1; file < argc; ++file) {
        std::printf("FILE %s\n", argv[file]);
        tessaro::SignalDatabase database;
        try {
            database = tessaro::loadSignalDatabase(argv[file]);
        } catch (const tessaro::Error& failure) {
            std::printf("NOTE %s\n", failure.what());
            continue;
        }
        for (const auto* notes : {&database.malformed, &database.leftOut})
            for (const tessaro::DatabaseNote& note : *notes) std::printf("NOTE %s\n", noteText(note).c_str());
        for (const tessaro::MessageDefinition& message : database.messages) {
            const std::optional<tessaro::Pgn> pgn = message.pgn();
            const std::uint32_t identifier = message.identifier & ~tessaro::kExtendedIdentifierFlag;
            if (pgn) {
                const std::optional<std::uint8_t> destination = pgn->destination();
                std::printf("MESSAGE %s %u %u %s %u %u\n", message.name.c_str(), message.size, pgn->number(),
                            destination ? std::to_string(*destination).c_str() : "-", identifier >> 26 & 7,
                            identifier & 0xFF);
            } else {
                std::printf("MESSAGE %s %u - - - -\n", message.name.c_str(), message.size);
            }
            for (const tessaro::SignalDefinition& signal : message.signalDefinitions) {
                std::string kind = signal.multiplexed()   ? "multiplexed " + signal.multiplexer
                                   : signal.isMultiplexer ? "multiplexer"
                                                          : "plain";
                for (const tessaro::ValueRange& range : signal.multiplexerValues)
                    kind += " " + std::to_string(range.first) + "-" + std::to_string(range.last);
                std::printf("SIGNAL %s %s\n", signal.name.c_str(), kind.c_str());
                for (const tessaro::ByteBits& bits : tessaro::bitsOf(signal))
                    std::printf("BYTE %u %s %u %u\n", bits.byte, signal.name.c_str(), bits.lowBit, bits.highBit);
            }
            printExamples(message);
        }
    }
    return 0;
}
