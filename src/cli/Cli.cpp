#include "cli/Cli.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>

#include "cli/DeskCommand.h"
#include "cli/ImageDump.h"
#include "cli/ProjectCheck.h"
#include "cli/StandardOutput.h"
#include "desk/RegisterValues.h"
#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "exchange/ProjectExchange.h"
#include "map/MapFormats.h"
#include "project/ProjectState.h"
#include "signals/SignalAnalysis.h"
#include "update/ConfigurationImage.h"

namespace tessaro::cli {

namespace {

constexpr const char* kUsage =
    "usage: tessaro-cli build PROJECT_DIR [-o FILE]\n"
    "       tessaro-cli dump IMAGE [--json]\n"
    "       tessaro-cli check PROJECT_DIR [--dbc FILE]\n"
    "       tessaro-cli map PROJECT_DIR [--json | --csv] [--dbc FILE]\n"
    "       tessaro-cli export frames|groups|definitions PROJECT_DIR [-o FILE]\n"
    "       tessaro-cli export workbook PROJECT_DIR -o FILE.xlsx\n"
    "       tessaro-cli import frames|groups|definitions|workbook PROJECT_DIR FILE [--empty]\n"
    "       tessaro-cli desk PROJECT_DIR (--registers FILE.csv | --rtu DEVICE | --tcp HOST[:PORT]) [--image FILE]\n"
    "                        [--duration SECONDS | --cycles N] [-o FILE | --can IFACE] [--json] [--signals [--dbc "
    "FILE]]\n"
    "       tessaro-cli COMMAND --help\n";

constexpr const char* kOverview =
    "Builds, decodes and checks DO48213 gateway projects without a window.\n"
    "\n"
    "commands:\n"
    "  build   compile a project folder into its configuration image\n"
    "  dump    decode a configuration image for a person, or as JSON\n"
    "  check   apply the editors' rules to a project's documents\n"
    "  map     show what each frame byte carries and what each Modbus slave is polled for\n"
    "  export  write the frames, the groups or the definitions as CSV or a workbook\n"
    "  import  read them back from CSV or a workbook, checked cell by cell\n"
    "  desk    play the gateway against Modbus slaves and show the J1939 frames it sends\n"
    "\n"
    "Exit status: 0 on success, 1 on failure (a failed write to standard output or a file included),\n"
    "2 for wrong usage.\n";

constexpr const char* kBuildHelp =
    "usage: tessaro-cli build PROJECT_DIR [-o FILE]\n"
    "\n"
    "Compiles FrameJ1939.xml, DefFrameJ1939.xml, Group.xml and pargen.xml of PROJECT_DIR into the\n"
    "configuration image, as \"Update Device\" does, and writes it to PROJECT_DIR/bin/bank.bin (creating bin\n"
    "when missing) or to FILE. Prints the path, the size and the counts of frames, definitions and groups.\n"
    "On failure nothing is written and the previous file stays as it was. A folder that holds none of the four\n"
    "documents and no bin folder is not a project folder and is refused.\n"
    "\n"
    "  -o FILE   write the image to FILE instead; a device or a FIFO is written to, never replaced\n";

constexpr const char* kDumpHelp =
    "usage: tessaro-cli dump IMAGE [--json]\n"
    "\n"
    "Decodes a configuration image: the header, every frame, every definition with the frame bytes that feed\n"
    "each register, the groups and the general parameters with their meaning. An image whose header, size and\n"
    "counts do not agree is refused.\n"
    "\n"
    "  --json    print the same as one JSON document\n";

constexpr const char* kCheckHelp =
    "usage: tessaro-cli check PROJECT_DIR [--dbc FILE]\n"
    "\n"
    "Applies the editors' rules to the stored documents of PROJECT_DIR and reports what would stop the build,\n"
    "and what the build would leave out or cut: definitions of frames that do not exist, frames of groups that\n"
    "do not exist, values wider than their field, frame bytes mapped by two definitions of one frame.\n"
    "With a signal database, also the signals whose bytes come from a register in the wrong order (swapped),\n"
    "that are only partly fed, or whose halves do not form one value, and the lines of the database that are\n"
    "malformed. One line per finding, FILE:ROW: error|warning: MESSAGE. Exit status 1 when there is an error.\n"
    "\n"
    "  --dbc FILE   the signal database; without it, signals.dbc in PROJECT_DIR, else in the tool folder\n";

constexpr const char* kMapHelp =
    "usage: tessaro-cli map PROJECT_DIR [--json | --csv] [--dbc FILE]\n"
    "\n"
    "Reads the documents of PROJECT_DIR as the build does and prints the project map: for each frame its PGN,\n"
    "priority, data page, group and cyclic time, and for each data byte B1 to B8 the register halves that feed\n"
    "it (slave, holding or input, register = the definition's index + the register's position, high or low);\n"
    "for each slave and register kind the registers the gateway polls, merged into ranges, with the frame bytes\n"
    "each feeds; then the findings: frame bytes fed twice, definitions the build leaves out, positions that name\n"
    "no frame byte. With a signal database, each frame's message and the signals at each byte, and for each\n"
    "signal fed whole the bits it takes in each byte, its registers and how the Modbus side encodes it,\n"
    "raw = (physical - offset) / factor, each register's shift and mask, and one worked example;\n"
    "the signal findings join the others. Exit status 1 when a document or the database cannot be read;\n"
    "findings alone do not fail.\n"
    "\n"
    "  --json       print the same as one JSON document\n"
    "  --csv        print one line per frame byte\n"
    "  --dbc FILE   the signal database; without it, signals.dbc in PROJECT_DIR, else in the tool folder\n";

constexpr const char* kExportHelp =
    "usage: tessaro-cli export frames|groups|definitions PROJECT_DIR [-o FILE]\n"
    "       tessaro-cli export workbook PROJECT_DIR -o FILE.xlsx\n"
    "\n"
    "Writes a table of PROJECT_DIR for a spreadsheet: a header line naming the columns, then one line per\n"
    "row, every value as the document holds it (0x10 stays 0x10, a leading blank stays).\n"
    "  frames       N, Priority, DataPage, PGN, Group, Erase, Mnemonic (FrameJ1939.xml)\n"
    "  groups       N, Cyclic_Time, Mnemonic (Group.xml)\n"
    "  definitions  Frame, Device_ID, Index, Points, Type, R1_High, R1_Low ... R8_High, R8_Low\n"
    "               (DefFrameJ1939.xml)\n"
    "  workbook     the three tables as the sheets frames, groups and definitions of one workbook\n"
    "CSV goes to standard output, or to FILE; a FILE ending in .xlsx gets a workbook whose cells are all text.\n"
    "\n"
    "  -o FILE   write to FILE instead\n";

constexpr const char* kImportHelp =
    "usage: tessaro-cli import frames|groups|definitions|workbook PROJECT_DIR FILE [--empty]\n"
    "\n"
    "Reads a table back from FILE (CSV, or the table's sheet when FILE ends in .xlsx), checks that every cell\n"
    "holds what the editor's OK could store (its rules, and the choices of its lists and check boxes), and\n"
    "only then replaces the document, written as the editor's OK writes it. CSV may use commas or semicolons,\n"
    "quotes, CR LF or LF, and a byte-order mark; the columns are found by their header names. Definitions\n"
    "must name frames of FrameJ1939.xml. A project whose image would be too large for the device is refused.\n"
    "A workbook import checks all three sheets (the definitions against its own frames sheet), and then\n"
    "replaces the three documents all or none.\n"
    "The first problem is reported as FILE:LINE:COLUMN: message, with exit status 1, and nothing is written.\n"
    "A frames table that leaves definitions without their frame names them on standard error.\n"
    "\n"
    "  --empty   a table without rows empties its document (without it, such a table is refused)\n";

constexpr const char* kDeskHelp =
    "usage: tessaro-cli desk PROJECT_DIR (--registers FILE.csv | --rtu DEVICE | --tcp HOST[:PORT]) [--image FILE]\n"
    "                        [--duration SECONDS | --cycles N] [-o FILE | --can IFACE] [--json] [--signals [--dbc "
    "FILE]]\n"
    "\n"
    "Plays the gateway as the image of PROJECT_DIR describes it (its documents built as Update Device builds them,\n"
    "or the image FILE): it polls the Modbus slaves, one request per definition with function 03 or 04, the\n"
    "image's time-out for each and its cyclic delay between rounds, and sends each group's frames every cyclic\n"
    "time, identifier from priority, data page, PGN and the device ID, fed bytes from the registers, 0xFF for the\n"
    "others and, after a failed poll, for those of frames with Erase set.\n"
    "The slaves: a values file (columns slave, kind, register, value; a slave it lacks stays silent, a register it\n"
    "lacks is exception 02), a serial device with the image's line settings (COM1 to COM10 as the ports section\n"
    "of the settings file maps them), or a Modbus TCP server (port 502 unless given).\n"
    "The frames go to standard output as a candump log (-l), or to FILE; --json gives one JSON object per frame.\n"
    "--can IFACE sends them on a SocketCAN interface instead and answers requests (PGN 59904) for the On Request\n"
    "frames there; without it those are listed, not sent. The run ends after SECONDS, once every group has sent\n"
    "N times, or at Ctrl-C, and prints a summary to standard error: requests made and failed per slave, frames\n"
    "per PGN, each group's measured cycle against its own. A values file without --can runs on a simulated clock:\n"
    "at once, stamped as if in real time; it needs --duration or --cycles.\n"
    "\n"
    "  --registers FILE   the values of the slaves' registers, as CSV\n"
    "  --rtu DEVICE       Modbus RTU on the serial device\n"
    "  --tcp HOST[:PORT]  Modbus TCP\n"
    "  --image FILE       the configuration image to play, instead of the project's documents\n"
    "  --duration SECONDS stop after this time (0.5, 10)\n"
    "  --cycles N         stop once every group that sends has sent N times\n"
    "  -o FILE            write the frames to FILE\n"
    "  --can IFACE        send on the SocketCAN interface IFACE (Linux)\n"
    "  --json             one JSON object per frame, with --signals its signal values\n"
    "  --signals          each frame's physical values, as a line beside the log (with --json, in each object)\n"
    "  --dbc FILE         the signal database; without it, signals.dbc in PROJECT_DIR, else in the tool folder\n";

struct Usage {
    std::string message;
};

// A failure reported as it is, without the program's name before it.
struct PlainFailure {
    std::string message;
};

// A command's words: its operands and its options, each option at most once.
struct Words {
    std::vector<std::string> operands;
    std::optional<std::string> output;
    bool json = false;
    bool csv = false;
    bool help = false;
    bool empty = false;
    std::optional<std::string> dbc;
    std::string toolFolder;  // the folder of tessaro-cli, where a signal database may be
    // The desk test's.
    std::map<std::string, std::string> deskValues;  // by option
    bool signalValues = false;
    std::ostream* err = nullptr;  // for what a command that succeeds has to say besides its output
};

// The desk test's options that take a value.
constexpr const char* kDeskValueOptions[] = {"--registers", "--rtu",    "--tcp", "--image",
                                             "--duration",  "--cycles", "--can"};

Words parseWords(const std::vector<std::string>& arguments, bool takesOutput, bool takesJson, bool takesCsv,
                 bool takesDbc, bool takesEmpty = false, bool takesDesk = false) {
    Words words;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const auto deskOption = std::find(std::begin(kDeskValueOptions), std::end(kDeskValueOptions), word);
        if (word == "--help" || word == "-h") {
            words.help = true;
        } else if (takesDesk && deskOption != std::end(kDeskValueOptions)) {
            if (words.deskValues.contains(word)) throw Usage{"'" + word + "' given twice"};
            if (i + 1 == arguments.size()) throw Usage{"'" + word + "' needs a value"};
            words.deskValues[word] = arguments[++i];
        } else if (takesDesk && word == "--signals") {
            words.signalValues = true;
        } else if (takesOutput && (word == "-o" || word == "--output")) {
            if (words.output) throw Usage{"'" + word + "' given twice"};
            if (i + 1 == arguments.size()) throw Usage{"'" + word + "' needs a file name"};
            words.output = arguments[++i];
        } else if (takesJson && word == "--json") {
            words.json = true;
        } else if (takesCsv && word == "--csv") {
            words.csv = true;
        } else if (takesEmpty && word == "--empty") {
            words.empty = true;
        } else if (takesDbc && word == "--dbc") {
            if (words.dbc) throw Usage{"'" + word + "' given twice"};
            if (i + 1 == arguments.size()) throw Usage{"'" + word + "' needs a file name"};
            words.dbc = arguments[++i];
        } else if (word.size() > 1 && word[0] == '-') {
            throw Usage{"unknown option '" + word + "'"};
        } else {
            words.operands.push_back(word);
        }
    }
    return words;
}

const std::string& singleOperand(const Words& words, const char* name) {
    if (words.operands.empty()) throw Usage{std::string(name) + " missing"};
    if (words.operands.size() > 1) throw Usage{"unexpected '" + words.operands[1] + "'"};
    return words.operands.front();
}

// The project folder as given, without trailing separators, since paths are built by appending to it.
std::string projectFolder(const Words& words) {
    std::string folder = singleOperand(words, "PROJECT_DIR");
    if (!folderExists(folder)) throw Error("'" + folder + "' is not a folder");
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!isProjectFolder(folder)) throw Error(notAProjectFolderMessage(folder));
    return folder;
}

