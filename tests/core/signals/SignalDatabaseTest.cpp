#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/project/ProjectState.h"
#include "core/signals/SignalDatabase.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

const std::string kConstructs = std::string(TESSARO_FIXTURES) + "/signals/constructs.dbc";

const MessageDefinition& messageNamed(const SignalDatabase& database, std::string_view name) {
    for (const MessageDefinition& message : database.messages)
        if (message.name == name) return message;
    throw std::runtime_error("no message " + std::string(name));
}

std::vector<std::string> signalNames(const MessageDefinition& message) {
    std::vector<std::string> names;
    for (const SignalDefinition& signal : message.signalDefinitions) names.push_back(signal.name);
    return names;
}

class SignalDatabaseConstructs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_database = new SignalDatabase(loadSignalDatabase(kConstructs)); }
    static void TearDownTestSuite() {
        delete s_database;
        s_database = nullptr;
    }
    static const SignalDatabase& database() { return *s_database; }

private:
    static SignalDatabase* s_database;
};
SignalDatabase* SignalDatabaseConstructs::s_database = nullptr;

TEST_F(SignalDatabaseConstructs, ReadsEveryMessageThatIsWellFormed) {
    std::vector<std::string> names;
    for (const MessageDefinition& message : database().messages) names.push_back(message.name);
    EXPECT_EQ(names, (std::vector<std::string>{"EEC1", "ET1", "RQST", "PageOne", "Standard", "Muxed"}));
    const MessageDefinition& eec1 = messageNamed(database(), "EEC1");
    EXPECT_EQ(eec1.identifier, 2364539904u);
    EXPECT_EQ(eec1.size, 8u);
    EXPECT_EQ(eec1.sender, "Engine");
    EXPECT_EQ(eec1.line, 12u);
    EXPECT_EQ(signalNames(eec1), (std::vector<std::string>{"ActualTorque", "EngineSpeed", "StarterMode"}));
    // The pseudo-message of the signals of no message is passed over without a word.
    EXPECT_EQ(std::count_if(database().messages.begin(), database().messages.end(),
                            [](const MessageDefinition& message) { return message.name.rfind("VECTOR", 0) == 0; }),
              0);
}

TEST_F(SignalDatabaseConstructs, ReadsEachPartOfASignal) {
    const SignalDefinition& speed = messageNamed(database(), "EEC1").signalDefinitions[1];
    EXPECT_EQ(speed.startBit, 24u);
    EXPECT_EQ(speed.length, 16u);
    EXPECT_EQ(speed.byteOrder, ByteOrder::littleEndian);
    EXPECT_FALSE(speed.isSigned);
    EXPECT_EQ(speed.factor, 0.125);
    EXPECT_EQ(speed.offset, 0);
    EXPECT_EQ(speed.minimum, 0);
    EXPECT_EQ(speed.maximum, 8031.875);
    EXPECT_EQ(speed.unit, "rpm");
    EXPECT_EQ(speed.receivers, (std::vector<std::string>{"Cab", "Body"}));
    EXPECT_EQ(speed.line, 14u);

    const SignalDefinition& torque = messageNamed(database(), "EEC1").signalDefinitions[0];
    EXPECT_TRUE(torque.isSigned);
    EXPECT_EQ(torque.offset, -125);
    EXPECT_EQ(torque.minimum, -125);
    EXPECT_EQ(torque.unit, "%");

    const SignalDefinition& level = messageNamed(database(), "PageOne").signalDefinitions[0];
    EXPECT_EQ(level.byteOrder, ByteOrder::bigEndian);
    EXPECT_TRUE(level.isSigned);
    EXPECT_EQ(level.factor, 0.5);
    EXPECT_EQ(level.offset, 10);  // written 1E+001
    EXPECT_EQ(level.startBit, 7u);
    EXPECT_EQ(level.length, 12u);
}

TEST_F(SignalDatabaseConstructs, AUnitInTheWindowsCodePageBecomesUtf8) {
    EXPECT_EQ(messageNamed(database(), "ET1").signalDefinitions[0].unit,
              "\xC2\xB0"
              "C");
}

