#include "cli/CommandTable.h"

#include <algorithm>

namespace tessaro::cli {

namespace {

constexpr std::string_view kProgram = "tessaro-cli";
constexpr std::size_t kLineWidth = 120;
constexpr std::size_t kHelpGap = 3;  // between an option's name and its help

std::string quoted(std::string_view word) {
    return "'" + std::string(word) + "'";
}

const OptionSpec* optionNamed(const Command& command, std::string_view word) {
    for (const OptionSpec& option : command.options)
        if (word == option.name || (!option.alias.empty() && word == option.alias)) return &option;
    return nullptr;
}

// An alternative of a group: the option's name, and the value's name the usage line shows.
struct Alternative {
    std::string_view option;
    std::string_view value;
};

Alternative alternativeOf(const Command& command, std::string_view text) {
    const std::size_t space = text.find(' ');
    if (space != std::string_view::npos) return {text.substr(0, space), text.substr(space + 1)};
    const OptionSpec* option = optionNamed(command, text);
    return {text, option ? option->value : std::string_view()};
}

std::string alternativeText(const Command& command, std::string_view text) {
    const Alternative alternative = alternativeOf(command, text);
    std::string shown(alternative.option);
    if (!alternative.value.empty()) shown += " " + std::string(alternative.value);
    return shown;
}

std::string groupText(const Command& command, const OptionGroup& group) {
    std::string text;
    for (std::string_view alternative : group.alternatives)
        text += (text.empty() ? "" : " | ") + alternativeText(command, alternative);
    for (std::string_view nested : group.nested) text += " [" + alternativeText(command, nested) + "]";
    if (!group.required) return "[" + text + "]";
    return group.alternatives.size() > 1 ? "(" + text + ")" : text;
}

std::string operandText(const OperandSpec& operand) {
    if (operand.words.empty()) return std::string(operand.name);
    std::string text;
    for (std::string_view word : operand.words) text += (text.empty() ? "" : "|") + std::string(word);
    return text;
}

// "frames, groups, definitions or workbook"
std::string listed(const std::vector<std::string>& words, std::string_view last) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " " + std::string(last) + " " : std::string(", ");
        text += words[i];
    }
    return text;
}

std::string_view valueNoun(const OptionSpec& option) {
    return option.value.starts_with("FILE") ? "a file name" : "a value";
}

// The form the first operand's word names: the only one, or the one whose choice holds the word.
const Form& formOf(const Command& command, const std::vector<std::string>& operands) {
    const Form& first = command.forms.front();
    if (command.forms.size() == 1 && (first.operands.empty() || first.operands.front().words.empty())) return first;
    std::vector<std::string> words;
    for (const Form& form : command.forms)
        for (std::string_view word : form.operands.front().words) words.emplace_back(word);
    if (operands.empty()) throw UsageError{listed(words, "or") + " missing"};
    for (const Form& form : command.forms) {
        const std::vector<std::string_view>& choice = form.operands.front().words;
        if (std::find(choice.begin(), choice.end(), operands.front()) != choice.end()) return form;
    }
    throw UsageError{"unknown " + std::string(first.operands.front().name) + " " + quoted(operands.front())};
}

void checkOperands(const Form& form, const std::vector<std::string>& operands) {
    if (operands.size() < form.operands.size())
        throw UsageError{std::string(form.operands[operands.size()].name) + " missing"};
    if (operands.size() > form.operands.size())
        throw UsageError{"unexpected " + quoted(operands[form.operands.size()])};
}

bool inForm(const Form& form, std::string_view option, const Command& command) {
    for (const OptionGroup& group : form.groups) {
        for (std::string_view alternative : group.alternatives)
            if (alternativeOf(command, alternative).option == option) return true;
        for (std::string_view nested : group.nested)
            if (alternativeOf(command, nested).option == option) return true;
    }
    return false;
}