int build(const Words& words, std::ostream& out) {
    const std::string folder = projectFolder(words);
    const auto buffer = std::make_unique<ImageBuffer>();
    ImageBuffer& image = *buffer;
    const ImageCounts counts = BuildConfigurationImage(folder, image);
    std::string path;
    if (words.output) {
        path = *words.output;
        writeImageFile(path, image);
    } else {
        path = imageFilePath(folder);
        WriteConfigurationImage(folder, image);
    }
    out << path << ": " << imageContentsText(std::size_t(image.length), counts) << "\n";
    return kSuccess;
}

int dump(const Words& words, std::ostream& out) {
    const std::string& file = singleOperand(words, "IMAGE");
    const std::string bytes = readFile(file);
    DecodedImage image;
    try {
        image = decodeImage(bytes);
    } catch (const Error& disagreement) {
        throw Error(file + ": " + disagreement.what());
    }
    out << (words.json ? dumpJson(image) : dumpText(image, file));
    return kSuccess;
}

int check(const Words& words, std::ostream& out) {
    const std::string folder = projectFolder(words);
    bool errors = false;
    for (const Finding& finding : checkProject(folder, words.toolFolder, words.dbc)) {
        out << formatFinding(finding) << "\n";
        errors = errors || finding.severity == Severity::error;
    }
    return errors ? kFailure : kSuccess;
}

