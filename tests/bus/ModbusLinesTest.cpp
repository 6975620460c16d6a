#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "bus/DeskSession.h"
#include "bus/ModbusLines.h"
#include "bus/SteadyClock.h"
#include "core/desk/DeskRun.h"
#include "core/documents/Errors.h"
#include "support/ModbusTestSlave.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using desk::ModbusOutcome;
using desk::ModbusRequest;
using std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

std::unique_ptr<desk::ModbusMaster> masterOf(const testing::ModbusTestSlave& slave, int timeoutMs = 100) {
    return bus::openTcpMaster({"127.0.0.1", std::to_string(slave.port())}, milliseconds(timeoutMs));
}

TEST(LibmodbusMaster, ReadsHoldingAndInputRegistersOfEachUnit) {
    testing::ModbusTestSlave slave;
    slave.setHolding(1, 10, 0x1234);
    slave.setHolding(1, 11, 0xABCD);
    slave.setInput(1, 10, 7);
    slave.setHolding(2, 0, 99);
    const auto master = masterOf(slave);
    desk::ModbusReply reply = master->read({1, RegisterKind::holding, 10, 2});
    ASSERT_EQ(reply.outcome, ModbusOutcome::answered) << reply.failure;
    EXPECT_EQ(reply.values, (std::vector<std::uint16_t>{0x1234, 0xABCD}));
    reply = master->read({1, RegisterKind::input, 10, 1});
    EXPECT_EQ(reply.values, (std::vector<std::uint16_t>{7}));
    reply = master->read({2, RegisterKind::holding, 0, 1});
    EXPECT_EQ(reply.values, (std::vector<std::uint16_t>{99}));
}

TEST(LibmodbusMaster, AnAddressBeyondTheSlavesRegistersIsExceptionTwo) {
    testing::ModbusTestSlave slave;
    slave.setHolding(1, 10, 1);
    const auto master = masterOf(slave);
    const desk::ModbusReply reply = master->read({1, RegisterKind::holding, 10, 2});
    EXPECT_EQ(reply.outcome, ModbusOutcome::exception);
    EXPECT_EQ(reply.exceptionCode, 2);
}

TEST(LibmodbusMaster, ASilentUnitTimesOutAfterTheTimeOutAndTheNextAnswerIsItsOwn) {
    testing::ModbusTestSlave slave;
    slave.setHolding(1, 0, 11);
    slave.setHolding(1, 1, 22);
    slave.silence(1);
    const auto master = masterOf(slave, 150);
    const auto start = Steady::now();
    EXPECT_EQ(master->read({1, RegisterKind::holding, 0, 1}).outcome, ModbusOutcome::timedOut);
    const auto waited = Steady::now() - start;
    EXPECT_GE(waited, milliseconds(150));
    EXPECT_LT(waited, milliseconds(1000));
    slave.silence(1, false);
    EXPECT_EQ(master->read({1, RegisterKind::holding, 1, 1}).values, (std::vector<std::uint16_t>{22}));
}

TEST(LibmodbusMaster, ABrokenConnectionFailsOneRequestAndTheNextConnectsAgain) {
    testing::ModbusTestSlave slave;
    slave.setHolding(1, 0, 5);
    const auto master = masterOf(slave);
    ASSERT_EQ(master->read({1, RegisterKind::holding, 0, 1}).outcome, ModbusOutcome::answered);
    slave.dropConnection();
    std::this_thread::sleep_for(milliseconds(60));
    const desk::ModbusReply broken = master->read({1, RegisterKind::holding, 0, 1});
    EXPECT_EQ(broken.outcome, ModbusOutcome::failed);
    EXPECT_FALSE(broken.failure.empty());
    const desk::ModbusReply again = master->read({1, RegisterKind::holding, 0, 1});
    EXPECT_EQ(again.outcome, ModbusOutcome::answered) << again.failure;
}

std::string openFailure(const std::function<void()>& open) {
    try {
        open();
    } catch (const Error& failure) {
        return failure.what();
    }
    return "opened";
}

TEST(LibmodbusMaster, WhatCannotBeOpenedIsNamedWithTheSystemsReason) {
    testing::TemporaryFolder folder;
    std::vector<std::string> notes;
    const std::string missing = folder.file("no-such-adapter");
    EXPECT_EQ(openFailure([&] { bus::openRtuMaster(missing, {}, milliseconds(100), notes); }),
              "cannot open " + missing + ": No such file or directory");
    // A file is no terminal.
    const std::string plain = folder.write("plain-file", "");
    EXPECT_EQ(openFailure([&] {
                  bus::openRtuMaster(plain, {}, milliseconds(100), notes);
              }).rfind("cannot open " + plain + ": ", 0),
              0u);
    int port = 0;
    {
        testing::ModbusTestSlave closed;
        port = closed.port();
    }
    EXPECT_EQ(openFailure([&] {
                  bus::openTcpMaster({"127.0.0.1", std::to_string(port)}, milliseconds(100));
              }),
              "cannot connect to 127.0.0.1:" + std::to_string(port) + ": Connection refused");
    EXPECT_EQ(openFailure([&] {
                  bus::openTcpMaster({"no-such-host.invalid", "502"}, milliseconds(100));
              }).rfind("cannot connect to no-such-host.invalid:502: ", 0),
              0u);
}

