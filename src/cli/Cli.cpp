#include "cli/Cli.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>

#include "cli/CommandTable.h"
#include "cli/DeskCommand.h"
#include "cli/ImageDump.h"
#include "cli/ProjectCheck.h"
#include "cli/StandardOutput.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/DocumentNames.h"
#include "core/documents/Errors.h"
#include "core/documents/Paths.h"
#include "core/exchange/ProjectExchange.h"
#include "core/image/ConfigurationImage.h"
#include "core/map/MapFormats.h"
#include "core/map/SignalAnalysis.h"
#include "core/project/ProjectState.h"

#ifndef TESSARO_VERSION
#error "TESSARO_VERSION is the project's version, set by the build"
#endif

namespace tessaro::cli {

namespace {

constexpr const char* kOverview = "Builds, decodes and checks DO48213 gateway projects without a window.\n";

constexpr const char* kExitStatus =
    "Exit status: 0 on success, 1 on failure (a failed write to standard output or a file included),\n"
    "2 for wrong usage.\n";

constexpr std::string_view kWorkbook = "workbook";
constexpr std::string_view kCanExcludes = "'--can' sends the frames on the interface: it excludes '-o' and '--json'";

// What a write to standard output that failed without an exception (a stream given in-process) says.
void flushOut(std::ostream& out) {
    out.flush();
    if (!out) throw Error(std::string(kCannotWriteOutput));
}

// The project folder as given, without trailing separators, since paths are built by appending to it.
std::string projectFolder(const std::string& given) {
    std::string folder = given;
    if (!folderExists(folder)) throw Error("'" + folder + "' is not a folder");
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!isProjectFolder(folder)) throw Error(notAProjectFolderMessage(folder));
    return folder;
}

int build(const Invocation& words, const Streams& streams) {
    const std::string folder = projectFolder(words.operands[0]);
    const auto buffer = std::make_unique<ImageBuffer>();
    ImageBuffer& image = *buffer;
    const ImageCounts counts = BuildConfigurationImage(folder, image);
    std::string path;
    if (const std::optional<std::string> output = words.value("-o")) {
        path = *output;
        writeImageFile(path, image);
    } else {
        path = imageFilePath(folder);
        WriteConfigurationImage(folder, image);
    }
    streams.out << path << ": " << imageContentsText(std::size_t(image.length), counts) << "\n";
    return kSuccess;
}

int dump(const Invocation& words, const Streams& streams) {
    const std::string& file = words.operands[0];
    const DecodedImage image = readImageFile(file);
    streams.out << (words.has("--json") ? dumpJson(image) : dumpText(image, file));
    return kSuccess;
}

int check(const Invocation& words, const Streams& streams) {
    const std::string folder = projectFolder(words.operands[0]);
    bool errors = false;
    for (const Finding& finding : checkProject(folder, streams.toolFolder, words.value("--dbc"))) {
        streams.out << formatFinding(finding) << "\n";
        errors = errors || finding.severity == Severity::error;
    }
    return errors ? kFailure : kSuccess;
}

int map(const Invocation& words, const Streams& streams) {
    const bool json = words.has("--json");
    const ProjectMap projectMap =
        buildAnnotatedProjectMap(projectFolder(words.operands[0]), streams.toolFolder, words.value("--dbc"),
                                 json ? MapFeeds::listed : MapFeeds::leftOut);
    if (json)
        writeMapJson(projectMap, streams.out);
    else if (words.has("--csv"))
        writeMapCsv(projectMap, streams.out);
    else
        writeMapText(projectMap, streams.out);
    return kSuccess;
}

// A table's document, and how its rows are counted.
struct TableWords {
    std::string_view document;
    const char* one;
    const char* many;
};

TableWords wordsOf(TableKind kind) {
    switch (kind) {
        case TableKind::frames:
            return {kFrameTableFileName, "frame", "frames"};
        case TableKind::groups:
            return {kGroupFileName, "group", "groups"};
        case TableKind::definitions:
            return {kDefinitionsFileName, "definition", "definitions"};
    }
    return {};
}

std::optional<std::size_t> countIn(const TableCounts& counts, TableKind kind) {
    switch (kind) {
        case TableKind::frames:
            return counts.frames;
        case TableKind::groups:
            return counts.groups;
        case TableKind::definitions:
            return counts.definitions;
    }
    return std::nullopt;
}

std::string rowsText(TableKind kind, std::size_t rows) {
    return plural(rows, wordsOf(kind).one, wordsOf(kind).many);
}

// "5 frames, 2 groups, 12 definitions": the rows of each table counted, in the order of the tables.
std::string rowsText(const TableCounts& counts) {
    std::string text;
    for (const TableKind kind : kTableKinds)
        if (const std::optional<std::size_t> rows = countIn(counts, kind))
            text += (text.empty() ? "" : ", ") + rowsText(kind, *rows);
    return text;
}

int exportTable(const Invocation& words, const Streams& streams) {
    const std::optional<std::string> output = words.value("-o");
    if (words.operands[0] == kWorkbook) {
        if (!isWorkbookPath(*output)) throw UsageError{"the workbook's FILE must end in .xlsx"};
        const std::string folder = projectFolder(words.operands[1]);
        TableCounts counts;
        replaceFile(*output, projectWorkbookBytes(folder, &counts));
        streams.out << *output << ": " << rowsText(counts) << "\n";
        return kSuccess;
    }
    const TableKind kind = *tableNamed(words.operands[0]);
    const std::string folder = projectFolder(words.operands[1]);
    const TextRows rows = exportedRows(kind, folder);
    const std::string written = rowsText(kind, rows.size() - 1);  // after the header
    if (!output) {
        // The table is the output: what was written goes beside it, once the table is out whole.
        streams.out << tableFileBytes(kind, rows, "");
        flushOut(streams.out);
        streams.err << "standard output: " << written << "\n";
        return kSuccess;
    }
    replaceFile(*output, tableFileBytes(kind, rows, *output));
    streams.out << *output << ": " << written << "\n";
    return kSuccess;
}

int importTable(const Invocation& words, const Streams& streams) {
    const std::string& file = words.operands[2];
    const bool workbook = words.operands[0] == kWorkbook;
    if (workbook && !isWorkbookPath(file)) throw UsageError{"import workbook reads a FILE ending in .xlsx"};
    const std::string folder = projectFolder(words.operands[1]);
    const ImportOptions options{.emptyTables = words.has("--empty")};
    const ImportOutcome outcome = workbook ? importWorkbookFile(folder, file, options)
                                           : importTableFile(*tableNamed(words.operands[0]), folder, file, options);
    for (const TableKind kind : kTableKinds)
        if (const std::optional<std::size_t> rows = countIn(outcome.counts, kind))
            streams.out << joinPath(folder, wordsOf(kind).document) << ": " << rowsText(kind, *rows) << "\n";
    if (outcome.readBack) streams.out << *outcome.readBack << "\n";
    // What was written first, then what it left.
    if (!outcome.notes.empty()) flushOut(streams.out);
    for (const std::string& note : outcome.notes) streams.err << "tessaro-cli: warning: " << note << "\n";
    return kSuccess;
}

int desk(const Invocation& words, const Streams& streams) {
    DeskOptions options;
    options.toolFolder = streams.toolFolder;
    const std::pair<const char*, desk::SourceKind> sources[] = {
        {"--registers", desk::SourceKind::values}, {"--rtu", desk::SourceKind::rtu}, {"--tcp", desk::SourceKind::tcp}};
    for (const auto& [option, kind] : sources)
        if (const std::optional<std::string> text = words.value(option)) options.source = {kind, *text};
    options.image = words.value("--image");
    options.can = words.value("--can");
    options.output = words.value("-o");
    options.json = words.has("--json");
    options.signalValues = words.has("--signals");
    options.dbc = words.value("--dbc");
    if (options.can && options.json) throw UsageError{std::string(kCanExcludes)};
    if (options.signalValues && !options.json && !options.output && !options.can)
        throw UsageError{
            "'--signals' prints the values to standard output beside the log: give the log -o FILE, or use "
            "'--json'"};
    const std::optional<std::string> duration = words.value("--duration");
    const std::optional<std::string> cycles = words.value("--cycles");
    if (duration) {
        const std::optional<desk::DeskTime> time = durationOf(*duration);
        if (!time) throw UsageError{"'" + *duration + "' is no duration: seconds, such as 10 or 0.5"};
        options.limits.duration = *time;
    }
    if (cycles) {
        std::uint32_t count = 0;
        const auto [end, failure] = std::from_chars(cycles->data(), cycles->data() + cycles->size(), count);
        if (failure != std::errc() || end != cycles->data() + cycles->size() || count == 0)
            throw UsageError{"'" + *cycles + "' is no number of cycles: 1 or more"};
        options.limits.cycles = count;
    }
    if (runsOnSimulatedClock(options) && !duration && !cycles)
        throw UsageError{"a values file without '--can' runs on a simulated clock: give it --duration or --cycles"};
    options.projectFolder = projectFolder(words.operands[0]);
    return runDesk(options, streams.out, streams.err);
}

constexpr OptionSpec kDbc{"--dbc", "FILE",
                          "the signal database; without it, signals.dbc in PROJECT_DIR, else in the tool folder"};
constexpr OptionSpec kJsonDocument{"--json", "", "print the same as one JSON document"};

const OperandSpec kProject{"PROJECT_DIR"};

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"build",
         "compile a project folder into its configuration image",
         "Compiles FrameJ1939.xml, DefFrameJ1939.xml, Group.xml and pargen.xml of PROJECT_DIR into the\n"
         "configuration image, as \"Update Device\" does, and writes it to PROJECT_DIR/bin/bank.bin (creating bin\n"
         "when missing) or to FILE. Prints the path, the size and the counts of frames, definitions and groups.\n"
         "On failure nothing is written and the previous file stays as it was. A folder that holds none of the four\n"
         "documents and no bin folder is not a project folder and is refused.\n",
         {{"-o", "FILE", "write the image to FILE instead; a device or a FIFO is written to, never replaced",
           "--output"}},
         {{{kProject}, {{{"-o"}}}}},
         build},
        {"dump",
         "decode a configuration image for a person, or as JSON",
         "Decodes a configuration image: the header, every frame, every definition with the frame bytes that feed\n"
         "each register, the groups and the general parameters with their meaning. A folder, or a file whose\n"
         "header, size and counts do not agree, is not a configuration image and is refused.\n",
         {kJsonDocument},
         {{{{"IMAGE"}}, {{{"--json"}}}}},
         dump},
        {"check",
         "apply the editors' rules to a project's documents",
         "Applies the editors' rules to the stored documents of PROJECT_DIR and reports what would stop the build,\n"
         "and what the build would leave out or cut: definitions of frames that do not exist, frames of groups that\n"
         "do not exist, values wider than their field, frame bytes mapped by two definitions of one frame.\n"
         "With a signal database, also the signals whose bytes come from a register in the wrong order (swapped),\n"
         "that are only partly fed, or whose halves do not form one value, and the lines of the database that are\n"
         "malformed. One line per finding, FILE:ROW: error|warning: MESSAGE. Exit status 1 when there is an error.\n",
         {kDbc},
         {{{kProject}, {{{"--dbc"}}}}},
         check},
        {"map",
         "show what each frame byte carries and what each Modbus slave is polled for",
         "Reads the documents of PROJECT_DIR as the build does and prints the project map: for each frame its PGN,\n"
         "priority, data page, group and cyclic time, and for each data byte B1 to B8 the register halves that feed\n"
         "it (slave, holding or input, register = the definition's index + the register's position, high or low);\n"
         "for each slave and register kind the registers the gateway polls, merged into ranges, with the frame bytes\n"
         "each feeds; then the findings: frame bytes fed twice, definitions the build leaves out, positions that name\n"
         "no frame byte. With a signal database, each frame's message and the signals at each byte, and for each\n"
         "signal fed whole the bits it takes in each byte, its registers and how the Modbus side encodes it,\n"
         "raw = (physical - offset) / factor, each register's shift and mask, and one worked example;\n"
         "the signal findings join the others. Exit status 1 when a document or the database cannot be read;\n"
         "findings alone do not fail.\n",
         {kJsonDocument, {"--csv", "", "print one line per frame byte"}, kDbc},
         {{{kProject}, {{{"--json", "--csv"}}, {{"--dbc"}}}}},
         map},
        {"export",
         "write the frames, the groups or the definitions as CSV or a workbook",
         "Writes a table of PROJECT_DIR for a spreadsheet: a header line naming the columns, then one line per\n"
         "row, every value as the document holds it (0x10 stays 0x10, a leading blank stays).\n"
         "  frames       N, Priority, DataPage, PGN, Group, Erase, Mnemonic (FrameJ1939.xml)\n"
         "  groups       N, Cyclic_Time, Mnemonic (Group.xml)\n"
         "  definitions  Frame, Device_ID, Index, Points, Type, R1_High, R1_Low ... R8_High, R8_Low\n"
         "               (DefFrameJ1939.xml)\n"
         "  workbook     the three tables as the sheets frames, groups and definitions of one workbook\n"
         "CSV goes to standard output, or to FILE; a FILE ending in .xlsx gets a workbook whose cells are all text.\n"
         "Says what it wrote, FILE: 5 frames (on standard error when the table goes to standard output).\n",
         {{"-o", "FILE", "write to FILE instead", "--output"}},
         {{{{"table", {"frames", "groups", "definitions"}}, kProject}, {{{"-o"}}}},
          {{{"table", {kWorkbook}}, kProject}, {{{"-o FILE.xlsx"}, true}}}},
         exportTable},
        {"import",
         "read them back from CSV or a workbook, checked cell by cell",
         "Reads a table back from FILE (CSV, or the table's sheet when FILE ends in .xlsx, or its only sheet\n"
         "whatever its name), checks that every cell holds what the editor's OK could store (its rules, and the\n"
         "choices of its lists and check boxes), and only then replaces the document, written as the editor's OK\n"
         "writes it. CSV may use commas or semicolons, quotes, CR LF or LF, and a byte-order mark; the columns are\n"
         "found by their header names. Definitions must name frames of FrameJ1939.xml. A project whose image would\n"
         "be too large for the device is refused.\n"
         "For definitions FILE may also be the DefFrame.csv that Define J1939's Export writes: each of its pairs of\n"
         "index and frame takes its definition whole from DefFrameJ1939.xml (a pair that matches none is a new\n"
         "definition with the dialog's defaults), the stored definitions it does not list are dropped, and a line\n"
         "says how they came back.\n"
         "A workbook import checks all three sheets (the definitions against its own frames sheet), and then\n"
         "replaces the three documents all or none.\n"
         "Each document written is named with its rows, PROJECT_DIR/FrameJ1939.xml: 5 frames. The first problem is\n"
         "reported as tessaro-cli: FILE:LINE:COLUMN: message, with exit status 1, and nothing is written.\n"
         "A frames table that leaves definitions without their frame names them on standard error.\n",
         {{"--empty", "", "a table without rows empties its document (without it, such a table is refused)"}},
         {{{{"table", {"frames", "groups", "definitions", kWorkbook}}, kProject, {"FILE"}}, {{{"--empty"}}}}},
         importTable},
        {"desk",
         "play the gateway against Modbus slaves and show the J1939 frames it sends",
         "Plays the gateway as the image of PROJECT_DIR describes it (its documents built as Update Device builds "
         "them,\n"
         "or the image FILE): it polls the Modbus slaves, one request per definition with function 03 or 04, the\n"
         "image's time-out for each and its cyclic delay between rounds, and sends each group's frames every cyclic\n"
         "time, identifier from priority, data page, PGN and the device ID, fed bytes from the registers, 0xFF for "
         "the\n"
         "others and, after a failed poll, for those of frames with Erase set.\n"
         "The slaves: a values file (columns slave, kind, register, value; a slave it lacks stays silent, a register "
         "it\n"
         "lacks is exception 02), a serial device with the image's line settings (COM1 to COM10 as the ports section\n"
         "of the settings file maps them), or a Modbus TCP server (port 502 unless given).\n"
         "The frames go to standard output as a candump log (-l), or to FILE; --json gives one JSON object per frame.\n"
         "--can IFACE sends them on a SocketCAN interface instead and answers requests (PGN 59904) for the On Request\n"
         "frames there; without it those are listed, not sent. The run ends after SECONDS, once every group has sent\n"
         "N times, or at Ctrl-C, and prints a summary to standard error: requests made and failed per slave, frames\n"
         "per PGN, each group's measured cycle against its own. A values file without --can runs on a simulated "
         "clock:\n"
         "at once, stamped as if in real time; it needs --duration or --cycles.\n",
         {{"--registers", "FILE", "the values of the slaves' registers, as CSV"},
          {"--rtu", "DEVICE", "Modbus RTU on the serial device"},
          {"--tcp", "HOST[:PORT]", "Modbus TCP"},
          {"--image", "FILE", "the configuration image to play, instead of the project's documents"},
          {"--duration", "SECONDS", "stop after this time (0.5, 10)"},
          {"--cycles", "N", "stop once every group that sends has sent N times"},
          {"-o", "FILE", "write the frames to FILE", "--output"},
          {"--can", "IFACE", "send on the SocketCAN interface IFACE (Linux)"},
          {"--json", "", "one JSON object per frame, with --signals its signal values"},
          {"--signals", "", "each frame's physical values, as a line beside the log (with --json, in each object)"},
          kDbc},
         {{{kProject},
           {{{"--registers FILE.csv", "--rtu", "--tcp"},
             true,
             {},
             "one source of answers: --registers FILE.csv, --rtu DEVICE or --tcp HOST[:PORT]"},
            {{"--image"}},
            {{"--duration", "--cycles"}},
            {{"-o", "--can"}, false, {}, kCanExcludes},
            {{"--json"}},
            {{"--signals"}, false, {"--dbc"}}}}},
         desk},
    };
    return table;
}

