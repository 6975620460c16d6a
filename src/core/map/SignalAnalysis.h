#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/map/ProjectMap.h"
#include "core/signals/FrameSignals.h"
#include "core/signals/SignalDatabase.h"

namespace tessaro {

// "slave 1 holding 0"
std::string registerText(const SignalRegister& source);

// "raw = physical / 0.125, 16 bits unsigned, physical in rpm": raw = (physical - offset) / factor; for a float
// "IEEE single (32 bits)" or "IEEE double (64 bits)" in place of the width and sign.
std::string encodingText(const SignalDefinition& signal);
std::string joinedNames(const std::vector<std::string>& names, std::string_view separator);
// "B3 bits 4–7 and B4 bits 0–3", "B1 bit 5": the bits a signal takes in each byte, B1 first.
std::string byteBitsText(const std::vector<ByteBits>& bits);
// "B4 bits 0–7 and B5 bits 0–7 (start bit 24, 16 bits little-endian)"
std::string signalPlacementText(const CoveredSignal& signal);
// "slave 1 holding 10, slave 1 holding 11"
std::string signalRegistersText(const CoveredSignal& signal);
// "holding 5 = raw << 4 in bits 4–11": each register's value put together from the raw value, shift and mask
// included.
std::string registerArithmeticText(const CoveredSignal& signal);
// "1500 rpm → raw 12000 → holding 0 = 0x2EE0"
std::string exampleText(const CoveredSignal& signal);
// "0 Off, 1 On"; empty when the database gives no texts.
std::string valueTextsText(const std::vector<ValueText>& texts);
// "Page = 0", "Page = 3 to 5, 8"
std::string multiplexerValuesText(const std::string& multiplexer, const std::vector<ValueRange>& values);
// "EngineSpeed (SPN 190)", "PageA when Page = 0"
std::string signalTitle(const CoveredSignal& signal);
// "EngineSpeed (SPN 190), B4 bits 0–7 and B5 bits 0–7 (start bit 24, 16 bits little-endian), from slave 1 holding
// 0: raw = ..., physical in rpm; holding 0 = raw in bits 0–15; example: ...; values: ..."
std::string coveredSignalText(const CoveredSignal& signal);
// "PageA when Page = 0, PageB when Page = 1"
std::string multiplexedNamesText(const std::vector<MultiplexedAtByte>& names);

// The names of the message's signals at each of B1 to B8, in the message's order: those always there (the
// multiplexers among them), and those a multiplexer chooses.
std::array<std::vector<std::string>, kFrameBytes> signalsAtBytes(const MessageDefinition& message);
std::array<std::vector<MultiplexedAtByte>, kFrameBytes> multiplexedAtBytes(const MessageDefinition& message);

// The tips of a frame's byte choices B1 to B8 in "Define J1939": "EEC1 B4: EngineSpeed", "EEC1 B2: no signal",
// "EEC1 B1: LowNibble bits 0–3, HighNibble bits 4–7", "Muxed B2: PageA when Page = 0"; all empty when the PGN is
// not in the database.
std::array<std::string, kFrameBytes> byteSignalTips(const SignalDatabase& database, const Pgn& pgn);

// The tip of a byte's cell in "Project Map": a line per signal at the byte with its bits, SPN, multiplexer and,
// when the frame feeds it whole, its encoding and value texts. byte is 1 to 8.
std::string byteSignalsTip(const FrameSignals& frameSignals, unsigned byte);

// The signals of the frame's PGN at its bytes, given the register halves that feed them.
FrameSignals analyseFrameSignals(const SignalDatabase& database, const FrameMap& frame);
// The same for the message already found.
FrameSignals analyseFrameSignals(const MessageDefinition& message, const FrameMap& frame);

// Names the signals of every frame of the map, and adds their findings and the database's notes (the file
// named by its name) to the map's findings.
void annotateSignals(ProjectMap& map, const SignalDatabase& database, const std::string& databaseName);

// The project map, with the signals of the database file given, else of the project's or the tool's signals.dbc
// (signalDatabasePath); without signals when there is none. Throws tessaro::Error when a document or the database
// cannot be read.
ProjectMap buildAnnotatedProjectMap(const std::string& projectFolder, const std::string& toolFolder,
                                    const std::optional<std::string>& databaseFile = std::nullopt,
                                    MapFeeds feeds = MapFeeds::listed);

}  // namespace tessaro
