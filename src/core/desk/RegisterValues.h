#pragma once

#include <atomic>
#include <compare>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "core/desk/DeskClock.h"
#include "core/desk/ModbusMaster.h"
#include "core/documents/Errors.h"

namespace tessaro::desk {

// A table of slaves' registers that answers as the slaves would: a CSV file with the columns slave, kind,
// register and value, found by their names in the header line, one register per line.

struct RegisterKey {
    std::uint8_t slave = 0;
    RegisterKind kind = RegisterKind::holding;
    std::uint16_t address = 0;

    auto operator<=>(const RegisterKey&) const = default;
};

struct RegisterValues {
    std::map<RegisterKey, std::uint16_t> values;
    std::set<std::uint8_t> slaves;
};

inline constexpr std::string_view kRegisterColumns[] = {"slave", "kind", "register", "value"};

// Checked as the spreadsheet imports are: throws ExchangeError at the first cell that breaks a rule, with its line
// and column. A slave is 0 to 255, a kind holding or input (or Type_Reg's 3 or 4), a register 0 to 65535, a value
// 0 to 65535 or -32768 to -1 for its two's complement; numbers as the documents write them.
RegisterValues readRegisterValues(std::string_view text);
// A values file's first problem: "FILE:LINE:COLUMN: message".
class ValuesFileError : public Error {
public:
    using Error::Error;
};
// The file: throws ValuesFileError, or tessaro::Error with the reason it cannot be read.
RegisterValues loadRegisterValues(const std::string& path);

// How long a request and its answer take on a serial line: 11 bits a character at the baud rate.
DeskTime lineTime(std::size_t characters, int baudRate);

// Answers from the table: a slave the table does not name stays silent for the time-out; a register it lacks gives
// exception 02 (illegal data address). Each request takes the time its RTU frames would take on the line.
class RegisterValuesMaster : public ModbusMaster {
public:
    RegisterValuesMaster(const RegisterValues& values, Clock& clock, DeskTime timeout, int baudRate);
    ModbusReply read(const ModbusRequest& request) override;
    void interrupt() override;

private:
    void wait(DeskTime time);

    const RegisterValues& m_values;
    Clock& m_clock;
    DeskTime m_timeout;
    int m_baudRate;
    std::atomic<bool> m_interrupted{false};
};

}  // namespace tessaro::desk
