#include <gtest/gtest.h>

#include <thread>

#include "core/desk/RegisterValues.h"
#include "core/desk/SimulatedClock.h"
#include "core/documents/Errors.h"
#include "core/exchange/TextGrid.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using std::chrono::milliseconds;

TEST(RegisterValues, ColumnsAreFoundByNameAndNumbersReadAsTheDocumentsWriteThem) {
    const desk::RegisterValues table = desk::readRegisterValues(
        "Value;Register;Kind;Slave\r\n"
        "12000;0;holding;1\r\n"
        "0xFFFF;1;HOLDING;1\r\n"
        "-1;7;input;2\r\n"
        ";;;\r\n"
        "$10;0x10;4;250\r\n");
    EXPECT_EQ(table.values, (std::map<desk::RegisterKey, std::uint16_t>{{{1, RegisterKind::holding, 0}, 12000},
                                                                        {{1, RegisterKind::holding, 1}, 0xFFFF},
                                                                        {{2, RegisterKind::input, 7}, 0xFFFF},
                                                                        {{250, RegisterKind::input, 16}, 16}}));
    EXPECT_EQ(table.slaves, (std::set<std::uint8_t>{1, 2, 250}));
}

TEST(RegisterValues, EachProblemIsPlacedAtItsLineAndColumn) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "1:1: the file holds no header line (slave, kind, register, value)"},
        {"slave,kind,register\n1,holding,0\n",
         "1:4: the column 'value' is missing: the values have the columns slave, kind, register, value"},
        {"slave,kind,register,value,note\n",
         "1:5: unknown column 'note': the values have the columns slave, kind, register, value"},
        {"slave,kind,slave,value\n", "1:3: the column 'slave' is given twice"},
        {"slave,kind,register,value\n256,holding,0,1\n", "2:1: '256' is no slave address: 0 to 255"},
        {"slave,kind,register,value\n1,coil,0,1\n", "2:2: 'coil' is no register kind: holding or input (or 3 or 4)"},
        {"slave,kind,register,value\n1,5,0,1\n", "2:2: '5' is no register kind: holding or input (or 3 or 4)"},
        {"slave,kind,register,value\n1,input,65536,1\n", "2:3: '65536' is no register: 0 to 65535"},
        {"slave,kind,register,value\n1,input,1,\n", "2:4: '' is no register value: -32768 to 65535"},
        {"slave,kind,register,value\n1,input,1,70000\n", "2:4: '70000' is no register value: -32768 to 65535"},
        {"slave,kind,register,value\n1,input,1,2,3\n",
         "2:5: a cell beyond the last column of the header (slave, kind, register, value)"},
        {"slave,kind,register,value\n1,input,1,2\n\n1,4,1,3\n",
         "4:3: slave 1 input 1 is given twice (first at line 2)"},
        {"slave,kind,register,value\n1,input,1,\"2\n", "2:4: the quote that opens this cell is never closed"},
    };
    for (const Case& c : cases) {
        try {
            desk::readRegisterValues(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ExchangeError& problem) {
            EXPECT_EQ(std::string(problem.what()), c.message) << c.text;
        }
    }
}

TEST(RegisterValues, TheFilesProblemNamesTheFile) {
    testing::TemporaryFolder folder;
    const std::string path = folder.write("values.csv", "slave,kind,register,value\n1,holding,x,1\n");
    try {
        desk::loadRegisterValues(path);
        FAIL() << "accepted";
    } catch (const Error& failure) {
        EXPECT_EQ(std::string(failure.what()), path + ":2:3: 'x' is no register: 0 to 65535");
    }
}

// Reads on the simulated clock from a thread of its own, as the run's poller does.
struct TimedRead {
    desk::ModbusReply reply;
    desk::DeskTime took{};
};

TimedRead readOnce(const desk::RegisterValues& values, const desk::ModbusRequest& request, int baudRate) {
    desk::SimulatedClock clock;
    desk::RegisterValuesMaster master(values, clock, milliseconds(500), baudRate);
    TimedRead result;
    clock.expect(1);
    std::thread poller([&] {
        clock.enter();
        result.reply = master.read(request);
        result.took = clock.now();
        clock.leave();
    });
    poller.join();
    return result;
}

TEST(RegisterValuesMaster, AnswersAsTheSlavesWouldInTheTimeOfTheLine) {
    const desk::RegisterValues values =
        desk::readRegisterValues("slave,kind,register,value\n1,holding,10,7\n1,holding,11,8\n1,input,10,9\n");
    const TimedRead answered = readOnce(values, {1, RegisterKind::holding, 10, 2}, 9600);
    EXPECT_EQ(answered.reply.outcome, desk::ModbusOutcome::answered);
    EXPECT_EQ(answered.reply.values, (std::vector<std::uint16_t>{7, 8}));
    // 8 characters out, 9 back, 11 bits each at 9600 bit/s.
    EXPECT_EQ(answered.took, desk::lineTime(17, 9600));
    EXPECT_EQ(desk::lineTime(17, 9600), std::chrono::nanoseconds(19'479'166));

    const TimedRead missing = readOnce(values, {1, RegisterKind::holding, 10, 3}, 19200);
    EXPECT_EQ(missing.reply.outcome, desk::ModbusOutcome::exception);
    EXPECT_EQ(missing.reply.exceptionCode, 2);
    EXPECT_EQ(missing.took, desk::lineTime(13, 19200));

    const TimedRead silent = readOnce(values, {2, RegisterKind::holding, 10, 1}, 19200);
    EXPECT_EQ(silent.reply.outcome, desk::ModbusOutcome::timedOut);
    EXPECT_EQ(silent.took, desk::lineTime(8, 19200) + milliseconds(500));
}

}  // namespace
}  // namespace tessaro
