#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "map/ProjectMap.h"
#include "signals/FrameSignals.h"
#include "signals/SignalDatabase.h"

namespace tessaro {

// "slave 1 holding 0"
std::string registerText(const SignalRegister& source);

// "raw = physical / 0.125, 16 bits unsigned, physical in rpm": raw = (physical - offset) / factor.
std::string encodingText(const SignalDefinition& signal);
// The shortest decimal text that reads back as the same number.
std::string numberText(double value);

std::string joinedNames(const std::vector<std::string>& names, std::string_view separator);
// "B4-B5 little-endian", "B1"
std::string signalBytesText(const CoveredSignal& signal);
// "slave 1 holding 10, slave 1 holding 11"
std::string signalRegistersText(const CoveredSignal& signal);
// "EngineSpeed, B4-B5 little-endian, from slave 1 holding 0: raw = physical / 0.125, 16 bits unsigned, ..."
std::string coveredSignalText(const CoveredSignal& signal);

// The names of the message's signals at each of B1 to B8, in the message's order.
std::array<std::vector<std::string>, kFrameBytes> signalsAtBytes(const MessageDefinition& message);

// The tips of a frame's byte choices B1 to B8 in "Define J1939": "EEC1 B4: EngineSpeed", "EEC1 B2: no signal";
// all empty when the PGN is not in the database.
std::array<std::string, kFrameBytes> byteSignalTips(const SignalDatabase& database, std::uint32_t pgn);

// The signals of the frame's PGN at its bytes, given the register halves that feed them.
FrameSignals analyseFrameSignals(const SignalDatabase& database, const FrameMap& frame);

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