int map(const Words& words, std::ostream& out) {
    if (words.json && words.csv) throw Usage{"'--json' and '--csv' exclude each other"};
    const ProjectMap projectMap = buildAnnotatedProjectMap(projectFolder(words), words.toolFolder, words.dbc,
                                                           words.json ? MapFeeds::listed : MapFeeds::leftOut);
    if (words.json)
        writeMapJson(projectMap, out);
    else if (words.csv)
        writeMapCsv(projectMap, out);
    else
        writeMapText(projectMap, out);
    return kSuccess;
}

TableKind tableOperand(const Words& words) {
    const std::optional<TableKind> kind = tableNamed(words.operands.front());
    if (!kind) throw Usage{"unknown table '" + words.operands.front() + "'"};
    return *kind;
}

// The words after the table's name.
Words afterTable(const Words& words) {
    Words rest = words;
    rest.operands.erase(rest.operands.begin());
    return rest;
}

int exportTable(const Words& words, std::ostream& out) {
    if (words.operands.empty()) throw Usage{"frames, groups, definitions or workbook missing"};
    const Words rest = afterTable(words);
    if (words.operands.front() == "workbook") {
        if (!words.output) throw Usage{"export workbook needs -o FILE.xlsx"};
        if (!isWorkbookPath(*words.output)) throw Usage{"the workbook's FILE must end in .xlsx"};
        const std::string folder = projectFolder(rest);
        replaceFile(*words.output, projectWorkbookBytes(folder));
        return kSuccess;
    }
    const TableKind kind = tableOperand(words);
    const std::string folder = projectFolder(rest);
    const TextRows rows = exportedRows(kind, folder);
    if (!words.output) {
        out << tableFileBytes(kind, rows, "");
        return kSuccess;
    }
    replaceFile(*words.output, tableFileBytes(kind, rows, *words.output));
    return kSuccess;
}

