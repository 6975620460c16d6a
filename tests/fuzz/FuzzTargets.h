#pragma once

#include <string_view>

namespace tessaro::fuzz {

// One function per fuzz target: takes any bytes, checks the target's invariants and reports through
// reportBrokenInvariant. Each folder of tests/fuzz named as in kTargets holds the target's seed inputs.
void numericText(std::string_view input);
void pargen(std::string_view input);
void frameTable(std::string_view input);
void groupTable(std::string_view input);
// FrameJ1939.xml and DefFrameJ1939.xml, cut at kPartSeparator.
void frameDefinitions(std::string_view input);
// FrameJ1939.xml, DefFrameJ1939.xml, Group.xml and pargen.xml, cut at kPartSeparator.
void imageBuilder(std::string_view input);
void imageDump(std::string_view input);
// A signal database (DBC) and the analysis of a frame fed whole against each of its messages.
void signalDatabase(std::string_view input);
// A table file as CSV: the reader, the writer and the three tables' import and export.
void csvTable(std::string_view input);
// A workbook: the zip archive itself (it starts with "PK"), or its parts cut at kPartSeparator (workbook, relations,
// sheet, shared texts, styles), which the target packs; each of the three sheets read, within bounded memory, and
// imported.
void workbook(std::string_view input);

struct Target {
    const char* name;
    void (*run)(std::string_view input);
};

inline constexpr Target kTargets[] = {
    {"numeric_text", numericText},
    {"pargen", pargen},
    {"frame_table", frameTable},
    {"group_table", groupTable},
    {"frame_definitions", frameDefinitions},
    {"image_builder", imageBuilder},
    {"image_dump", imageDump},
    {"signal_database", signalDatabase},
    {"csv_table", csvTable},
    {"workbook", workbook},
};

}  // namespace tessaro::fuzz