const Command* commandNamed(std::string_view name) {
    for (const Command& command : commands())
        if (command.name == name) return &command;
    return nullptr;
}

std::string overview() {
    return overallUsage(commands()) + "\n" + kOverview + "\n" + commandSummaries(commands()) + "\n" + kExitStatus;
}

// The command the arguments name, run; its exit status. Wrong usage is told with the usage of that command, once
// it is known.
int runCommand(const std::vector<std::string>& arguments, const Streams& streams, const Command*& named) {
    const std::string& first = arguments.front();
    if (first == "--version") {
        streams.out << "tessaro-cli " << TESSARO_VERSION << "\n";
        return kSuccess;
    }
    if (first == "--help" || first == "-h" || first == "help") {
        const Command* about = arguments.size() > 1 ? commandNamed(arguments[1]) : nullptr;
        streams.out << (about ? commandHelp(*about) : overview());
        return kSuccess;
    }
    named = commandNamed(first);
    if (!named) throw UsageError{"unknown command '" + first + "'"};
    const Invocation words = parseInvocation(*named, {arguments.begin() + 1, arguments.end()});
    if (words.help) {
        streams.out << commandHelp(*named);
        return kSuccess;
    }
    return named->run(words, streams);
}

}  // namespace

int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
        const std::string& toolFolder) {
    const Command* named = nullptr;
    try {
        if (arguments.empty()) throw UsageError{"a command is missing"};
        const int status = runCommand(arguments, {out, err, toolFolder}, named);
        // What is still buffered goes out now: a write that fails is a failure of the command, whatever it did.
        flushOut(out);
        return status;
    } catch (const UsageError& usage) {
        err << "tessaro-cli: " << usage.message << "\n" << (named ? commandUsage(*named) : overallUsage(commands()));
        return kWrongUsage;
    } catch (const std::exception& failure) {
        // A failure of several lines (a document's failure and its place) says whose it is on each.
        const std::string_view text = failure.what();
        for (std::size_t start = 0; start <= text.size();) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            err << "tessaro-cli: " << text.substr(start, end - start) << "\n";
            start = end + 1;
        }
        return kFailure;
    }
}

}  // namespace tessaro::cli