void checkGroups(const Invocation& words) {
    const Command& command = *words.command;
    for (const OptionGroup& group : words.form->groups) {
        std::vector<std::string_view> given;
        for (std::string_view alternative : group.alternatives) {
            const std::string_view option = alternativeOf(command, alternative).option;
            if (words.has(option)) given.push_back(option);
        }
        const auto broken = [&](std::string plain) {
            throw UsageError{group.message.empty() ? std::move(plain) : std::string(group.message)};
        };
        if (given.size() > 1) broken(quoted(given[0]) + " and " + quoted(given[1]) + " exclude each other");
        if (group.required && given.empty()) {
            std::string called = std::string(command.name);
            if (!words.form->operands.empty() && !words.form->operands.front().words.empty())
                called += " " + words.operands.front();
            if (group.alternatives.size() == 1)
                broken(called + " needs " + alternativeText(command, group.alternatives.front()));
            std::vector<std::string> options;
            for (std::string_view alternative : group.alternatives)
                options.push_back(alternativeText(command, alternative));
            broken(called + " needs one of " + listed(options, "or"));
        }
        for (std::string_view nested : group.nested) {
            const std::string_view option = alternativeOf(command, nested).option;
            if (words.has(option) && given.empty())
                throw UsageError{quoted(option) + " goes with " +
                                 quoted(alternativeOf(command, group.alternatives.back()).option)};
        }
    }
}

std::string formUsage(const Command& command, const Form& form, std::string_view lead) {
    std::vector<std::string> pieces;
    for (const OperandSpec& operand : form.operands) pieces.push_back(operandText(operand));
    for (const OptionGroup& group : form.groups) pieces.push_back(groupText(command, group));
    std::string line = std::string(lead) + std::string(kProgram) + " " + std::string(command.name);
    const std::size_t indent = line.size() + 1;
    std::string text;
    for (const std::string& piece : pieces) {
        if (line.size() + 1 + piece.size() > kLineWidth) {
            text += line + "\n";
            line = std::string(indent - 1, ' ');
        }
        line += " " + piece;
    }
    return text + line + "\n";
}

constexpr std::string_view kFirstLead = "usage: ";
constexpr std::string_view kNextLead = "       ";

}  // namespace

std::optional<std::string> Invocation::value(std::string_view option) const {
    const auto found = options.find(option);
    if (found == options.end()) return std::nullopt;
    return found->second;
}

Invocation parseInvocation(const Command& command, const std::vector<std::string>& words) {
    Invocation invocation;
    invocation.command = &command;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--help" || word == "-h") {
            invocation.help = true;
        } else if (const OptionSpec* option = optionNamed(command, word)) {
            if (invocation.has(option->name)) throw UsageError{quoted(word) + " given twice"};
            std::string value;
            if (!option->value.empty()) {
                if (i + 1 == words.size()) throw UsageError{quoted(word) + " needs " + std::string(valueNoun(*option))};
                value = words[++i];
            }
            invocation.options.emplace(option->name, std::move(value));
        } else if (word.size() > 1 && word[0] == '-') {
            throw UsageError{"unknown option " + quoted(word)};
        } else {
            invocation.operands.push_back(word);
        }
    }
    if (invocation.help) return invocation;
    invocation.form = &formOf(command, invocation.operands);
    checkOperands(*invocation.form, invocation.operands);
    for (const auto& [option, value] : invocation.options)
        if (!inForm(*invocation.form, option, command)) throw UsageError{"unknown option " + quoted(option)};
    checkGroups(invocation);
    return invocation;
}

std::string commandUsage(const Command& command) {
    std::string text;
    for (const Form& form : command.forms) text += formUsage(command, form, text.empty() ? kFirstLead : kNextLead);
    return text;
}

std::string overallUsage(const std::vector<Command>& commands) {
    std::string text;
    for (const Command& command : commands)
        for (const Form& form : command.forms) text += formUsage(command, form, text.empty() ? kFirstLead : kNextLead);
    text += std::string(kNextLead) + std::string(kProgram) + " COMMAND --help\n";
    text += std::string(kNextLead) + std::string(kProgram) + " --version\n";
    return text;
}

std::string commandHelp(const Command& command) {
    std::string text = commandUsage(command) + "\n" + std::string(command.description);
    if (command.options.empty()) return text;
    std::size_t width = 0;
    const auto shown = [](const OptionSpec& option) {
        return std::string(option.name) + (option.value.empty() ? "" : " " + std::string(option.value));
    };
    for (const OptionSpec& option : command.options) width = std::max(width, shown(option).size());
    text += "\n";
    for (const OptionSpec& option : command.options) {
        std::string name = shown(option);
        name.resize(width + kHelpGap, ' ');
        text += "  " + name + std::string(option.help) + "\n";
    }
    return text;
}

std::string commandSummaries(const std::vector<Command>& commands) {
    std::size_t width = 0;
    for (const Command& command : commands) width = std::max(width, command.name.size());
    std::string text = "commands:\n";
    for (const Command& command : commands) {
        std::string name(command.name);
        name.resize(width + 2, ' ');
        text += "  " + name + std::string(command.summary) + "\n";
    }
    return text;
}

}  // namespace tessaro::cli
