#include <gtest/gtest.h>

#include <sstream>

#include "DeskFakes.h"
#include "core/desk/FrameLog.h"
#include "core/desk/SignalValues.h"
#include "core/documents/Errors.h"
#include "core/signals/SignalDatabase.h"

namespace tessaro {
namespace {

using testing::image;
using testing::imageFrame;

desk::CanFrame frameOf(std::uint32_t identifier, desk::FrameBytes data) {
    return desk::CanFrame{identifier, true, 8, data};
}

TEST(FrameLog, CandumpLineIsWhatCandumpWritesToItsLog) {
    EXPECT_EQ(desk::candumpLine(1'436'509'052'249'713, "vcan0",
                                frameOf(0x0CF00480, {0xFF, 0x22, 0x11, 0xE0, 0x2E, 0xFF, 0xFF, 0xFF})),
              "(1436509052.249713) vcan0 0CF00480#FF2211E02EFFFFFF");
    EXPECT_EQ(desk::candumpLine(5, "can0", frameOf(0x00EA00FF, {})),
              "(0000000000.000005) can0 00EA00FF#0000000000000000");
    desk::CanFrame standard{0x123, false, 2, {0xAB, 0xCD}};
    EXPECT_EQ(desk::candumpLine(1'000'000, "can1", standard), "(0000000001.000000) can1 123#ABCD");
}

const char* const kDatabase =
    "BO_ 2364539904 EEC1: 8 Engine\n"
    " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8191.875] \"rpm\" Gateway\n"
    " SG_ Torque : 16|8@1+ (1,-125) [-125|125] \"%\" Gateway\n";

TEST(FrameLog, JsonLineNamesTheFrameAndWithADatabaseItsSignalValues) {
    const desk::GatewayModel model = desk::buildGatewayModel(image({imageFrame(61444, 1, false, 3)}, {}, {100}));
    const desk::SentFrame sent{0, frameOf(0x0CF00480, {0xFF, 0xFF, 0x7D, 0xE0, 0x2E, 0xFF, 0xFF, 0xFF}),
                               std::chrono::milliseconds(100), 1'700'000'000'100'000, false};
    EXPECT_EQ(desk::frameJsonLine(sent, model.frames[0], "can0", nullptr),
              "{\"time\":\"1700000000.100000\",\"interface\":\"can0\",\"identifier\":\"0CF00480\",\"frame\":1,"
              "\"pgn\":61444,\"pgnHex\":\"0xF004\",\"acronym\":\"EEC1\",\"priority\":3,\"dataPage\":0,\"source\":128,"
              "\"group\":1,\"request\":false,\"data\":\"FFFF7DE02EFFFFFF\"}");
    const SignalDatabase database = readSignalDatabase(kDatabase);
    const std::vector<desk::SignalValue> values = desk::decodeSignals(sent.can.data, database.messages[0]);
    const std::string line = desk::frameJsonLine(sent, model.frames[0], "can0", &values);
    EXPECT_NE(line.find(",\"signals\":[{\"name\":\"EngineSpeed\",\"value\":1500.0,\"unit\":\"rpm\"},"
                        "{\"name\":\"Torque\",\"value\":0.0,\"unit\":\"%\"}]}"),
              std::string::npos)
        << line;
}

TEST(FrameLog, WriterPutsOneLineAFrameAndSignalLinesBesideTheLog) {
    const desk::GatewayModel model =
        desk::buildGatewayModel(image({imageFrame(61444, 1, false, 3), imageFrame(65280, 1)}, {}, {100}));
    const SignalDatabase database = readSignalDatabase(kDatabase);
    std::ostringstream log, signalLines;
    desk::FrameLogWriter writer(log, "the log", desk::LogFormat::candump, model);
    desk::SignalLinesWriter signalWriter(signalLines, "standard output", model, database);
    desk::FanOut both({&writer, &signalWriter});
    both.send({0, frameOf(0x0CF00480, {0xFF, 0xFF, 0xFF, 0xE0, 0x2E, 0xFF, 0xFF, 0xFF}), {}, 2'000'000, false});
    both.send({1, frameOf(0x18FF0080, {}), {}, 2'000'000, false});
    writer.finish();
    EXPECT_EQ(
        log.str(),
        "(0000000002.000000) can0 0CF00480#FFFFFFE02EFFFFFF\n(0000000002.000000) can0 18FF0080#0000000000000000\n");
    EXPECT_EQ(signalLines.str(), "(0000000002.000000) EEC1: EngineSpeed = 1500 rpm; Torque = not available\n");
}

TEST(FrameLog, AStreamThatFailsNamesTheOutput) {
    const desk::GatewayModel model = desk::buildGatewayModel(image({imageFrame(61444, 1)}, {}, {100}));
    std::ostringstream broken;
    broken.setstate(std::ios::badbit);
    desk::FrameLogWriter writer(broken, "run.log", desk::LogFormat::candump, model);
    try {
        writer.send({0, frameOf(0x0CF00480, {}), {}, 0, false});
        FAIL() << "no failure";
    } catch (const Error& failure) {
        EXPECT_EQ(std::string(failure.what()).rfind("cannot write run.log", 0), 0u) << failure.what();
    }
}

TEST(SignalValues, BothByteOrdersSignsFactorsAndNotAvailable) {
    struct Case {
        const char* signal;
        desk::FrameBytes bytes;
        std::string text;
    };
    const Case cases[] = {
        // Intel, 16 bits from bit 24: B4 low, B5 high.
        {"SG_ S : 24|16@1+ (0.125,0) [0|0] \"rpm\" X", {0, 0, 0, 0xE0, 0x2E, 0, 0, 0}, "1500 rpm"},
        {"SG_ S : 24|16@1+ (0.125,0) [0|0] \"rpm\" X", {0, 0, 0, 0xFF, 0xFF, 0, 0, 0}, "not available"},
        // Intel, 4 bits in the middle of a byte.
        {"SG_ S : 10|4@1+ (1,0) [0|0] \"\" X", {0, 0b00110100, 0, 0, 0, 0, 0, 0}, "13"},
        // Intel signed.
        {"SG_ S : 0|8@1- (0.5,0) [0|0] \"V\" X", {0xFE, 0, 0, 0, 0, 0, 0, 0}, "-1 V"},
        {"SG_ S : 0|8@1+ (1,-40) [0|0] \"degC\" X", {130, 0, 0, 0, 0, 0, 0, 0}, "90 degC"},
        // Motorola, 16 bits from the most significant bit 7 of B1: B1 high, B2 low.
        {"SG_ S : 7|16@0+ (1,0) [0|0] \"\" X", {0x12, 0x34, 0, 0, 0, 0, 0, 0}, "4660"},
        // Motorola, 12 bits from bit 3 of B1: its low nibble, then B2.
        {"SG_ S : 3|12@0+ (1,0) [0|0] \"\" X", {0xA5, 0x67, 0, 0, 0, 0, 0, 0}, "1383"},
        // Motorola signed, 10 bits from bit 5 of B3 into B4.
        {"SG_ S : 21|10@0- (1,0) [0|0] \"\" X", {0, 0, 0b00100000, 0b00000000, 0, 0, 0, 0}, "-512"},
        {"SG_ S : 0|64@1+ (1,0) [0|0] \"\" X", {1, 0, 0, 0, 0, 0, 0, 0}, "1"},
    };
    for (const Case& c : cases) {
        const SignalDatabase database = readSignalDatabase(std::string("BO_ 2364539904 M: 8 X\n ") + c.signal + "\n");
        ASSERT_EQ(database.messages.size(), 1u) << c.signal;
        ASSERT_EQ(database.messages[0].signalDefinitions.size(), 1u) << c.signal;
        const std::optional<desk::SignalValue> value =
            desk::decodeSignal(c.bytes, database.messages[0].signalDefinitions[0]);
        ASSERT_TRUE(value) << c.signal;
        EXPECT_EQ(desk::signalValueText(*value), c.text) << c.signal;
    }
}

TEST(SignalValues, SignalsPastTheEighthByteAreLeftOut) {
    const SignalDatabase database = readSignalDatabase(
        "BO_ 2364539904 M: 16 X\n SG_ Far : 64|8@1+ (1,0) [0|0] \"\" X\n SG_ Near : 0|8@1+ (1,0) [0|0] \"\" X\n");
    const std::vector<desk::SignalValue> values = desk::decodeSignals({7}, database.messages[0]);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "Near");
    EXPECT_EQ(values[0].value, 7);
}

}  // namespace
}  // namespace tessaro