int importTable(const Words& words, std::ostream&) {
    if (words.operands.empty()) throw Usage{"frames, groups, definitions or workbook missing"};
    Words rest = afterTable(words);
    if (rest.operands.size() < 2) throw Usage{rest.operands.empty() ? "PROJECT_DIR missing" : "FILE missing"};
    if (rest.operands.size() > 2) throw Usage{"unexpected '" + rest.operands[2] + "'"};
    const std::string file = rest.operands[1];
    rest.operands.pop_back();
    const bool workbook = words.operands.front() == "workbook";
    const std::optional<TableKind> kind = workbook ? std::nullopt : std::optional(tableOperand(words));
    if (workbook && !isWorkbookPath(file)) throw Usage{"import workbook reads a FILE ending in .xlsx"};
    const std::string folder = projectFolder(rest);
    const ImportOptions options{.emptyTables = words.empty};
    std::vector<std::string> notes;
    try {
        if (workbook)
            importWorkbookFile(folder, file, options);
        else
            notes = importTableFile(*kind, folder, file, options).notes;
    } catch (const Error& problem) {
        throw PlainFailure{problem.what()};
    }
    for (const std::string& note : notes) *words.err << "tessaro-cli: warning: " << note << "\n";
    return kSuccess;
}

int desk(const Words& words, std::ostream& out) {
    DeskOptions options;
    options.toolFolder = words.toolFolder;
    const auto value = [&](const char* option) -> std::optional<std::string> {
        const auto found = words.deskValues.find(option);
        return found == words.deskValues.end() ? std::nullopt : std::optional(found->second);
    };
    const std::pair<const char*, desk::SourceKind> sources[] = {
        {"--registers", desk::SourceKind::values}, {"--rtu", desk::SourceKind::rtu}, {"--tcp", desk::SourceKind::tcp}};
    int sourceCount = 0;
    for (const auto& [option, kind] : sources) {
        if (const std::optional<std::string> text = value(option)) {
            options.source = {kind, *text};
            ++sourceCount;
        }
    }
    if (sourceCount != 1) throw Usage{"one source of answers: --registers FILE.csv, --rtu DEVICE or --tcp HOST[:PORT]"};
    options.image = value("--image");
    options.can = value("--can");
    options.output = words.output;
    options.json = words.json;
    options.signalValues = words.signalValues;
    options.dbc = words.dbc;
    if (options.can && (options.output || options.json))
        throw Usage{"'--can' sends the frames on the interface: it excludes '-o' and '--json'"};
    if (options.dbc && !options.signalValues) throw Usage{"'--dbc' goes with '--signals'"};
    if (options.signalValues && !options.json && !options.output && !options.can)
        throw Usage{
            "'--signals' prints the values to standard output beside the log: give the log -o FILE, or use "
            "'--json'"};
    const std::optional<std::string> duration = value("--duration");
    const std::optional<std::string> cycles = value("--cycles");
    if (duration && cycles) throw Usage{"'--duration' and '--cycles' exclude each other"};
    if (duration) {
        const std::optional<desk::DeskTime> time = durationOf(*duration);
        if (!time) throw Usage{"'" + *duration + "' is no duration: seconds, such as 10 or 0.5"};
        options.limits.duration = *time;
    }
    if (cycles) {
        std::uint32_t count = 0;
        const auto [end, failure] = std::from_chars(cycles->data(), cycles->data() + cycles->size(), count);
        if (failure != std::errc() || end != cycles->data() + cycles->size() || count == 0)
            throw Usage{"'" + *cycles + "' is no number of cycles: 1 or more"};
        options.limits.cycles = count;
    }
    if (runsOnSimulatedClock(options) && !duration && !cycles)
        throw Usage{"a values file without '--can' runs on a simulated clock: give it --duration or --cycles"};
    options.projectFolder = projectFolder(words);
    try {
        return runDesk(options, out, *words.err);
    } catch (const desk::ValuesFileError& problem) {
        // As the imports say it.
        throw PlainFailure{problem.what()};
    }
}

