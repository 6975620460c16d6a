#include <gtest/gtest.h>

#include "cli/CommandTable.h"

namespace tessaro {
namespace {

using cli::Command;
using cli::Invocation;
using cli::UsageError;

int nothing(const Invocation&, const cli::Streams&) {
    return 0;
}

// A command of the table's every kind of group, none with a message of its own: what the table itself says.
const Command kSend = {
    "send",
    "send a file",
    "Sends FILE.\n",
    {{"--to", "HOST", "where to"}, {"--via", "PORT", "the port"}, {"-q", "", "say nothing"}, {"--log", "FILE", "log"}},
    {{{{"what", {"file"}}, {"FILE"}}, {{{"--to", "--via"}, true}, {{"-q"}, false, {"--log"}}}},
     {{{"what", {"nothing"}}}, {{{"--to HOST[:PORT]"}, true}}}},
    nothing,
};

std::string refusal(const std::vector<std::string>& words) {
    try {
        cli::parseInvocation(kSend, words);
    } catch (const UsageError& usage) {
        return usage.message;
    }
    return "accepted";
}

TEST(CommandTable, TheGroupsSayWhatTheyNeedInTheirOwnWords) {
    const struct {
        std::vector<std::string> words;
        const char* message;
    } cases[] = {
        {{}, "file or nothing missing"},
        {{"some"}, "unknown what 'some'"},
        {{"file"}, "FILE missing"},
        {{"file", "a"}, "send file needs one of --to HOST or --via PORT"},
        {{"file", "a", "--to", "h", "--via", "p"}, "'--to' and '--via' exclude each other"},
        {{"file", "a", "--to", "h", "--log", "x"}, "'--log' goes with '-q'"},
        {{"file", "a", "--to"}, "'--to' needs a value"},
        {{"file", "a", "--to", "h", "-q", "--log"}, "'--log' needs a file name"},
        {{"nothing"}, "send nothing needs --to HOST[:PORT]"},
        {{"nothing", "--to", "h", "-q"}, "unknown option '-q'"},
        {{"nothing", "--to", "h", "x"}, "unexpected 'x'"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(c.words), c.message);

    const Invocation words = cli::parseInvocation(kSend, {"-q", "file", "--log", "-", "a", "--via", "--to"});
    EXPECT_EQ(words.operands, (std::vector<std::string>{"file", "a"}));
    EXPECT_EQ(words.value("--via"), "--to");  // a value is taken as it is, even one that looks like an option
    EXPECT_EQ(words.value("--log"), "-");
    EXPECT_TRUE(words.has("-q"));
    EXPECT_FALSE(words.has("--to"));
    EXPECT_EQ(words.form, &kSend.forms[0]);
    EXPECT_EQ(cli::parseInvocation(kSend, {"nothing", "--to", "h"}).form, &kSend.forms[1]);
}

TEST(CommandTable, UsageAndHelpComeFromTheTable) {
    EXPECT_EQ(cli::commandUsage(kSend),
              "usage: tessaro-cli send file FILE (--to HOST | --via PORT) [-q [--log FILE]]\n"
              "       tessaro-cli send nothing --to HOST[:PORT]\n");
    EXPECT_EQ(cli::commandHelp(kSend), cli::commandUsage(kSend) +
                                           "\n"
                                           "Sends FILE.\n"
                                           "\n"
                                           "  --to HOST    where to\n"
                                           "  --via PORT   the port\n"
                                           "  -q           say nothing\n"
                                           "  --log FILE   log\n");
    // Help is asked for before anything is checked.
    EXPECT_TRUE(cli::parseInvocation(kSend, {"nothing", "-h"}).help);
    EXPECT_TRUE(cli::parseInvocation(kSend, {"--help"}).help);
}

}  // namespace
}  // namespace tessaro
