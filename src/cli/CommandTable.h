#pragma once

#include <cstddef>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro::cli {

// tessaro-cli's commands as data: what each takes, how it is called and what it does. The usage lines, the help and
// the checks of the words all come from here, so that they cannot drift apart.

// An option of a command, as its help lists it.
struct OptionSpec {
    std::string_view name;        // "-o", "--json"
    std::string_view value = {};  // the name of its value in the help ("FILE"); empty for a flag
    std::string_view help = {};
    std::string_view alias = {};  // a second spelling, accepted and not listed ("--output")
};

// Options in a usage line, and what is checked of them:
//   optional, one alternative     [A]         at most once, as every option
//   optional, more alternatives   [A | B]     at most one of them
//   required, one alternative     A           needed
//   required, more alternatives   (A | B)     exactly one of them
// Each alternative is an option's name, with the name of its value when the line shows another than the help's
// ("-o FILE.xlsx"). The nested options go only with the alternative before them: "[--signals [--dbc FILE]]".
struct OptionGroup {
    std::vector<std::string_view> alternatives;
    bool required = false;
    std::vector<std::string_view> nested = {};
    std::string_view message = {};  // the usage error when the group is broken, instead of the plain one
};

// An operand: a name ("PROJECT_DIR"), or a choice of words, which has the noun of what they name ("table").
struct OperandSpec {
    std::string_view name;
    std::vector<std::string_view> words = {};
};

// One way of calling a command, one usage line. A command of several forms tells them by the word of the first
// operand.
struct Form {
    std::vector<OperandSpec> operands;
    std::vector<OptionGroup> groups;
};

struct Invocation;

// What a command writes to, and where a signal database may be besides the project folder.
struct Streams {
    std::ostream& out;
    std::ostream& err;  // for what a command that succeeds has to say besides its output
    const std::string& toolFolder;
};

struct Command {
    std::string_view name;
    std::string_view summary;      // its line in the overview
    std::string_view description;  // its help, between the usage and the options
    std::vector<OptionSpec> options;
    std::vector<Form> forms;
    int (*run)(const Invocation& words, const Streams& streams);
};

// A command's words, checked against its table entry.
struct Invocation {
    const Command* command = nullptr;
    const Form* form = nullptr;
    std::vector<std::string> operands;
    std::map<std::string_view, std::string> options;  // by the option's name: its value, empty for a flag
    bool help = false;

    bool has(std::string_view option) const { return options.contains(option); }
    std::optional<std::string> value(std::string_view option) const;
};

// Wrong usage, said as MESSAGE; the usage of the command, or of them all, follows it.
struct UsageError {
    std::string message;
};

// The words after the command's name, checked: the options the command has, each at most once and with its value,
// the operands of its form, the rules of the form's groups. Throws UsageError. With --help or -h among them, only
// the options are checked.
Invocation parseInvocation(const Command& command, const std::vector<std::string>& words);

// "usage: tessaro-cli build PROJECT_DIR [-o FILE]\n", one line per form, long ones wrapped under the first operand.
std::string commandUsage(const Command& command);
// The usage of every command, and of the help and the version.
std::string overallUsage(const std::vector<Command>& commands);
// The usage, the description and the options, one line each, their helps in a column.
std::string commandHelp(const Command& command);
// The commands' summaries in a column under "commands:".
std::string commandSummaries(const std::vector<Command>& commands);

}  // namespace tessaro::cli
