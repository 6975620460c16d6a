#include <gtest/gtest.h>

#include <filesystem>

#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "project/ProjectState.h"
#include "signals/SignalDatabase.h"
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
    EXPECT_EQ(messageNamed(database(), "EEC1").pgn(), 61444u);
    EXPECT_EQ(messageNamed(database(), "ET1").pgn(), 65262u);
    EXPECT_EQ(messageNamed(database(), "RQST").pgn(), 59904u);  // sent to 0x21: the destination is not in the PGN
    EXPECT_EQ(messageNamed(database(), "PageOne").pgn(), 0x1FEF1u);
    EXPECT_EQ(messageNamed(database(), "Standard").pgn(), std::nullopt);
    EXPECT_EQ(database().messageOfPgn(59904), &messageNamed(database(), "RQST"));
    EXPECT_EQ(database().messageOfPgn(65265), nullptr);
}

TEST_F(SignalDatabaseConstructs, MultiplexedSignalsAreNotedAndLeftOut) {
    EXPECT_EQ(signalNames(messageNamed(database(), "Muxed")), (std::vector<std::string>{"Always"}));
    std::vector<std::string> notes;
    for (const DatabaseNote& note : database().leftOut) notes.push_back(noteText(note));
    EXPECT_EQ(notes, (std::vector<std::string>{"line 30: signal Page of Muxed is multiplexed (M): left out",
                                               "line 31: signal PageA of Muxed is multiplexed (m0): left out",
                                               "line 32: signal PageB of Muxed is multiplexed (m1): left out"}));
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
    {"SIG_VALTYPE_ 2364539904 S : 1;", nullptr},
    {"anything at all", nullptr},
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

TEST(SignalDatabasePgn, ThePgnOfAnIdentifier) {
    for (const PgnCase& c : kPgnCases) {
        SCOPED_TRACE(c.identifier);
        EXPECT_EQ(pgnOfIdentifier(c.identifier), c.pgn);
    }
}

TEST(SignalDatabasePgn, ThePgnOfAFrameOfTheFrameTable) {
    EXPECT_EQ(framePgn(0, 61444), 61444u);
    EXPECT_EQ(framePgn(1, 0xFEF1), 0x1FEF1u);
    EXPECT_EQ(framePgn(0, 0xEA21), 0xEA00u);   // a destination written into the PGN is not part of it
    EXPECT_EQ(framePgn(0, 0x1FEF1), 0xFEF1u);  // the image keeps the low 16 bits
    EXPECT_EQ(framePgn(3, 0xFEF1), 0x1FEF1u);  // and the low bit of the data page
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
