#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/j1939/RegisterKind.h"

namespace tessaro::desk {

// One Modbus read the gateway makes: the registers of one definition from its slave.
struct ModbusRequest {
    std::uint8_t slave = 0;
    RegisterKind kind = RegisterKind::holding;
    std::uint16_t first = 0;
    std::uint16_t count = 1;

    bool operator==(const ModbusRequest&) const = default;
};

enum class ModbusOutcome : std::uint8_t { answered, timedOut, exception, failed };

// What came back: the values, no answer within the time-out, an exception response, or a failure of the line
// itself (a broken connection, a garbled answer) with its reason.
struct ModbusReply {
    ModbusOutcome outcome = ModbusOutcome::timedOut;
    std::vector<std::uint16_t> values;  // one per register asked for, when answered
    std::uint8_t exceptionCode = 0;
    std::string failure;

    static ModbusReply answer(std::vector<std::uint16_t> values) {
        return {ModbusOutcome::answered, std::move(values), 0, {}};
    }
    static ModbusReply timeOut() { return {ModbusOutcome::timedOut, {}, 0, {}}; }
    static ModbusReply exception(std::uint8_t code) { return {ModbusOutcome::exception, {}, code, {}}; }
    static ModbusReply failed(std::string reason) { return {ModbusOutcome::failed, {}, 0, std::move(reason)}; }
};

// The Modbus side as the desk test sees it: one request at a time, each answered, timed out or refused. The
// master waits for the answer itself, at most the time-out it was opened with.
class ModbusMaster {
public:
    virtual ~ModbusMaster() = default;
    virtual ModbusReply read(const ModbusRequest& request) = 0;
    // Called from another thread when the run stops: a read under way may end early.
    virtual void interrupt() {}
};

// "02 (illegal data address)"; the name only for the codes Modbus defines.
std::string exceptionText(std::uint8_t code);

}  // namespace tessaro::desk
