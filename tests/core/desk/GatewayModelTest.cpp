#include <gtest/gtest.h>

#include "DeskFakes.h"
#include "core/desk/GatewayModel.h"
#include "core/documents/Errors.h"

namespace tessaro {
namespace {

using desk::ByteFeed;
using testing::image;
using testing::imageDefinition;
using testing::imageFrame;

TEST(GatewayModel, IdentifierIsPriorityDataPagePgnAndTheDeviceIdAsSource) {
    struct Case {
        ImageFrame frame;
        std::uint8_t deviceId;
        std::uint32_t identifier;
    };
    const Case cases[] = {
        {imageFrame(61444, 1, false, 3), 0x80, 0x0CF00480},
        {imageFrame(65262, 1, false, 6), 0x00, 0x18FEEE00},
        {imageFrame(0xFEEE, 1, false, 6, 1), 0x0A, 0x19FEEE0A},
        // PDU1: the low byte of the stored PGN is the destination, and it stays in the identifier.
        {imageFrame(0xEF12, 1, false, 7), 0xF0, 0x1CEF12F0},
        {imageFrame(0, 1, false, 0), 0xFF, 0x000000FF},
    };
    for (const Case& c : cases) {
        const desk::GatewayModel model =
            desk::buildGatewayModel(image({c.frame}, {}, {100}, testing::generalParameters(c.deviceId, 100, 100)));
        ASSERT_EQ(model.frames.size(), 1u);
        EXPECT_EQ(model.frames[0].identifier, c.identifier) << c.frame.pgn;
        EXPECT_TRUE(model.notes.empty()) << model.notes.front();
    }
}

TEST(GatewayModel, PriorityAndDataPageOutsideTheirBitsAreCutWithANote) {
    const desk::GatewayModel model = desk::buildGatewayModel(image({imageFrame(65262, 1, false, 9, 3)}, {}, {100}));
    EXPECT_EQ(model.frames[0].identifier, 0x05FEEE80u);
    EXPECT_EQ(model.notes, (std::vector<std::string>{
                               "frame 1 (PGN 65262 (0xFEEE) on data page 1): priority 9 does not fit in 3 bits: its "
                               "identifier takes the low three, 1",
                               "frame 1 (PGN 65262 (0xFEEE) on data page 1): data page 3 is taken as 1"}));
}

TEST(GatewayModel, EachDefinitionIsOneRequestOfItsRegistersWithTheBytesItsHalvesFeed) {
    const desk::GatewayModel model = desk::buildGatewayModel(
        image({imageFrame(61444, 1), imageFrame(65262, 2)},
              {imageDefinition(1, 1, 0, {0x54}), imageDefinition(2, 7, 100, {0x01, 0x20, 0x9F}, 4),
               imageDefinition(1, 2, 5, {0x12, 0, 0, 0, 0, 0, 0, 0x78})},
              {100, 1000}));
    ASSERT_EQ(model.requests.size(), 3u);
    EXPECT_EQ(model.requests[0].request, (desk::ModbusRequest{1, RegisterKind::holding, 0, 1}));
    EXPECT_EQ(model.requests[1].request, (desk::ModbusRequest{7, RegisterKind::input, 100, 3}));
    EXPECT_EQ(model.requests[2].request.count, 8);
    EXPECT_EQ(model.requests[1].definition, 2u);

    const auto feeds = [](const desk::ModelRequest& request, std::size_t r) {
        std::vector<std::tuple<std::size_t, int, RegisterHalf>> found;
        for (const ByteFeed& feed : request.feeds[r]) found.emplace_back(feed.frame, feed.byte + 1, feed.half);
        return found;
    };
    using Feeds = std::vector<std::tuple<std::size_t, int, RegisterHalf>>;
    // 0x54: the high half into B5, the low into B4.
    EXPECT_EQ(feeds(model.requests[0], 0), (Feeds{{0, 5, RegisterHalf::high}, {0, 4, RegisterHalf::low}}));
    EXPECT_EQ(feeds(model.requests[1], 0), (Feeds{{1, 1, RegisterHalf::low}}));
    EXPECT_EQ(feeds(model.requests[1], 1), (Feeds{{1, 2, RegisterHalf::high}}));
    // A nibble above 8 names no frame byte.
    EXPECT_EQ(feeds(model.requests[1], 2), (Feeds{}));
    EXPECT_EQ(feeds(model.requests[2], 7), (Feeds{{0, 7, RegisterHalf::high}, {0, 8, RegisterHalf::low}}));
}

TEST(GatewayModel, WhatCannotBePolledOrSentIsLeftOutWithANote) {
    const desk::GatewayModel model = desk::buildGatewayModel(
        image({imageFrame(65262, 1), imageFrame(65263, 7), imageFrame(65265, 2), imageFrame(65266, 0)},
              {imageDefinition(1, 1, 0, {0x12}, 5), imageDefinition(1, 1, 65534, {0x12, 0x34, 0x56}),
               imageDefinition(9, 2, 0, {0x12})},
              {100, 0}));
    ASSERT_EQ(model.requests.size(), 2u);
    EXPECT_EQ(model.requests[0].request.count, 2);
    EXPECT_EQ(model.requests[1].request.slave, 2);
    EXPECT_TRUE(model.requests[1].feeds[0].empty());
    EXPECT_EQ(model.groups[0].frames, (std::vector<std::size_t>{0}));
    EXPECT_FALSE(model.groups[1].sends());
    EXPECT_EQ(model.onRequest, (std::vector<std::size_t>{3}));
    EXPECT_EQ(model.notes,
              (std::vector<std::string>{
                  "frame 2 (PGN 65263 (0xFEEF) EFL/P1) is in group 7, which the image does not hold: it is never sent",
                  "group 2 has the cyclic time 0: its frames are never sent",
                  "definition 1: Type_Reg 5 names no register kind (3 holding, 4 input): it is not polled",
                  "definition 2: its registers run past 65535: it is polled for the 2 up to 65535",
                  "definition 3 is of frame 9, which the image does not hold: it is polled and feeds nothing"}));
}

TEST(GatewayModel, WithoutGeneralParametersTheRunTakesThoseOfANewProject) {
    const desk::GatewayModel model = desk::buildGatewayModel(image({imageFrame(65262, 1)}, {}, {100}, std::nullopt));
    EXPECT_EQ(model.settings.sourceAddress, 10);
    EXPECT_EQ(model.settings.timeoutMs, 1000);
    EXPECT_EQ(model.settings.cyclicDelayMs, 100);
    EXPECT_FALSE(model.settings.fromImage);
    EXPECT_EQ(model.frames[0].identifier, 0x18FEEE0Au);
    EXPECT_EQ(desk::serialLine(model.settings).baudRate, 9600);
    ASSERT_EQ(model.notes.size(), 1u);
    EXPECT_EQ(model.notes[0].rfind("the image has no general parameters", 0), 0u);
}

TEST(GatewayModel, AnAnswerFeedsItsHalvesAndAFailureErasesOnlyWhereErasing) {
    const desk::GatewayModel model = desk::buildGatewayModel(
        image({imageFrame(65262, 1, true), imageFrame(65263, 1, false)},
              {imageDefinition(1, 1, 0, {0x12, 0x03}), imageDefinition(2, 1, 0, {0x80})}, {100}));
    std::vector<desk::FrameBytes> bytes = desk::initialBytes(model);
    EXPECT_EQ(bytes[0], (desk::FrameBytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    desk::applyReply(model, model.requests[0], desk::ModbusReply::answer({0xABCD, 0x1234}), bytes);
    desk::applyReply(model, model.requests[1], desk::ModbusReply::answer({0x5566}), bytes);
    EXPECT_EQ(bytes[0], (desk::FrameBytes{0xAB, 0xCD, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bytes[1], (desk::FrameBytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x55}));
    for (const desk::ModbusReply& failure :
         {desk::ModbusReply::timeOut(), desk::ModbusReply::exception(2), desk::ModbusReply::failed("gone")}) {
        std::vector<desk::FrameBytes> after = bytes;
        desk::applyReply(model, model.requests[0], failure, after);
        desk::applyReply(model, model.requests[1], failure, after);
        EXPECT_EQ(after[0], (desk::FrameBytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
        EXPECT_EQ(after[1], bytes[1]);
    }
}

TEST(GatewayModel, SerialLineFromTheImagesPositions) {
    struct Case {
        std::uint8_t baud, parity, stop, interface;
        int baudRate;
        char parityLetter;
        int stopBits;
        bool rs485;
        std::size_t notes;
    };
    const Case cases[] = {{0, 0, 0, 0, 1200, 'N', 1, true, 0},
                          {3, 1, 2, 0, 9600, 'O', 2, true, 0},
                          {7, 2, 0, 1, 115200, 'E', 1, false, 0},
                          {4, 2, 1, 0, 19200, 'E', 2, true, 1}};
    for (const Case& c : cases) {
        desk::GatewaySettings settings;
        settings.rtuBaudRate = c.baud;
        settings.parity = c.parity;
        settings.stopBits = c.stop;
        settings.serialInterface = c.interface;
        const desk::SerialLine line = desk::serialLine(settings);
        EXPECT_EQ(line.baudRate, c.baudRate);
        EXPECT_EQ(line.parity, c.parityLetter);
        EXPECT_EQ(line.stopBits, c.stopBits);
        EXPECT_EQ(line.rs485, c.rs485);
        EXPECT_EQ(line.notes.size(), c.notes);
    }
}

TEST(GatewayModel, SerialPositionsOutsideTheirListsAreRefusedByName) {
    const auto failureOf = [](std::uint8_t baud, std::uint8_t parity, std::uint8_t stop, std::uint8_t interface) {
        desk::GatewaySettings settings{0, 100, 100, interface, baud, parity, stop, true};
        try {
            desk::serialLine(settings);
        } catch (const Error& failure) {
            return std::string(failure.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(failureOf(8, 0, 0, 0), "the image's Modbus baud rate is position 8, which is not in the list (0 to 7)");
    EXPECT_EQ(failureOf(0, 3, 0, 0),
              "the image's parity is position 3, which is not in the list (0 NONE, 1 ODD, 2 EVEN)");
    EXPECT_EQ(failureOf(0, 0, 3, 0), "the image's stop bits are position 3, which is not in the list (0 to 2)");
    EXPECT_EQ(failureOf(0, 0, 0, 2), "the image's Modbus interface is 2, neither 0 (RS485) nor 1 (RS232)");
}

TEST(DeskRequest, RequestNamesItsPgnForTheGatewayOrForAll) {
    const auto requestFrame = [](std::uint32_t identifier, std::uint8_t length, std::uint32_t pgn) {
        desk::CanFrame frame;
        frame.identifier = identifier;
        frame.length = length;
        frame.data = {std::uint8_t(pgn), std::uint8_t(pgn >> 8), std::uint8_t(pgn >> 16), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        return frame;
    };
    EXPECT_EQ(desk::requestedPgn(requestFrame(0x18EA8021, 3, 65266), 0x80), 65266u);
    EXPECT_EQ(desk::requestedPgn(requestFrame(0x18EAFF21, 8, 0x1FEEE), 0x80), 0x1FEEEu);
    EXPECT_EQ(desk::requestedPgn(requestFrame(0x18EA8121, 3, 65266), 0x80), std::nullopt);
    EXPECT_EQ(desk::requestedPgn(requestFrame(0x18EB8021, 3, 65266), 0x80), std::nullopt);
    EXPECT_EQ(desk::requestedPgn(requestFrame(0x18EA8021, 2, 65266), 0x80), std::nullopt);
    desk::CanFrame standard = requestFrame(0x7EA, 3, 65266);
    standard.extended = false;
    EXPECT_EQ(desk::requestedPgn(standard, 0x80), std::nullopt);
}

}  // namespace
}  // namespace tessaro