TEST(DeskSession, AListNameGoesThroughThePortsSectionOfTheSettingsFile) {
    testing::TemporaryFolder tool;
    const std::string mapped = tool.file("usb-adapter");
    const std::string settings = tool.write("Tessaro_Kelvane.ini", "[ports]\nCOM3=" + mapped + "\n");
    bus::SteadyClock clock;
    desk::GatewaySettings line{1, 100, 100, 0, 3, 0, 0, true};
    EXPECT_EQ(openFailure([&] {
                  bus::openSource({desk::SourceKind::rtu, "COM3"}, line, clock, settings);
              }),
              "cannot open " + mapped + ": No such file or directory (COM3)");
    line.rtuBaudRate = 9;
    EXPECT_EQ(openFailure([&] {
                  bus::openSource({desk::SourceKind::rtu, "COM3"}, line, clock, settings);
              }),
              "cannot open " + mapped +
                  " (COM3): the image's Modbus baud rate is position 9, which is not in the list (0 to 7)");
}

struct CountingOut : desk::CanOut {
    void send(const desk::SentFrame& frame) override {
        std::lock_guard lock(mutex);
        sent.push_back(frame);
    }
    std::mutex mutex;
    std::vector<desk::SentFrame> sent;
};

desk::GatewayModel twoFrameModel(std::uint16_t timeoutMs) {
    DecodedImage image;
    image.frames = {{6, 0, 65262, 1, 1}, {6, 0, 65263, 1, 0}};
    image.definitions = {{1, 1, 0, 0, 3, {0x12}}, {2, 2, 0, 0, 4, {0x12}}};
    image.groups = {50};
    image.general = ImageGeneralParameters{5, 0x80, 0, 3, 0, 0, timeoutMs, 10, 2, 2, 1};
    return desk::buildGatewayModel(image);
}

TEST(DeskRunInRealTime, FramesCarryTheSlavesRegistersAndASlaveThatFallsSilentIsErased) {
    testing::ModbusTestSlave slave;
    slave.setHolding(1, 0, 0x0102);
    slave.setInput(2, 0, 0x0304);
    const desk::GatewayModel model = twoFrameModel(50);
    bus::SteadyClock clock;
    const auto master = masterOf(slave, 50);
    CountingOut out;
    desk::DeskRun run(model, *master, clock, out, nullptr, {milliseconds(400), 0}, 0);
    std::thread silencer([&] {
        std::this_thread::sleep_for(milliseconds(200));
        slave.silence(1);
    });
    run.run();
    silencer.join();
    std::lock_guard lock(out.mutex);
    // What each frame carried, each change once.
    std::vector<desk::FrameBytes> carried[2];
    for (const desk::SentFrame& frame : out.sent)
        if (carried[frame.frame].empty() || carried[frame.frame].back() != frame.can.data)
            carried[frame.frame].push_back(frame.can.data);
    const desk::FrameBytes unfed{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Before the first answer, however late a loaded machine gives it.
    for (std::vector<desk::FrameBytes>& changes : carried)
        if (!changes.empty() && changes.front() == unfed) changes.erase(changes.begin());
    // Frame 1 erases after slave 1 fell silent; frame 2 is of slave 2, which goes on answering.
    const std::vector<desk::FrameBytes> first{{0x01, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, unfed};
    const std::vector<desk::FrameBytes> second{{0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
    EXPECT_EQ(carried[0], first);
    EXPECT_EQ(carried[1], second);
    const desk::DeskSummary summary = run.summary();
    EXPECT_GT(summary.slaves[0].timeouts, 0u);
    EXPECT_EQ(summary.slaves[1].timeouts, 0u);
}

TEST(DeskRunInRealTime, StopEndsARunWhoseRequestWaitsForALongTimeOut) {
    testing::ModbusTestSlave slave;
    slave.silence(1);
    const desk::GatewayModel model = twoFrameModel(60000);
    bus::SteadyClock clock;
    const auto master = masterOf(slave, 60000);
    CountingOut out;
    desk::DeskRun run(model, *master, clock, out, nullptr, {}, 0);
    std::thread stopper([&] {
        std::this_thread::sleep_for(milliseconds(150));
        run.stop();
    });
    const auto start = Steady::now();
    run.run();
    stopper.join();
    EXPECT_LT(Steady::now() - start, milliseconds(1500));
    EXPECT_EQ(run.summary().end, desk::RunEnd::stopped);
    // The request cut short is not counted.
    EXPECT_EQ(run.summary().slaves[0].requests, 0u);
}

TEST(SteadyClock, WaitsUntilTheDeadlineOrUntilReady) {
    bus::SteadyClock clock;
    const desk::DeskTime start = clock.now();
    clock.waitUntil(start + milliseconds(30), [] { return false; });
    EXPECT_GE(clock.now() - start, milliseconds(30));
    std::atomic<bool> ready{false};
    std::thread notifier([&] {
        std::this_thread::sleep_for(milliseconds(20));
        ready.store(true);
        clock.notify();
    });
    const desk::DeskTime before = clock.now();
    clock.waitUntil(desk::kNever, [&] { return ready.load(); });
    notifier.join();
    EXPECT_LT(clock.now() - before, milliseconds(1000));
}

}  // namespace
}  // namespace tessaro
