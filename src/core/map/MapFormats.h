#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/map/ProjectMap.h"

namespace tessaro {

// The project map for a person: a block per frame with its eight bytes, a line per slave and register kind with
// its ranges, then the findings. What each register feeds is the frame blocks read the other way round; the JSON
// and the dialog list it.
std::string mapText(const ProjectMap& map);

// The same, handed to sink a piece at a time: the text of the largest project runs to megabytes.
void writeMapText(const ProjectMap& map, std::ostream& sink);

// The same as one JSON document.
std::string mapJson(const ProjectMap& map);
void writeMapJson(const ProjectMap& map, std::ostream& sink);

// One line per frame byte, after a title line; lines end in CR LF.
std::string mapCsv(const ProjectMap& map);
void writeMapCsv(const ProjectMap& map, std::ostream& sink);

// The two tables of the dialog and its printed sheet, as texts.
struct MapTable {
    std::vector<std::string> titles;
    std::vector<std::vector<std::string>> rows;
};
// A row per frame: "Frame", "PGN", "Group", then "B1" to "B8", each byte cell its sources one per line, then the
// signals at the byte in brackets.
MapTable frameTable(const ProjectMap& map);
inline constexpr int kFirstByteColumn = 3;
// A row per range of polled registers: "Slave", "Kind", "Registers", "Feeds" (a line per register).
MapTable pollingTable(const ProjectMap& map);
// A row per signal that its frame's sources feed whole: "Frame", "Message", "Signal", "Bytes", "Registers",
// "Encoding".
MapTable signalTable(const ProjectMap& map);
// A row per finding, in the order found: "No.", "Frame" (empty for a finding about no one frame), "Finding".
MapTable findingTable(const ProjectMap& map);
// What the short source texts of the tables stand for.
inline constexpr const char* kShortSourceLegend =
    "S = slave, HR = holding register, IR = input register; high/low = the register's half";
// "S1 HR100 high", "S2 IR7 low", "S3 T5:9 low" for a kind the gateway does not know.
std::string shortSourceText(const RegisterHalfSource& source);

// "holding", "input", or "Type_Reg 5" for a kind the gateway does not know.
std::string registerKindName(std::uint8_t typeReg);
// "slave 1 holding 100 high".
std::string sourceText(const RegisterHalfSource& source);
// "1000 ms", "On Request", or "group 7 missing" for a group that Group.xml does not hold.
std::string cycleText(const FrameMap& frame);
// "ET1 Engine temperature 1", or nothing for a PGN outside the table.
std::string wellKnownText(const FrameMap& frame);
// "RQST Request, destination 33": the acronym and name of a well-known PGN, and the destination of a PDU1 one.
std::string pgnTip(const FrameMap& frame);

}  // namespace tessaro