// The command the arguments name, run; its exit status.
int runCommand(const std::vector<std::string>& arguments, const std::string& toolFolder, std::ostream& out,
               std::ostream& err) {
    const std::string& command = arguments.front();
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage << "\n" << kOverview;
        return kSuccess;
    }
    struct Command {
        const char* name;
        const char* help;
        bool takesOutput;
        bool takesJson;
        bool takesCsv;
        bool takesDbc;
        int (*action)(const Words&, std::ostream&);
        bool takesEmpty = false;
        bool takesDesk = false;
    };
    static const Command commands[] = {{"build", kBuildHelp, true, false, false, false, build},
                                       {"dump", kDumpHelp, false, true, false, false, dump},
                                       {"check", kCheckHelp, false, false, false, true, check},
                                       {"map", kMapHelp, false, true, true, true, map},
                                       {"export", kExportHelp, true, false, false, false, exportTable},
                                       {"import", kImportHelp, false, false, false, false, importTable, true},
                                       {"desk", kDeskHelp, true, true, false, true, desk, false, true}};
    for (const Command& candidate : commands) {
        if (command != candidate.name) continue;
        Words words = parseWords(arguments, candidate.takesOutput, candidate.takesJson, candidate.takesCsv,
                                 candidate.takesDbc, candidate.takesEmpty, candidate.takesDesk);
        words.toolFolder = toolFolder;
        words.err = &err;
        if (words.help) {
            out << candidate.help;
            return kSuccess;
        }
        return candidate.action(words, out);
    }
    throw Usage{"unknown command '" + command + "'"};
}

}  // namespace

int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
        const std::string& toolFolder) {
    if (arguments.empty()) {
        err << "tessaro-cli: a command is missing\n" << kUsage;
        return kWrongUsage;
    }
    try {
        const int status = runCommand(arguments, toolFolder, out, err);
        // What is still buffered goes out now: a write that fails is a failure of the command, whatever it did.
        out.flush();
        if (!out) throw Error(std::string(kCannotWriteOutput));
        return status;
    } catch (const PlainFailure& failure) {
        err << failure.message << "\n";
        return kFailure;
    } catch (const Usage& usage) {
        err << "tessaro-cli: " << usage.message << "\n" << kUsage;
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
