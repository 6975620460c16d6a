#include <gtest/gtest.h>

#include <algorithm>

#include "core/j1939/RegisterKind.h"
#include "core/map/MapFormats.h"
#include "core/map/SignalAnalysis.h"

namespace tessaro {
namespace {

// EEC1 (PGN 61444) with the signals of the cases: byte by byte little-endian and big-endian ones, one of 32 bits,
// two sharing a byte.
constexpr const char* kDatabase =
    "BO_ 2364539904 EEC1: 8 Engine\n"
    " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" Cab\n"
    " SG_ Pressure : 7|16@0+ (0.5,0) [0|32767.5] \"kPa\" Cab\n"
    " SG_ Distance : 32|32@1+ (5,0) [0|21055406000] \"m\" Cab\n"
    " SG_ Low : 16|4@1+ (1,0) [0|15] \"\" Cab\n"
    " SG_ High : 20|4@1+ (1,0) [0|15] \"\" Cab\n";

constexpr std::uint8_t kHolding = typeRegOf(RegisterKind::holding);
constexpr std::uint8_t kInput = typeRegOf(RegisterKind::input);

// The halves of the cases come from row 7 of the definitions.
RegisterHalfSource source(std::int32_t registerNumber, RegisterHalf half, std::uint8_t slave = 1,
                          std::uint8_t typeReg = kHolding) {
    return {registerNumber, 7, slave, typeReg, 1, half};
}

const RegisterHalfSource kR0High = source(0, RegisterHalf::high);
const RegisterHalfSource kR0Low = source(0, RegisterHalf::low);

using FrameByteSources = std::array<std::vector<RegisterHalfSource>, 8>;

FrameMap frameOf(int number, std::uint16_t pgn, const FrameByteSources& sources) {
    FrameMap frame;
    frame.frame = number;
    frame.pgn = pgn;
    for (std::size_t b = 0; b < 8; ++b) frame.bytes[b] = {int(b + 1), sources[b]};
    return frame;
}

FrameSignals analyse(const FrameByteSources& sources, std::uint16_t pgn = 61444) {
    static const SignalDatabase database = readSignalDatabase(kDatabase);
    return analyseFrameSignals(database, frameOf(3, pgn, sources));
}

std::vector<std::string> findingTexts(const FrameSignals& signals) {
    std::vector<std::string> texts;
    for (const SignalFinding& finding : signals.findings) texts.push_back(finding.message);
    return texts;
}

const SignalFinding* findingOf(const FrameSignals& signals, std::string_view signal) {
    for (const SignalFinding& finding : signals.findings)
        if (finding.signal == signal) return &finding;
    return nullptr;
}

const constexpr auto H = RegisterHalf::high;
const constexpr auto L = RegisterHalf::low;

TEST(SignalAnalysis, NamesTheSignalsAtEachByte) {
    const FrameSignals signals = analyse({});
    EXPECT_EQ(signals.message, "EEC1");
    const std::array<std::vector<std::string>, 8> expected = {{{"Pressure"},
                                                               {"Pressure"},
                                                               {"Low", "High"},
                                                               {"EngineSpeed"},
                                                               {"EngineSpeed", "Distance"},
                                                               {"Distance"},
                                                               {"Distance"},
                                                               {"Distance"}}};
    EXPECT_EQ(signals.signalsAtByte, expected);
    EXPECT_TRUE(signals.covered.empty());
    EXPECT_TRUE(signals.findings.empty());
}

TEST(SignalAnalysis, ALittleEndianSignalFedLowByteFirstIsCoveredWithItsEncoding) {
    FrameByteSources sources;
    sources[3] = {kR0Low};   // B4, the low byte of engine speed
    sources[4] = {kR0High};  // B5
    const FrameSignals signals = analyse(sources);
    ASSERT_EQ(signals.covered.size(), 1u);
    const CoveredSignal& speed = signals.covered[0];
    EXPECT_EQ(speed.name, "EngineSpeed");
    EXPECT_EQ(speed.bytes, (std::vector<unsigned>{5, 4}));
    EXPECT_EQ(speed.registers, (std::vector<SignalRegister>{{1, kHolding, 0}}));
    EXPECT_EQ(speed.factor, 0.125);
    EXPECT_EQ(speed.unit, "rpm");
    EXPECT_EQ(speed.encoding,
              "raw = physical / 0.125, 16 bits unsigned, physical in rpm; holding 0 = raw in bits 0–15; example: 2000 "
              "rpm → raw 16000 → holding 0 = 0x3E80");
    // B5 is also Distance's lowest byte, which is only partly fed.
    EXPECT_EQ(findingTexts(signals),
              (std::vector<std::string>{"frame 3 (EEC1): signal Distance covers B5 to B8, but only B5 is fed"}));
}

// One line per case: the halves that feed the signal's bytes in frame order, and the finding (none when fine).
struct ShapeCase {
    const char* signal;
    unsigned firstByte;  // 1-based
    std::vector<RegisterHalfSource> halves;
    std::optional<SignalFindingKind> finding;
};

const ShapeCase kShapeCases[] = {
    // Engine speed, little-endian at B4 and B5.
    {"EngineSpeed", 4, {source(0, L), source(0, H)}, std::nullopt},
    {"EngineSpeed", 4, {source(0, H), source(0, L)}, SignalFindingKind::swapped},
    {"EngineSpeed", 4, {source(0, L), source(1, H)}, SignalFindingKind::notOneValue},
    {"EngineSpeed", 4, {source(0, L), source(0, H, 2)}, SignalFindingKind::notOneValue},
    {"EngineSpeed", 4, {source(0, L), source(0, H, 1, kInput)}, SignalFindingKind::notOneValue},
    {"EngineSpeed", 4, {source(0, L), source(1, L)}, SignalFindingKind::notOneValue},
    // Across two registers in the order Modbus carries them: one value.
    {"EngineSpeed", 4, {source(1, H), source(0, L)}, std::nullopt},
    // Pressure, big-endian at B1 and B2.
    {"Pressure", 1, {source(7, H), source(7, L)}, std::nullopt},
    {"Pressure", 1, {source(7, L), source(7, H)}, SignalFindingKind::swapped},
    // Distance, 32 bits little-endian at B5 to B8, from two registers.
    {"Distance", 5, {source(11, L), source(11, H), source(10, L), source(10, H)}, std::nullopt},
    {"Distance", 5, {source(10, L), source(10, H), source(11, L), source(11, H)}, std::nullopt},  // low word first
    {"Distance", 5, {source(11, H), source(11, L), source(10, H), source(10, L)}, SignalFindingKind::swapped},
    {"Distance", 5, {source(10, H), source(10, L), source(11, H), source(11, L)}, SignalFindingKind::swapped},
    {"Distance", 5, {source(11, L), source(10, H), source(10, L), source(11, H)}, SignalFindingKind::notOneValue},
    {"Distance", 5, {source(12, L), source(12, H), source(10, L), source(10, H)}, SignalFindingKind::notOneValue},
};

TEST(SignalAnalysis, TheHalvesOfASignalFormOneValueOrAreSwappedOrDoNot) {
    for (const ShapeCase& c : kShapeCases) {
        std::string trace = c.signal;
        for (const RegisterHalfSource& half : c.halves) trace += ", " + sourceText(half);
        SCOPED_TRACE(trace);
        FrameByteSources sources;
        for (std::size_t k = 0; k < c.halves.size(); ++k) sources[c.firstByte - 1 + k] = {c.halves[k]};
        const FrameSignals signals = analyse(sources);
        const SignalFinding* finding = findingOf(signals, c.signal);
        if (!c.finding) {
            EXPECT_EQ(finding, nullptr) << finding->message;
        } else {
            ASSERT_NE(finding, nullptr);
            EXPECT_EQ(finding->kind, *c.finding);
            EXPECT_EQ(finding->byte, c.firstByte);
        }
        const bool covered = std::any_of(signals.covered.begin(), signals.covered.end(),
                                         [&](const CoveredSignal& signal) { return signal.name == c.signal; });
        EXPECT_TRUE(covered);
    }
}

TEST(SignalAnalysis, TheFindingsSayWhatIsWrongAndNameTheirSignal) {
    FrameByteSources sources;
    sources[0] = {source(7, L)};
    sources[1] = {source(7, H)};
    sources[3] = {source(0, H)};
    sources[4] = {source(0, L, 2)};
    sources[5] = {source(9, L)};
    const FrameSignals signals = analyse(sources);
    EXPECT_EQ(findingTexts(signals),
              (std::vector<std::string>{
                  "frame 3 (EEC1): signal Pressure is swapped: its registers give B1 and B2 in the opposite "
                  "of its big-endian byte order (B1 = slave 1 holding 7 low, B2 = slave 1 holding 7 high)",
                  "frame 3 (EEC1): signal EngineSpeed is fed from halves that do not form one value (B4 = "
                  "slave 1 holding 0 high, B5 = slave 2 holding 0 low)",
                  "frame 3 (EEC1): signal Distance covers B5 to B8, but only B5 and B6 are fed",
              }));
    EXPECT_EQ(signals.findings[0].signal, "Pressure");
    EXPECT_EQ(signals.findings[1].signal, "EngineSpeed");
    EXPECT_EQ(signals.findings[2].kind, SignalFindingKind::partlyFed);
    EXPECT_EQ(signals.findings[2].byte, 5u);
    EXPECT_EQ(signals.findings[2].definitionRow, 7u);
}

TEST(SignalAnalysis, AFedByteThatNoSignalCoversIsAFinding) {
    const SignalDatabase database = readSignalDatabase(
        "BO_ 2566843904 ET1: 8 Engine\n"
        " SG_ EngineCoolantTemperature : 0|8@1+ (1,-40) [-40|210] \"degC\" Cab\n");
    FrameByteSources sources;
    sources[0] = {source(10, L)};
    sources[1] = {source(11, L)};
    sources[7] = {source(11, H)};
    const FrameSignals signals = analyseFrameSignals(database, frameOf(2, 65262, sources));
    EXPECT_EQ(findingTexts(signals),
              (std::vector<std::string>{"frame 2 (ET1): B2 is fed, but no signal of ET1 covers it",
                                        "frame 2 (ET1): B8 is fed, but no signal of ET1 covers it"}));
    EXPECT_EQ(signals.findings[0].kind, SignalFindingKind::uncoveredByte);
    EXPECT_EQ(signals.findings[0].signal, "");
    EXPECT_EQ(signals.findings[1].byte, 8u);
    ASSERT_EQ(signals.covered.size(), 1u);
    EXPECT_EQ(
        signals.covered[0].encoding,
        "raw = physical + 40, 8 bits unsigned, physical in degC; holding 10 = raw in bits 0–7; example: 20 degC → "
        "raw 60 → holding 10 = 0x003C");
    EXPECT_EQ(signals.covered[0].registers, (std::vector<SignalRegister>{{1, kHolding, 10}}));
}

TEST(SignalAnalysis, AFrameWhosePgnIsNotInTheDatabaseHasNoSignalsAndNoFindings) {
    FrameByteSources sources;
    sources[0] = {kR0High};
    const FrameSignals signals = analyse(sources, 65263);
    EXPECT_FALSE(signals.inDatabase());
    EXPECT_EQ(signals.signalsAtByte, (std::array<std::vector<std::string>, 8>{}));
    EXPECT_TRUE(signals.findings.empty());
}

TEST(SignalAnalysis, ABitSignalIsCoveredByItsByteAndABytesTwoSourcesGiveNoShape) {
    FrameByteSources sources;
    sources[2] = {source(4, L)};  // B3: Low and High
    sources[3] = {source(0, L), source(5, L)};
    sources[4] = {source(0, H)};
    const FrameSignals signals = analyse(sources);
    std::vector<std::string> covered;
    for (const CoveredSignal& signal : signals.covered) covered.push_back(signal.name);
    EXPECT_EQ(covered, (std::vector<std::string>{"EngineSpeed", "Low", "High"}));
    EXPECT_EQ(signals.covered[0].registers, (std::vector<SignalRegister>{{1, kHolding, 0}, {1, kHolding, 5}}));
    EXPECT_EQ(findingOf(signals, "EngineSpeed"), nullptr);
}

struct EncodingCase {
    double factor;
    double offset;
    unsigned length;
    bool isSigned;
    const char* unit;
    const char* encoding;
};

const EncodingCase kEncodingCases[] = {
    {0.125, 0, 16, false, "rpm", "raw = physical / 0.125, 16 bits unsigned, physical in rpm"},
    {1, -40, 8, false, "degC", "raw = physical + 40, 8 bits unsigned, physical in degC"},
    {1.0 / 256, 0, 16, false, "km/h", "raw = physical / 0.00390625, 16 bits unsigned, physical in km/h"},
    {0.5, -125, 8, true, "%", "raw = (physical + 125) / 0.5, 8 bits signed, physical in %"},
    {2, 10, 12, false, "", "raw = (physical - 10) / 2, 12 bits unsigned"},
    {1, 0, 1, false, "", "raw = physical, 1 bit unsigned"},
};

TEST(SignalAnalysis, TheEncodingOfTheModbusSide) {
    for (const EncodingCase& c : kEncodingCases) {
        SignalDefinition signal;
        signal.factor = c.factor;
        signal.offset = c.offset;
        signal.length = c.length;
        signal.isSigned = c.isSigned;
        signal.unit = c.unit;
        EXPECT_EQ(encodingText(signal), c.encoding);
    }
}

}  // namespace
}  // namespace tessaro

