#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace tessaro::testing {

// Modbus TCP slaves in process, on libmodbus: a server on 127.0.0.1 at a free port, one connection at a time, on a
// thread of its own that ends with the object. Each unit it was given registers for answers from them (a read
// beyond the registers given is exception 02); any other unit, or a silenced one, does not answer. Shared, every
// unit answers from one table of all 65536 holding and input registers.
class ModbusTestSlave {
public:
    enum class Units { separate, shared };
    explicit ModbusTestSlave(Units units = Units::separate);
    ~ModbusTestSlave();
    ModbusTestSlave(const ModbusTestSlave&) = delete;
    ModbusTestSlave& operator=(const ModbusTestSlave&) = delete;

    int port() const { return m_port; }
    // The unit's registers from 0 up to the highest given, the others 0.
    void setHolding(std::uint8_t unit, std::uint16_t address, std::uint16_t value);
    void setInput(std::uint8_t unit, std::uint16_t address, std::uint16_t value);
    void silence(std::uint8_t unit, bool silent = true);
    // Closes the connection of the master; the next one is accepted.
    void dropConnection();
    std::uint64_t requests() const { return m_requests.load(); }

private:
    struct Table;
    void serve();
    void set(std::uint8_t unit, bool holding, std::uint16_t address, std::uint16_t value);

    Units m_units;
    void* m_context = nullptr;  // modbus_t
    int m_server = -1;
    int m_port = 0;
    std::mutex m_mutex;
    std::map<std::uint8_t, Table*> m_tables;
    Table* m_shared = nullptr;
    std::set<std::uint8_t> m_silent;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_drop{false};
    std::atomic<std::uint64_t> m_requests{0};
    std::thread m_thread;
};

}  // namespace tessaro::testing
