#include "cli/Cli.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>

#include "cli/ImageDump.h"
#include "cli/ProjectCheck.h"
#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "map/MapFormats.h"
#include "signals/SignalAnalysis.h"
#include "update/ConfigurationImage.h"

namespace tessaro::cli {

namespace {

constexpr const char* kUsage =
    "usage: tessaro-cli build PROJECT_DIR [-o FILE]\n"
    "       tessaro-cli dump IMAGE [--json]\n"
    "       tessaro-cli check PROJECT_DIR [--dbc FILE]\n"
    "       tessaro-cli map PROJECT_DIR [--json | --csv] [--dbc FILE]\n"
    "       tessaro-cli COMMAND --help\n";

constexpr const char* kOverview =
    "Builds, decodes and checks DO48213 gateway projects without a window.\n"
    "\n"
    "commands:\n"
    "  build   compile a project folder into its configuration image\n"
    "  dump    decode a configuration image for a person, or as JSON\n"
    "  check   apply the editors' rules to a project's documents\n"
    "  map     show what each frame byte carries and what each Modbus slave is polled for\n"
    "\n"
    "Exit status: 0 on success, 1 on failure, 2 for wrong usage.\n";

constexpr const char* kBuildHelp =
    "usage: tessaro-cli build PROJECT_DIR [-o FILE]\n"
    "\n"
    "Compiles FrameJ1939.xml, DefFrameJ1939.xml, Group.xml and pargen.xml of PROJECT_DIR into the\n"
    "configuration image, as \"Update Device\" does, and writes it to PROJECT_DIR/bin/bank.bin (creating bin\n"
    "when missing) or to FILE. Prints the path, the size and the counts of frames, definitions and groups.\n"
    "On failure nothing is written and the previous file stays as it was.\n"
    "\n"
    "  -o FILE   write the image to FILE instead\n";

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
    "signal fed whole its registers and how the Modbus side encodes it, raw = (physical - offset) / factor;\n"
    "the signal findings join the others. Exit status 1 when a document or the database cannot be read;\n"
    "findings alone do not fail.\n"
    "\n"
    "  --json       print the same as one JSON document\n"
    "  --csv        print one line per frame byte\n"
    "  --dbc FILE   the signal database; without it, signals.dbc in PROJECT_DIR, else in the tool folder\n";

struct Usage {
    std::string message;
};

// A command's words: its operands and its options, each option at most once.
struct Words {
    std::vector<std::string> operands;
    std::optional<std::string> output;
    bool json = false;
    bool csv = false;
    bool help = false;
    std::optional<std::string> dbc;
    std::string toolFolder;  // the folder of tessaro-cli, where a signal database may be
};

Words parseWords(const std::vector<std::string>& arguments, bool takesOutput, bool takesJson, bool takesCsv,
                 bool takesDbc) {
    Words words;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--help" || word == "-h") {
            words.help = true;
        } else if (takesOutput && (word == "-o" || word == "--output")) {
            if (words.output) throw Usage{"'" + word + "' given twice"};
            if (i + 1 == arguments.size()) throw Usage{"'" + word + "' needs a file name"};
            words.output = arguments[++i];
        } else if (takesJson && word == "--json") {
            words.json = true;
        } else if (takesCsv && word == "--csv") {
            words.csv = true;
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

}  // namespace

int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
        const std::string& toolFolder) {
    if (arguments.empty()) {
        err << "tessaro-cli: a command is missing\n" << kUsage;
        return kWrongUsage;
    }
    const std::string& command = arguments.front();
    try {
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
        };
        static const Command commands[] = {{"build", kBuildHelp, true, false, false, false, build},
                                           {"dump", kDumpHelp, false, true, false, false, dump},
                                           {"check", kCheckHelp, false, false, false, true, check},
                                           {"map", kMapHelp, false, true, true, true, map}};
        for (const Command& candidate : commands) {
            if (command != candidate.name) continue;
            Words words = parseWords(arguments, candidate.takesOutput, candidate.takesJson, candidate.takesCsv,
                                     candidate.takesDbc);
            words.toolFolder = toolFolder;
            if (words.help) {
                out << candidate.help;
                return kSuccess;
            }
            return candidate.action(words, out);
        }
        throw Usage{"unknown command '" + command + "'"};
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