namespace tessaro {
namespace {

// One signal of EEC1 per case, its bytes fed as given: the register arithmetic and the worked example the map gives.
struct ArithmeticCase {
    const char* signal;                                          // the SG_ line's text after the name
    std::vector<std::pair<unsigned, RegisterHalfSource>> feeds;  // 1-based byte, half
    const char* arithmetic;
    const char* example;
};

const RegisterHalfSource kHigh5 = source(5, RegisterHalf::high), kLow5 = source(5, RegisterHalf::low);
const RegisterHalfSource kHigh6 = source(6, RegisterHalf::high), kLow6 = source(6, RegisterHalf::low);

const ArithmeticCase kArithmeticCases[] = {
    // A byte across B3 and B4, the two in one register.
    {"20|8@1+ (1,0) [0|255] \"\"",
     {{3, kLow5}, {4, kHigh5}},
     "holding 5 = raw << 4 in bits 4–11",
     "60 → raw 60 → holding 5 = 0x03C0"},
    // Two nibbles of B1: the low one, then the high one.
    {"0|4@1+ (1,0) [0|15] \"\"", {{1, kLow5}}, "holding 5 = raw in bits 0–3", "4 → raw 4 → holding 5 = 0x0004"},
    {"4|4@1+ (1,0) [0|15] \"\"", {{1, kLow5}}, "holding 5 = raw << 4 in bits 4–7", "4 → raw 4 → holding 5 = 0x0040"},
    {"4|4@1+ (1,0) [0|15] \"\"",
     {{1, kHigh5}},
     "holding 5 = raw << 12 in bits 12–15",
     "4 → raw 4 → holding 5 = 0x4000"},
    // The same byte across B3 and B4 from the halves the wrong way round.
    {"20|8@1+ (1,0) [0|255] \"\"",
     {{3, kHigh5}, {4, kLow5}},
     "holding 5 = raw >> 4 | (raw & 0xF) << 12 in bits 0–3 and 12–15",
     "60 → raw 60 → holding 5 = 0xC003"},
    // Swapped whole bytes.
    {"24|16@1+ (0.125,0) [0|8031.875] \"rpm\"",
     {{4, kHigh5}, {5, kLow5}},
     "holding 5 = raw >> 8 | (raw & 0xFF) << 8 in bits 0–15",
     "2000 rpm → raw 16000 → holding 5 = 0x803E"},
    // 32 bits little-endian over two registers, the high word in the first.
    {"32|32@1+ (5,0) [0|21055406000] \"m\"",
     {{5, kLow6}, {6, kHigh6}, {7, kLow5}, {8, kHigh5}},
     "holding 5 = raw >> 16 in bits 0–15, holding 6 = raw & 0xFFFF in bits 0–15",
     "5000000000 m → raw 1000000000 → holding 5 = 0x3B9A, holding 6 = 0xCA00"},
    // Big-endian over three bytes, not at a byte edge: B1 bits 0–3, B2, B3 bits 4–7; holding 6 takes twelve bits.
    {"3|16@0+ (1,0) [0|65535] \"\"",
     {{1, kLow5}, {2, kHigh6}, {3, kLow6}},
     "holding 5 = raw >> 12 in bits 0–3, holding 6 = (raw & 0xFFF) << 4 in bits 4–15",
     "20000 → raw 20000 → holding 5 = 0x0004, holding 6 = 0xE200"},
    // Signed: a negative raw value in its two's complement.
    {"16|12@1- (1,0) [-2048|0] \"\"",
     {{3, kLow5}, {4, kHigh5}},
     "holding 5 = raw in bits 0–11",
     "-1500 → raw -1500 (0xA24) → holding 5 = 0x0A24"},
    // One bit: never the example of raw 0 when there is another.
    {"23|1@1+ (1,0) [0|1] \"\"", {{3, kLow5}}, "holding 5 = raw << 7 in bits 7", "1 → raw 1 → holding 5 = 0x0080"},
};

TEST(SignalArithmetic, EachRegisterHoldsTheRawValueShiftedAndMaskedAsItsHalvesFeedTheBytes) {
    for (const ArithmeticCase& c : kArithmeticCases) {
        SCOPED_TRACE(std::string(c.signal) + " " + c.arithmetic);
        const SignalDatabase database =
            readSignalDatabase(std::string("BO_ 2364539904 EEC1: 8 Engine\n SG_ S : ") + c.signal + " Cab\n");
        ASSERT_TRUE(database.malformed.empty()) << noteText(database.malformed.front());
        FrameByteSources sources;
        for (const auto& [byte, half] : c.feeds) sources[byte - 1] = {half};
        const FrameSignals signals = analyseFrameSignals(database, frameOf(1, 61444, sources));
        ASSERT_EQ(signals.covered.size(), 1u);
        EXPECT_EQ(registerArithmeticText(signals.covered[0]), c.arithmetic);
        EXPECT_EQ(exampleText(signals.covered[0]), c.example);
    }
}

TEST(SignalArithmetic, FloatsAreIeeeWordsAndTheirExampleShowsTheBits) {
    const SignalDatabase database = readSignalDatabase(
        "BO_ 2364539904 EEC1: 8 Engine\n"
        " SG_ Single : 32|32@1- (0.1,0) [0|100] \"V\" Cab\n"
        " SG_ Double : 7|64@0- (1,0) [0|0] \"\" Cab\n"
        "SIG_VALTYPE_ 2364539904 Single : 1;\n"
        "SIG_VALTYPE_ 2364539904 Double : 2;\n");
    FrameByteSources sources;
    for (unsigned byte = 0; byte < 8; ++byte)
        sources[byte] = {source(std::int32_t(byte / 2), byte % 2 == 0 ? RegisterHalf::high : RegisterHalf::low)};
    const FrameSignals signals = analyseFrameSignals(database, frameOf(1, 61444, sources));
    ASSERT_EQ(signals.covered.size(), 2u);
    const CoveredSignal& single = signals.covered[0];
    EXPECT_EQ(single.valueType, ValueType::ieeeSingle);
    // Little-endian from registers that carry their high byte first: each register's two bytes exchanged.
    EXPECT_EQ(single.encoding,
              "raw = physical / 0.1, IEEE single (32 bits), physical in V; holding 3 = raw >> 24 | (raw >> 8) & 0xFF00 "
              "in bits 0–15, holding 2 = (raw >> 8) & 0xFF | (raw & 0xFF) << 8 in bits 0–15; example: 30 V → raw 300 "
              "(0x43960000) → holding 3 = 0x9643, holding 2 = 0x0000");
    const CoveredSignal& whole = signals.covered[1];
    EXPECT_EQ(whole.encoding,
              "raw = physical, IEEE double (64 bits); holding 0 = raw >> 48 in bits 0–15, holding 1 = (raw >> 32) & "
              "0xFFFF in bits 0–15, holding 2 = (raw >> 16) & 0xFFFF in bits 0–15, holding 3 = raw & 0xFFFF in bits "
              "0–15; example: 100 → raw 100 (0x4059000000000000) → holding 0 = 0x4059, holding 1 = 0x0000, holding 2 = "
              "0x0000, holding 3 = 0x0000");
}

TEST(SignalTips, TheDefineTipsNameTheBitsOfSignalsThatShareAByteAndTheirMultiplexer) {
    const SignalDatabase database = readSignalDatabase(
        "BO_ 2566852611 Muxed: 8 Engine\n"
        " SG_ Page M : 0|4@1+ (1,0) [0|15] \"\" Gateway\n"
        " SG_ Flags : 4|4@1+ (1,0) [0|15] \"\" Gateway\n"
        " SG_ PageA m0 : 8|16@1+ (1,0) [0|65535] \"\" Gateway\n"
        " SG_ PageB m1 : 8|8@1+ (1,0) [0|255] \"\" Gateway\n");
    const std::array<std::string, kFrameBytes> tips = byteSignalTips(database, framePgn(0, 0xFF10));
    EXPECT_EQ(tips[0], "Muxed B1: Page bits 0–3, Flags bits 4–7");
    EXPECT_EQ(tips[1], "Muxed B2: PageA when Page = 0, PageB when Page = 1");
    EXPECT_EQ(tips[2], "Muxed B3: PageA when Page = 0");
    EXPECT_EQ(tips[3], "Muxed B4: no signal");
}

TEST(SignalTips, TheMapsByteTipGivesEachSignalsPlaceAndItsEncodingWhenFedWhole) {
    const SignalDatabase database = readSignalDatabase(
        "BO_ 2364539904 EEC1: 8 Engine\n"
        " SG_ Mode : 0|4@1+ (1,0) [0|15] \"\" Cab\n"
        " SG_ Speed : 4|12@1+ (1,0) [0|4095] \"rpm\" Cab\n"
        "BA_ \"SPN\" SG_ 2364539904 Mode 1675;\n"
        "VAL_ 2364539904 Mode 0 \"off\" 1 \"on\" ;\n");
    FrameByteSources sources;
    sources[0] = {kLow5};
    const FrameSignals signals = analyseFrameSignals(database, frameOf(1, 61444, sources));
    EXPECT_EQ(byteSignalsTip(signals, 1),
              "Mode (SPN 1675), B1 bits 0–3 (start bit 0, 4 bits little-endian), from slave 1 holding 5: raw = "
              "physical, 4 bits unsigned; holding 5 = raw in bits 0–3; example: 4 → raw 4 → holding 5 = 0x0004; "
              "values: 0 off, 1 on\n"
              "Speed, B1 bits 4–7 and B2 bits 0–7 (start bit 4, 12 bits little-endian): not fed whole");
    EXPECT_EQ(byteSignalsTip(signals, 3), "");
}

}  // namespace
}  // namespace tessaro
