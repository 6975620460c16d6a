#include <gtest/gtest.h>

#include "DeskFakes.h"
#include "core/desk/DeskReport.h"
#include "core/desk/DeskRun.h"
#include "core/desk/GatewayModel.h"
#include "core/desk/SimulatedClock.h"
#include "core/documents/Errors.h"

namespace tessaro {
namespace {

using desk::DeskTime;
using desk::FrameBytes;
using desk::ModbusReply;
using desk::ModbusRequest;
using std::chrono::milliseconds;
using testing::image;
using testing::imageDefinition;
using testing::imageFrame;
using testing::times;

constexpr std::int64_t kWallStart = 1'700'000'000'000'000;

// A run of a model on the simulated clock, with what it sent and asked.
struct SimulatedRun {
    SimulatedRun(const DecodedImage& decoded, DeskTime latency, testing::ScriptedMaster::Respond respond,
                 desk::RunLimits limits, bool listens = false)
        : model(desk::buildGatewayModel(decoded)),
          master(clock, latency, milliseconds(model.settings.timeoutMs), std::move(respond)),
          in(clock),
          run(model, master, clock, out, listens ? &in : nullptr, limits, kWallStart) {}

    desk::SimulatedClock clock;
    desk::GatewayModel model;
    testing::ScriptedMaster master;
    testing::RecordingOut out;
    testing::ScriptedCanIn in;
    desk::DeskRun run;
};

desk::RunLimits forTime(int ms) {
    return {milliseconds(ms), 0};
}

FrameBytes bytes(std::initializer_list<std::uint8_t> leading) {
    FrameBytes all;
    all.fill(0xFF);
    std::copy(leading.begin(), leading.end(), all.begin());
    return all;
}

TEST(DeskRun, EveryGroupSendsItsFramesAtItsCycleFromOneCycleAfterTheStart) {
    SimulatedRun simulated(
        image({imageFrame(61444, 1, false, 3), imageFrame(65262, 2), imageFrame(65263, 1)}, {}, {100, 250}),
        milliseconds(5), testing::addressValues, forTime(1000));
    simulated.run.run();
    EXPECT_EQ(simulated.out.timesOf(0), times({100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}));
    EXPECT_EQ(simulated.out.timesOf(1), times({250, 500, 750, 1000}));
    EXPECT_EQ(simulated.out.timesOf(2), simulated.out.timesOf(0));
    // The frames of one group go together, in frame order, each with its own identifier.
    ASSERT_GE(simulated.out.sent.size(), 3u);
    EXPECT_EQ(simulated.out.sent[0].can.identifier, 0x0CF00480u);
    EXPECT_EQ(simulated.out.sent[1].can.identifier, 0x18FEEF80u);
    EXPECT_EQ(simulated.out.sent[0].wallMicros, kWallStart + 100'000);
    EXPECT_TRUE(simulated.out.sent[0].can.extended);
    EXPECT_EQ(simulated.out.sent[0].can.length, 8);

    const desk::DeskSummary summary = simulated.run.summary();
    EXPECT_EQ(summary.end, desk::RunEnd::duration);
    EXPECT_EQ(summary.elapsed, milliseconds(1000));
    ASSERT_EQ(summary.groups.size(), 2u);
    EXPECT_EQ(summary.groups[0].sends, 10u);
    ASSERT_TRUE(summary.groups[0].measured);
    EXPECT_EQ(summary.groups[0].measured->cycles, 9u);
    EXPECT_DOUBLE_EQ(summary.groups[0].measured->minimumMs, 100);
    EXPECT_DOUBLE_EQ(summary.groups[0].measured->medianMs, 100);
    EXPECT_DOUBLE_EQ(summary.groups[0].measured->maximumMs, 100);
    EXPECT_DOUBLE_EQ(summary.groups[1].measured->medianMs, 250);
    ASSERT_EQ(summary.pgns.size(), 3u);
    EXPECT_EQ(summary.pgns[0].pgn, 61444);
    EXPECT_EQ(summary.pgns[0].acronym, "EEC1");
    EXPECT_EQ(summary.pgns[0].sent, 10u);
    EXPECT_EQ(summary.pgns[1].sent, 4u);
}

TEST(DeskRun, RequestsFollowEachOtherAndRoundsAreTheCyclicDelayApart) {
    // Two definitions of slave 1, each answered in 10 ms; the cyclic delay is 50 ms.
    SimulatedRun simulated(
        image({imageFrame(65262, 1)}, {imageDefinition(1, 1, 10, {0x12}), imageDefinition(1, 1, 20, {0x34, 0x56}, 4)},
              {100}),
        milliseconds(10), testing::addressValues, forTime(200));
    simulated.run.run();
    std::vector<DeskTime> starts;
    for (const auto& [start, request] : simulated.master.requests) starts.push_back(start);
    EXPECT_EQ(starts, times({0, 10, 70, 80, 140, 150}));
    EXPECT_EQ(simulated.master.requests[0].second, (ModbusRequest{1, RegisterKind::holding, 10, 1}));
    EXPECT_EQ(simulated.master.requests[1].second, (ModbusRequest{1, RegisterKind::input, 20, 2}));
    EXPECT_EQ(simulated.run.summary().rounds, 3u);
}

TEST(DeskRun, ASilentSlaveTakesTheTimeOutOfEachRequestAndIsCounted) {
    // Slave 2 never answers: its request takes the image's 200 ms.
    SimulatedRun simulated(
        image({imageFrame(65262, 1)}, {imageDefinition(1, 1, 0, {0x12}), imageDefinition(1, 2, 0, {0x30})}, {100}),
        milliseconds(10),
        [](const ModbusRequest& request, DeskTime started) {
            return request.slave == 2 ? ModbusReply::timeOut() : testing::addressValues(request, started);
        },
        forTime(600));
    simulated.run.run();
    std::vector<DeskTime> starts;
    for (const auto& [start, request] : simulated.master.requests) starts.push_back(start);
    EXPECT_EQ(starts, times({0, 10, 260, 270, 520, 530}));
    const desk::DeskSummary summary = simulated.run.summary();
    ASSERT_EQ(summary.slaves.size(), 2u);
    EXPECT_EQ(summary.slaves[1].slave, 2);
    EXPECT_EQ(summary.slaves[1].requests, 2u);
    EXPECT_EQ(summary.slaves[1].timeouts, 2u);
    EXPECT_EQ(summary.slaves[0].answered, 3u);
    EXPECT_EQ(desk::slaveStateText(summary.slaves[1]), "time-out");
}

TEST(DeskRun, BytesAreNotAvailableUntilAnsweredThenCarryTheRegisterHalves) {
    // The first answer comes after 150 ms, after the first send at 100 ms.
    SimulatedRun simulated(image({imageFrame(65262, 1)}, {imageDefinition(1, 1, 0x0102, {0x12, 0x40})}, {100}),
                           milliseconds(150), testing::addressValues, forTime(300));
    simulated.run.run();
    EXPECT_EQ(simulated.out.bytesAt(0, milliseconds(100)), bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    // Register 0x0102 of slave 1 holds 0x1102: its high byte into B1, its low into B2; the second register's high
    // half into B4.
    EXPECT_EQ(simulated.out.bytesAt(0, milliseconds(200)), bytes({0x11, 0x02, 0xFF, 0x11}));
}

TEST(DeskRun, AFailedPollEmptiesTheBytesOfErasingFramesAndKeepsTheOthers) {
    // Frame 1 erases, frame 2 keeps; both are fed by slave 1, which stops answering at 250 ms.
    SimulatedRun simulated(
        image({imageFrame(65262, 1, true), imageFrame(65263, 1, false)},
              {imageDefinition(1, 1, 0, {0x12}), imageDefinition(2, 1, 1, {0x12})}, {100}),
        milliseconds(10),
        [](const ModbusRequest& request, DeskTime started) {
            return started >= milliseconds(250) ? ModbusReply::timeOut() : testing::addressValues(request, started);
        },
        forTime(800));
    simulated.run.run();
    EXPECT_EQ(simulated.out.bytesAt(0, milliseconds(200)), bytes({0x10, 0x00}));
    EXPECT_EQ(simulated.out.bytesAt(1, milliseconds(200)), bytes({0x10, 0x01}));
    EXPECT_EQ(simulated.out.bytesAt(0, milliseconds(800)), bytes({}));
    EXPECT_EQ(simulated.out.bytesAt(1, milliseconds(800)), bytes({0x10, 0x01}));
}

TEST(DeskRun, AnExceptionIsCountedByItsCodeAndNamed) {
    SimulatedRun simulated(
        image({imageFrame(65262, 1, true)}, {imageDefinition(1, 3, 900, {0x12})}, {100}), milliseconds(10),
        [](const ModbusRequest&, DeskTime) { return ModbusReply::exception(2); }, forTime(150));
    simulated.run.run();
    const desk::DeskSummary summary = simulated.run.summary();
    ASSERT_EQ(summary.slaves.size(), 1u);
    EXPECT_EQ(summary.slaves[0].exceptions.at(2), 3u);
    EXPECT_EQ(desk::slaveStateText(summary.slaves[0]), "exception 02 (illegal data address)");
    EXPECT_NE(desk::summaryText(summary, simulated.model)
                  .find("  slave 3: 3 requests, 0 answered, 3 failed, 3 exceptions 02 (illegal data address)\n"),
              std::string::npos)
        << desk::summaryText(summary, simulated.model);
}

desk::CanFrame request(std::uint32_t pgn, std::uint8_t destination, std::uint8_t source = 0x21) {
    desk::CanFrame frame;
    frame.identifier = 0x18EA0000u | std::uint32_t(destination) << 8 | source;
    frame.length = 3;
    frame.data = {std::uint8_t(pgn), std::uint8_t(pgn >> 8), std::uint8_t(pgn >> 16), 0, 0, 0, 0, 0};
    return frame;
}

TEST(DeskRun, OnRequestFramesAnswerARequestForTheirPgnToTheGatewayOrToAll) {
    // Frame 1 cyclic, frames 2 and 3 On Request; the gateway is 0x80.
    SimulatedRun simulated(image({imageFrame(65262, 1), imageFrame(65266, 0, true), imageFrame(65253, 0)},
                                 {imageDefinition(2, 1, 0, {0x12})}, {1000}),
                           milliseconds(10), testing::addressValues, forTime(500), true);
    simulated.in.arrive(milliseconds(150), request(65266, 0x80));
    simulated.in.arrive(milliseconds(220), request(65253, 0xFF));
    simulated.in.arrive(milliseconds(300), request(65253, 0x33));  // for another node
    simulated.in.arrive(milliseconds(310), request(65280, 0x80));  // for a PGN the gateway does not send
    simulated.run.run();
    EXPECT_EQ(simulated.out.timesOf(1), times({150}));
    EXPECT_EQ(simulated.out.timesOf(2), times({220}));
    EXPECT_TRUE(simulated.out.timesOf(0).empty());
    ASSERT_EQ(simulated.out.sent.size(), 2u);
    EXPECT_TRUE(simulated.out.sent[0].answersRequest);
    EXPECT_EQ(simulated.out.sent[0].can.identifier, 0x18FEF280u);
    EXPECT_EQ(simulated.out.sent[0].can.data, bytes({0x10, 0x00}));
    const desk::DeskSummary summary = simulated.run.summary();
    EXPECT_EQ(summary.requestsAnswered, 2u);
    EXPECT_EQ(summary.requestsIgnored, 2u);
}

TEST(DeskRun, WithoutACanInterfaceOnRequestFramesAreListedNotSent) {
    SimulatedRun simulated(image({imageFrame(65266, 0, true)}, {imageDefinition(1, 1, 0, {0x12})}, {}),
                           milliseconds(10), testing::addressValues, forTime(300));
    simulated.run.run();
    EXPECT_TRUE(simulated.out.sent.empty());
    const std::string text = desk::summaryText(simulated.run.summary(), simulated.model);
    EXPECT_NE(text.find("On Request frames, not sent without a CAN interface to hear requests on:\n"
                        "  frame 1: PGN 65266 (0xFEF2) LFE, identifier 18FEF280, bytes 10 00 FF FF FF FF FF FF\n"),
              std::string::npos)
        << text;
}

TEST(DeskRun, CyclesEndTheRunOnceEveryGroupHasSentSoManyTimes) {
    SimulatedRun simulated(image({imageFrame(65262, 1), imageFrame(65263, 2)}, {}, {100, 300}), milliseconds(10),
                           testing::addressValues, {desk::kNever, 3});
    simulated.run.run();
    EXPECT_EQ(simulated.out.timesOf(0), times({100, 200, 300, 400, 500, 600, 700, 800, 900}));
    EXPECT_EQ(simulated.out.timesOf(1), times({300, 600, 900}));
    EXPECT_EQ(simulated.run.summary().end, desk::RunEnd::cycles);
}

TEST(DeskRun, CyclesOfAProjectWithoutCyclicFramesArePollRounds) {
    SimulatedRun simulated(image({imageFrame(65266, 0)}, {imageDefinition(1, 1, 0, {0x12})}, {}), milliseconds(10),
                           testing::addressValues, {desk::kNever, 2});
    simulated.run.run();
    EXPECT_EQ(simulated.run.summary().rounds, 2u);
    EXPECT_EQ(simulated.master.requests.size(), 2u);
}

TEST(DeskRun, CyclesOfAProjectThatNeitherPollsNorSendsAreOverAtOnce) {
    SimulatedRun simulated(image({imageFrame(65266, 0)}, {}, {}), milliseconds(10), testing::addressValues,
                           {desk::kNever, 2});
    simulated.run.run();
    EXPECT_EQ(simulated.run.summary().end, desk::RunEnd::cycles);
    EXPECT_EQ(simulated.run.summary().elapsed, DeskTime(0));
}

TEST(DeskRun, ARunWithoutAnEndOnTheSimulatedClockFailsRatherThanHangs) {
    SimulatedRun simulated(image({imageFrame(65266, 0)}, {}, {}), milliseconds(10), testing::addressValues, {});
    try {
        simulated.run.run();
        FAIL() << "no failure";
    } catch (const Error& failure) {
        EXPECT_STREQ(failure.what(), "the simulated clock has nothing left to wait for: every activity waits for ever");
    }
}

TEST(DeskRun, AFailingOutputStopsTheRunWithItsFailure) {
    struct FailingOut : desk::CanOut {
        void send(const desk::SentFrame&) override { throw Error("cannot write out.log: No space left on device"); }
    } failing;
    desk::SimulatedClock clock;
    const desk::GatewayModel model = desk::buildGatewayModel(image({imageFrame(65262, 1)}, {}, {100}));
    testing::ScriptedMaster master(clock, milliseconds(10), milliseconds(200), testing::addressValues);
    desk::DeskRun run(model, master, clock, failing, nullptr, forTime(1000), kWallStart);
    try {
        run.run();
        FAIL() << "no failure";
    } catch (const Error& failure) {
        EXPECT_STREQ(failure.what(), "cannot write out.log: No space left on device");
    }
    EXPECT_EQ(run.summary().end, desk::RunEnd::failed);
}

TEST(CycleFigures, MedianOfAnEvenCountIsTheMeanOfTheMiddleTwo) {
    const desk::CycleFigures figures = desk::cycleFigures(times({12, 9, 10, 30}));
    EXPECT_DOUBLE_EQ(figures.minimumMs, 9);
    EXPECT_DOUBLE_EQ(figures.medianMs, 11);
    EXPECT_DOUBLE_EQ(figures.maximumMs, 30);
    EXPECT_EQ(figures.cycles, 4u);
}

}  // namespace
}  // namespace tessaro