TEST(SignalDatabaseTexts, OnlyWellFormedUtf8IsTakenAsSuchAndTheRestInTheWindowsCodePage) {
    const auto unit = [](const std::string& written) {
        const SignalDatabase database =
            readSignalDatabase("BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (1,0) [0|1] \"" + written + "\" R\n");
        return database.messages.at(0).signalDefinitions.at(0).unit;
    };
    EXPECT_EQ(unit("\xC2\xB0"
                   "C"),
              "\xC2\xB0"
              "C");
    EXPECT_EQ(unit("\xB0"
                   "C"),
              "\xC2\xB0"
              "C");
    EXPECT_EQ(unit("\xC0\x80"), "\xC3\x80\xE2\x82\xAC");              // an overlong form of NUL
    EXPECT_EQ(unit("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");  // a surrogate
    EXPECT_EQ(unit("\xE2\x82\xAC"), "\xE2\x82\xAC");                  // the euro sign
    // The code page's own signs between 0x80 and 0x9F, which Latin-1 would make control characters.
    EXPECT_EQ(unit("\x89"), "\xE2\x80\xB0");  // per mille
    EXPECT_EQ(unit("\x80"), "\xE2\x82\xAC");  // euro
    EXPECT_EQ(unit("\x81"), "\xEF\xBF\xBD");  // unassigned
}

TEST_F(SignalDatabaseConstructs, CommentsGoToTheirMessageAndSignal) {
    const MessageDefinition& eec1 = messageNamed(database(), "EEC1");
    EXPECT_EQ(eec1.comment, "Electronic engine controller 1");
    EXPECT_EQ(eec1.signalDefinitions[1].comment, "Actual engine speed,\nwith a \"quote\" over two lines");
    EXPECT_EQ(eec1.signalDefinitions[0].comment, "");
    EXPECT_EQ(messageNamed(database(), "ET1").signalDefinitions[0].comment, "Engine coolant");
}

TEST_F(SignalDatabaseConstructs, PgnsOfPdu2Pdu1DataPageOneAndStandardIdentifiers) {
    const auto number = [](std::string_view name) -> std::optional<std::uint32_t> {
        const std::optional<Pgn> pgn = messageNamed(database(), name).pgn();
        return pgn ? std::optional(pgn->number()) : std::nullopt;
    };
    EXPECT_EQ(number("EEC1"), 61444u);
    EXPECT_EQ(number("ET1"), 65262u);
    EXPECT_EQ(number("RQST"), 59904u);  // sent to 0x21: the destination is not in the PGN
    EXPECT_EQ(messageNamed(database(), "RQST").pgn()->destination(), 0x21);
    EXPECT_EQ(number("PageOne"), 0x1FEF1u);
    EXPECT_EQ(number("Standard"), std::nullopt);
    // A frame's PGN meets its message whatever destination either names.
    EXPECT_EQ(database().messageOfPgn(framePgn(0, 0xEA00)), &messageNamed(database(), "RQST"));
    EXPECT_EQ(database().messageOfPgn(framePgn(0, 0xEAFF)), &messageNamed(database(), "RQST"));
    EXPECT_EQ(database().messageOfPgn(framePgn(1, 0xFEF1)), &messageNamed(database(), "PageOne"));
    EXPECT_EQ(database().messageOfPgn(framePgn(0, 0xFEF1)), nullptr);
    EXPECT_EQ(database().messageOfPgn(framePgn(0, 65265)), nullptr);
}

TEST_F(SignalDatabaseConstructs, MultiplexedSignalsAreReadWithTheirMultiplexerAndValues) {
    const MessageDefinition& muxed = messageNamed(database(), "Muxed");
    EXPECT_EQ(signalNames(muxed), (std::vector<std::string>{"Page", "PageA", "PageB", "Always"}));
    EXPECT_TRUE(muxed.signalDefinitions[0].isMultiplexer);
    EXPECT_FALSE(muxed.signalDefinitions[0].multiplexed());
    EXPECT_EQ(muxed.signalDefinitions[1].multiplexer, "Page");
    EXPECT_EQ(muxed.signalDefinitions[1].multiplexerValues, (std::vector<ValueRange>{{0, 0}}));
    EXPECT_EQ(muxed.signalDefinitions[2].multiplexerValues, (std::vector<ValueRange>{{1, 1}}));
    EXPECT_FALSE(muxed.signalDefinitions[3].multiplexed());
    EXPECT_TRUE(database().leftOut.empty());
}

// One message per case, the multiplexing of its signals and what the reader says of them.
struct MultiplexingCase {
    const char* text;
    std::vector<std::string> multiplexers;  // per signal read: its multiplexer and values, "" when none
    std::vector<std::string> notes;         // left out and malformed
};

std::string multiplexingOf(const SignalDefinition& signal) {
    std::string text = signal.isMultiplexer ? "M" : "";
    if (!signal.multiplexed()) return text;
    text += (text.empty() ? "" : " ") + signal.multiplexer + "=";
    for (const ValueRange& range : signal.multiplexerValues)
        text += std::to_string(range.first) + "-" + std::to_string(range.last) + ";";
    return text;
}

const MultiplexingCase kMultiplexingCases[] = {
    {"BO_ 2364539904 M: 8 E\n SG_ S M : 0|8@1+ (1,0) [0|1] \"\" R\n SG_ A m7 : 8|8@1+ (1,0) [0|1] \"\" R",
     {"M", "S=7-7;"},
     {}},
    // No multiplexer to choose it.
    {"BO_ 2364539904 M: 8 E\n SG_ A m7 : 8|8@1+ (1,0) [0|1] \"\" R",
     {},
     {"line 2: signal A of M is multiplexed (m7), but M has no multiplexer M: left out"}},
    // A value the multiplexer's bits cannot hold.
    {"BO_ 2364539904 M: 8 E\n SG_ S M : 0|2@1+ (1,0) [0|1] \"\" R\n SG_ A m4 : 8|8@1+ (1,0) [0|1] \"\" R",
     {"M"},
     {"line 3: signal A of M is chosen by S = 4, beyond the 2 bits of S: left out"}},
    // Extended multiplexing: the ranges of SG_MUL_VAL_ and a multiplexed multiplexer.
    {"BO_ 2364539904 M: 8 E\n SG_ S M : 0|8@1+ (1,0) [0|1] \"\" R\n SG_ T m1M : 8|8@1+ (1,0) [0|1] \"\" R\n"
     " SG_ A m0 : 16|8@1+ (1,0) [0|1] \"\" R\nSG_MUL_VAL_ 2364539904 A T 3-5, 8-8;",
     {"M", "M S=1-1;", "T=3-5;8-8;"},
     {}},
    {"BO_ 2364539904 M: 8 E\n SG_ S M : 0|8@1+ (1,0) [0|1] \"\" R\n SG_ A m0 : 16|8@1+ (1,0) [0|1] \"\" R\n"
     "SG_MUL_VAL_ 2364539904 A Nobody 3-5;\nSG_MUL_VAL_ 2364539904 S S 1-1;\nSG_MUL_VAL_ 2364539904 A S 5-3;",
     {"M", "S=0-0;"},
     {"line 4: SG_MUL_VAL_: Nobody is no multiplexer of M",
      "line 5: SG_MUL_VAL_: signal S of M has no multiplexer indicator mN",
      "line 6: SG_MUL_VAL_: the values 5-3 run backwards"}},
    // What follows a signal left out keeps its place and its name.
    {"BO_ 2364539904 M: 8 E\n SG_ A m7 : 8|8@1+ (1,0) [0|1] \"\" R\n SG_ B : 0|8@1+ (1,0) [0|1] \"\" R",
     {""},
     {"line 2: signal A of M is multiplexed (m7), but M has no multiplexer M: left out"}},
    // A multiplexer left out takes what it chooses with it.
    {"BO_ 2364539904 M: 8 E\n SG_ T m1M : 8|8@1+ (1,0) [0|1] \"\" R\n SG_ A m0 : 16|8@1+ (1,0) [0|1] \"\" R\n"
     "SG_MUL_VAL_ 2364539904 A T 3-5;",
     {},
     {"line 2: signal T of M is multiplexed (m1M), but M has no multiplexer M: left out",
      "line 3: signal A of M is chosen by T, which is left out: left out"}},
    {"BO_ 2364539904 M: 8 E\n SG_ S m99999999999999999999 : 0|8@1+ (1,0) [0|1] \"\" R",
     {},
     {"line 2: SG_: the multiplexer value of 'm99999999999999999999' is too large"}},
};

TEST(SignalDatabaseMultiplexing, EachMultiplexedSignalGetsItsMultiplexerOrIsLeftOutWithANote) {
    for (const MultiplexingCase& c : kMultiplexingCases) {
        SCOPED_TRACE(c.text);
        const SignalDatabase database = readSignalDatabase(c.text);
        std::vector<std::string> multiplexers, notes;
        for (const SignalDefinition& signal : database.messages.at(0).signalDefinitions)
            multiplexers.push_back(multiplexingOf(signal));
        for (const auto* list : {&database.leftOut, &database.malformed})
            for (const DatabaseNote& note : *list) notes.push_back(noteText(note));
        EXPECT_EQ(multiplexers, c.multiplexers);
        EXPECT_EQ(notes, c.notes);
    }
}

TEST(SignalDatabaseStatements, SpnValueTextsAndValueTypesGoToTheirSignals) {
    const SignalDatabase database = readSignalDatabase(
        "BO_ 2364539904 EEC1: 8 Engine\n"
        " SG_ Mode : 0|4@1+ (1,0) [0|15] \"\" R\n"
        " SG_ Level : 32|32@1- (1,0) [0|0] \"\" R\n"
        " SG_ Total : 0|64@1- (1,0) [0|0] \"\" R\n"
        "BA_DEF_ SG_ \"SPN\" INT 0 524287;\n"
        "BA_ \"SPN\" SG_ 2364539904 Mode 1675;\n"
        "BA_ \"SPN\" SG_ 2364539904 Missing 1;\n"
        "BA_ \"GenSigStartValue\" SG_ 2364539904 Mode 3;\n"
        "VAL_ 2364539904 Mode 0 \"off\" 1 \"on\" -1 \"\xB0 error\" ;\n"
        "VAL_ SomeVariable 0 \"an environment variable's\" ;\n"
        "SIG_VALTYPE_ 2364539904 Level : 1;\n"
        "SIG_VALTYPE_ 2364539904 Total : 2;\n");
    EXPECT_TRUE(database.malformed.empty()) << noteText(database.malformed.front());
    const MessageDefinition& eec1 = database.messages.at(0);
    EXPECT_EQ(eec1.signalDefinitions[0].spn, 1675u);
    EXPECT_EQ(eec1.signalDefinitions[1].spn, std::nullopt);
    EXPECT_EQ(eec1.signalDefinitions[0].valueTexts,
              (std::vector<ValueText>{{0, "off"}, {1, "on"}, {-1, "\xC2\xB0 error"}}));
    EXPECT_EQ(eec1.signalDefinitions[0].valueType, ValueType::integer);
    EXPECT_EQ(eec1.signalDefinitions[1].valueType, ValueType::ieeeSingle);
    EXPECT_EQ(eec1.signalDefinitions[2].valueType, ValueType::ieeeDouble);
}

TEST_F(SignalDatabaseConstructs, MalformedLinesAreNotedWithTheirNumbersAndTheRestIsRead) {
    std::vector<std::string> notes;
    for (const DatabaseNote& note : database().malformed) notes.push_back(noteText(note));
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "line 34: SG_: the byte order 0 or 1 expected after '@'",
                         "line 35: SG_: signal TooWide runs beyond the 8 bytes of Muxed",
                         "line 37: BO_: the message name expected",
                         "line 40: BO_: the identifier 4096 has no extended flag (bit 31) and does not fit in 11 bits",
                         "line 51: SG_: a signal outside a message",
                     }));
}

// One statement per case: what the reader notes about it (nothing when it reads it).
struct LineCase {
    const char* statement;
    const char* note;
};

const LineCase kLineCases[] = {
    {"BO_ 2364539904 M: 8 E", nullptr},
    {"BO_ 2364539904 M : 8 E", nullptr},
    {"BO_ 2364539904 M: 8 E extra", "BO_: unexpected text after the sender"},
    {"BO_ x M: 8 E", "BO_: the message identifier expected"},
    {"BO_ 4294967296 M: 8 E", "BO_: the identifier 4294967296 is too large"},
    {"BO_ 2364539904 M 8 E", "BO_: ':' expected after the message name"},
    {"BO_ 2364539904 M: E", "BO_: the message size expected"},
    {"BO_ 2364539904 M: 1786 E", "BO_: the size 1786 is more than 1785 bytes"},
    {"BO_ 2364539904 M: 8", "BO_: the sender expected"},
    {"BO_ 2047 M: 8 E", nullptr},
    {"BO_ 4026531840 M: 8 E", "BO_: the identifier 4026531840 does not fit in 29 bits"},
    {"BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" R", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S:0|8@1+(1,0)[0|255]\"\"R", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0 | 8 @ 1 + ( 1 , 0 ) [ 0 | 255 ] \"\" R", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (1,0) [0|255] \"\"", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (+1,-0.5) [-1e3|+2E2] \"\" R", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" R S T, U", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S : x|8@1+ (1,0) [0|255] \"\" R", "SG_: the start bit expected"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0/8@1+ (1,0) [0|255] \"\" R", "SG_: '|' expected after the start bit"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1* (1,0) [0|255] \"\" R", "SG_: '+' or '-' expected after the byte order"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (1;0) [0|255] \"\" R", "SG_: ',' expected after the factor"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (1,0) [0|255] rpm R", "SG_: the unit expected in quotes"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (1,0) [0|255] \"rpm R", "SG_: the unit without its closing quote"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (nan,0) [0|255] \"\" R", "SG_: the factor expected"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (0,0) [0|255] \"\" R", "SG_: signal S has the factor 0"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|0@1+ (1,0) [0|255] \"\" R", "SG_: the length 0 is not 1 to 64 bits"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|65@1+ (1,0) [0|255] \"\" R", "SG_: the length 65 is not 1 to 64 bits"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 64|1@1+ (1,0) [0|1] \"\" R",
     "SG_: signal S starts at bit 64, beyond the 8 bytes of M"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|64@1+ (1,0) [0|1] \"\" R", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 7|64@0+ (1,0) [0|1] \"\" R", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 6|64@0+ (1,0) [0|1] \"\" R", "SG_: signal S runs beyond the 8 bytes of M"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 57|8@1+ (1,0) [0|1] \"\" R", "SG_: signal S runs beyond the 8 bytes of M"},
    {"BO_ 2364539904 M: 8 E\n SG_ S m2M : 0|8@1+ (1,0) [0|1] \"\" R", nullptr},
    {"BO_ 2364539904 M: 8 E\n SG_ S mux : 0|8@1+ (1,0) [0|1] \"\" R", "SG_: 'mux' is no multiplexer indicator"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" R\n SG_ S : 8|8@1+ (1,0) [0|1] \"\" R",
     "SG_: signal S is already in M at line 2"},
    {"BO_ 2364539904 M: 8 E\nBO_ 2364539904 N: 8 E", "BO_: the identifier 2364539904 is already message M of line 1"},
    {"CM_ BO_ 2364539904 \"no end", "CM_: the comment without its closing quote"},
    {"CM_ SG_ 2364539904 \"no signal\";", "CM_: the signal name expected"},
    {"CM_ BO_ 2364539904 \"a\" b;", "CM_: unexpected text after the comment"},
    {"CM_ BO_ 99 \"on a message that is not there\";", nullptr},
    {"CM_ EV_ Speed \"on an environment variable\";", nullptr},
    {"BA_DEF_ SG_ \"SPN\" INT 0 524287;", nullptr},
    {"BA_ \"SPN\" SG_ 2364539904 S 524288;", "BA_: the SPN 524288 is more than 524287"},
    {"BA_ \"SPN\" SG_ 2364539904 S x;", "BA_: the SPN expected"},
    {"BA_ \"SPN\" SG_ 2364539904 S 1 2;", "BA_: unexpected text after the SPN"},
    {"BA_ \"SPN\" BO_ 2364539904 1;", nullptr},
    {"BA_ \"GenMsgCycleTime\" anything;", nullptr},
    {"VAL_ 2364539904 S 0 \"off\" 1;", "VAL_: the text of a value expected in quotes"},
    {"VAL_ 2364539904 S 0 off;", "VAL_: the text of a value expected in quotes"},
    {"VAL_ 2364539904 S 0 \"off\" ; more", "VAL_: unexpected text after the value texts"},
    {"VAL_ 2364539904 S ;", nullptr},
    {"SIG_VALTYPE_ 2364539904 S : 1;", nullptr},
    {"SIG_VALTYPE_ 2364539904 S : 3;", "SIG_VALTYPE_: the value type 3 is not 0, 1 or 2"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|16@1+ (1,0) [0|1] \"\" R\nSIG_VALTYPE_ 2364539904 S : 1;",
     "SIG_VALTYPE_: signal S is an IEEE single of 32 bits, but has 16"},
    {"BO_ 2364539904 M: 8 E\n SG_ S : 0|32@1+ (1,0) [0|1] \"\" R\nSIG_VALTYPE_ 2364539904 S : 2;",
     "SIG_VALTYPE_: signal S is an IEEE double of 64 bits, but has 32"},
    {"SG_MUL_VAL_ 2364539904 S T 1 2;", "SG_MUL_VAL_: '-' expected after a value"},
    {"BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX\n SG_ Lone : 0|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
     "CM_ SG_ 3221225472 Lone \"a signal of no message\";",
     nullptr},
    {"anything at all", nullptr},
    {"NS_ :\n\tNS_DESC_\n\tCM_\n\tBA_DEF_\n\tBA_\n\tVAL_\n\tCAT_DEF_\n\tCAT_\n\tFILTER\n\tBA_DEF_DEF_\n\tEV_DATA_\n"
     "\tENVVAR_DATA_\n\tSGTYPE_\n\tSGTYPE_VAL_\n\tBA_DEF_SGTYPE_\n\tBA_SGTYPE_\n\tSIG_TYPE_REF_\n\tVAL_TABLE_\n"
     "\tSIG_GROUP_\n\tSIG_VALTYPE_\n\tSIGTYPE_VALTYPE_\n\tBO_TX_BU_\n\tBA_DEF_REL_\n\tBA_REL_\n\tBA_DEF_DEF_REL_\n"
     "\tBU_SG_REL_\n\tBU_EV_REL_\n\tBU_BO_REL_\n\tSG_MUL_VAL_\n\nBS_:\n",
     nullptr},
    {"\"", nullptr},
};

TEST(SignalDatabaseLines, EachStatementIsReadOrNotedAsMalformed) {
    for (const LineCase& line : kLineCases) {
        SCOPED_TRACE(line.statement);
        const SignalDatabase database = readSignalDatabase(line.statement);
        if (line.note == nullptr) {
            EXPECT_TRUE(database.malformed.empty()) << noteText(database.malformed.front());
        } else {
            ASSERT_EQ(database.malformed.size(), 1u);
            EXPECT_EQ(database.malformed.front().text, line.note);
        }
    }
}

TEST(SignalDatabaseLines, AQuoteLeftOpenEndsAtTheNextStatement) {
    const SignalDatabase database = readSignalDatabase(
        "CM_ BO_ 2364539904 \"open\n"
        "still the comment\n"
        "BO_ 2364539904 EEC1: 8 Engine\n"
        " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" Cab\n");
    ASSERT_EQ(database.malformed.size(), 1u);
    EXPECT_EQ(noteText(database.malformed.front()), "line 1: CM_: the comment without its closing quote");
    ASSERT_EQ(database.messages.size(), 1u);
    EXPECT_EQ(database.messages[0].line, 3u);
    EXPECT_EQ(database.messages[0].signalDefinitions.at(0).line, 4u);
}

TEST(SignalDatabaseLines, AStatementKeywordAtTheStartOfACommentsLineStaysComment) {
    const SignalDatabase database = readSignalDatabase(
        "BO_ 2364539904 EEC1: 8 Engine\n"
        " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" Cab\n"
        "CM_ SG_ 2364539904 EngineSpeed \"Actual engine speed: see the\n"
        "VAL_ tables, the\n"
        "SG_ lines and\n"
        "BO_ 1 of the \\\"other\\\" file\" ;\n"
        "CM_ BO_ 2364539904 \"The message\";\n");
    EXPECT_TRUE(database.malformed.empty()) << noteText(database.malformed.front());
    ASSERT_EQ(database.messages.size(), 1u);
    EXPECT_EQ(database.messages[0].signalDefinitions[0].comment,
              "Actual engine speed: see the\nVAL_ tables, the\nSG_ lines and\nBO_ 1 of the \"other\" file");
    EXPECT_EQ(database.messages[0].comment, "The message");
}

TEST(SignalDatabaseLines, AStrayQuoteInACommentStillCostsOneStatement) {
    // The next comment, or a statement whose quotes never close the stray one, ends it.
    const SignalDatabase database = readSignalDatabase(
        "BO_ 2364539904 EEC1: 8 Engine\n"
        " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" Cab\n"
        "CM_ BO_ 2364539904 \"stray\n"
        "VAL_ 2364539904 EngineSpeed 0 \"stopped\" ;\n"
        "CM_ SG_ 2364539904 EngineSpeed \"speed\";\n"
        "CM_ BO_ 2364539904 \"stray again\n"
        "BA_ \"SPN\" SG_ 2364539904 EngineSpeed 190;\n");
    std::vector<std::string> notes;
    for (const DatabaseNote& note : database.malformed) notes.push_back(noteText(note));
    EXPECT_EQ(notes, (std::vector<std::string>{"line 3: CM_: the comment without its closing quote",
                                               "line 6: CM_: the comment without its closing quote"}));
    const SignalDefinition& speed = database.messages.at(0).signalDefinitions.at(0);
    EXPECT_EQ(speed.comment, "speed");
    EXPECT_EQ(speed.valueTexts, (std::vector<ValueText>{{0, "stopped"}}));
    EXPECT_EQ(speed.spn, 190u);
}

TEST(SignalDatabaseLines, BlankLinesMayStandBetweenAMessageAndItsSignals) {
    const SignalDatabase database =
        readSignalDatabase("BO_ 2364539904 M: 8 E\n\n  \t\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" R");
    EXPECT_TRUE(database.malformed.empty());
    ASSERT_EQ(database.messages.size(), 1u);
    EXPECT_EQ(database.messages[0].signalDefinitions.size(), 1u);
}

TEST(SignalDatabaseLines, AnEmptyFileHoldsNothing) {
    const SignalDatabase database = readSignalDatabase("");
    EXPECT_TRUE(database.messages.empty());
    EXPECT_TRUE(database.malformed.empty());
}

struct PgnCase {
    std::uint32_t identifier;
    std::optional<std::uint32_t> pgn;
};

const PgnCase kPgnCases[] = {
    {0x8CF00400, 61444},    // EEC1 from the engine, PDU2
    {0x98FEEE00, 65262},    // ET1
    {0x98FEF1FE, 65265},    // CCVS from address 254
    {0x98EA2100, 59904},    // RQST to 0x21, PDU1: PS is the destination
    {0x98EAFF00, 59904},    // the same to all
    {0x98EFFF00, 0xEF00},   // PF 239, the last of PDU1
    {0x98F00000, 0xF000},   // PF 240, the first of PDU2
    {0x99FEF100, 0x1FEF1},  // data page 1
    {0x9BFEF100, 0x3FEF1},  // both data page bits
    {0x9FFFFFFF, 0x3FFFF},  // the widest identifier
    {0x80000000, 0},
    {0x0CF00400, std::nullopt},  // no extended flag: a standard identifier
    {0x000007FF, std::nullopt},
    {0xA0000000, std::nullopt},  // wider than 29 bits
    {0xC0000000, std::nullopt},
};

TEST(SignalDatabasePgn, ThePgnOfAMessagesIdentifier) {
    for (const PgnCase& c : kPgnCases) {
        SCOPED_TRACE(c.identifier);
        MessageDefinition message;
        message.identifier = c.identifier;
        const std::optional<Pgn> pgn = message.pgn();
        EXPECT_EQ(pgn ? std::optional(pgn->number()) : std::nullopt, c.pgn);
    }
}

struct BytesCase {
    unsigned startBit;
    unsigned length;
    ByteOrder order;
    std::vector<unsigned> bySignificance;
    bool wholeBytes;
};

const BytesCase kBytesCases[] = {
    {24, 16, ByteOrder::littleEndian, {4, 3}, true},
    {0, 8, ByteOrder::littleEndian, {0}, true},
    {0, 64, ByteOrder::littleEndian, {7, 6, 5, 4, 3, 2, 1, 0}, true},
    {4, 8, ByteOrder::littleEndian, {1, 0}, false},
    {48, 4, ByteOrder::littleEndian, {6}, false},
    {7, 16, ByteOrder::bigEndian, {0, 1}, true},
    {7, 24, ByteOrder::bigEndian, {0, 1, 2}, true},
    {7, 12, ByteOrder::bigEndian, {0, 1}, false},
    {3, 4, ByteOrder::bigEndian, {0}, false},
    {3, 5, ByteOrder::bigEndian, {0, 1}, false},
    {39, 8, ByteOrder::bigEndian, {4}, true},
    {32, 16, ByteOrder::bigEndian, {4, 5, 6}, false},
};

TEST(SignalDatabaseBytes, TheBytesOfASignalInBothByteOrders) {
    for (const BytesCase& c : kBytesCases) {
        SCOPED_TRACE(std::to_string(c.startBit) + "|" + std::to_string(c.length) +
                     (c.order == ByteOrder::bigEndian ? "@0" : "@1"));
        SignalDefinition signal;
        signal.startBit = c.startBit;
        signal.length = c.length;
        signal.byteOrder = c.order;
        EXPECT_EQ(bytesOf(signal).bySignificance(), c.bySignificance);
        EXPECT_EQ(coversWholeBytes(signal), c.wholeBytes);
    }
}

TEST(SignalDatabaseFile, TheProjectsDatabaseComesBeforeTheToolsAndNoneIsNothing) {
    testing::TemporaryFolder tool;
    const std::string project = joinPath(tool.path(), "project");
    ASSERT_TRUE(std::filesystem::create_directory(project));
    EXPECT_EQ(signalDatabasePath(project, tool.path()), std::nullopt);
    replaceFile(joinPath(tool.path(), "signals.dbc"), "");
    EXPECT_EQ(signalDatabasePath(project, tool.path()), joinPath(tool.path(), "signals.dbc"));
    replaceFile(joinPath(project, "signals.dbc"), "");
    EXPECT_EQ(signalDatabasePath(project, tool.path()), joinPath(project, "signals.dbc"));
}

TEST(SignalDatabaseFile, AFileThatCannotBeReadFails) {
    testing::TemporaryFolder tool;
    const std::string missing = joinPath(tool.path(), "signals.dbc");
    EXPECT_THROW(
        {
            try {
                loadSignalDatabase(missing);
            } catch (const Error& failure) {
                EXPECT_EQ(std::string(failure.what()).rfind("Cannot open file \"" + missing + "\".", 0), 0u);
                throw;
            }
        },
        Error);
}

}  // namespace
}  // namespace tessaro
