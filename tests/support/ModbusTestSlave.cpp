#include "support/ModbusTestSlave.h"

#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace tessaro::testing {

struct ModbusTestSlave::Table {
    explicit Table(int registers) : mapping(modbus_mapping_new(0, 0, registers, registers)) {
        if (!mapping) throw std::runtime_error("no memory for the slave's registers");
    }
    ~Table() { modbus_mapping_free(mapping); }
    // Grows to hold the address, keeping what it held.
    void reach(std::uint16_t address) {
        if (address < mapping->nb_registers) return;
        modbus_mapping_t* larger = modbus_mapping_new(0, 0, address + 1, address + 1);
        std::copy(mapping->tab_registers, mapping->tab_registers + mapping->nb_registers, larger->tab_registers);
        std::copy(mapping->tab_input_registers, mapping->tab_input_registers + mapping->nb_input_registers,
                  larger->tab_input_registers);
        modbus_mapping_free(mapping);
        mapping = larger;
    }
    modbus_mapping_t* mapping;
};

ModbusTestSlave::ModbusTestSlave(Units units) : m_units(units) {
    modbus_t* context = modbus_new_tcp("127.0.0.1", 0);
    if (!context) throw std::runtime_error("no libmodbus context");
    m_context = context;
    m_server = modbus_tcp_listen(context, 1);
    if (m_server < 0) throw std::runtime_error(std::string("cannot listen: ") + modbus_strerror(errno));
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(m_server, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    if (units == Units::shared) m_shared = new Table(65536);
    m_thread = std::thread([this] { serve(); });
}

ModbusTestSlave::~ModbusTestSlave() {
    m_stop.store(true);
    m_thread.join();
    ::close(m_server);
    modbus_t* context = static_cast<modbus_t*>(m_context);
    modbus_close(context);
    modbus_free(context);
    for (auto& [unit, table] : m_tables) delete table;
    delete m_shared;
}

void ModbusTestSlave::set(std::uint8_t unit, bool holding, std::uint16_t address, std::uint16_t value) {
    std::lock_guard lock(m_mutex);
    Table* table = m_shared;
    if (!table) {
        Table*& own = m_tables[unit];
        if (!own) own = new Table(address + 1);
        table = own;
    }
    table->reach(address);
    (holding ? table->mapping->tab_registers : table->mapping->tab_input_registers)[address] = value;
}

void ModbusTestSlave::setHolding(std::uint8_t unit, std::uint16_t address, std::uint16_t value) {
    set(unit, true, address, value);
}

void ModbusTestSlave::setInput(std::uint8_t unit, std::uint16_t address, std::uint16_t value) {
    set(unit, false, address, value);
}

void ModbusTestSlave::silence(std::uint8_t unit, bool silent) {
    std::lock_guard lock(m_mutex);
    if (silent)
        m_silent.insert(unit);
    else
        m_silent.erase(unit);
}

void ModbusTestSlave::dropConnection() {
    m_drop.store(true);
}

void ModbusTestSlave::serve() {
    modbus_t* context = static_cast<modbus_t*>(m_context);
    std::vector<std::uint8_t> query(MODBUS_TCP_MAX_ADU_LENGTH);
    const int header = modbus_get_header_length(context);
    int client = -1;
    while (!m_stop.load()) {
        if (client < 0) {
            pollfd listening{m_server, POLLIN, 0};
            if (::poll(&listening, 1, 20) <= 0) continue;
            client = ::accept(m_server, nullptr, nullptr);
            if (client >= 0) modbus_set_socket(context, client);
            continue;
        }
        if (m_drop.exchange(false)) {
            ::close(client);
            modbus_set_socket(context, -1);
            client = -1;
            continue;
        }
        pollfd connection{client, POLLIN, 0};
        if (::poll(&connection, 1, 20) <= 0) continue;
        const int length = modbus_receive(context, query.data());
        if (length < 0) {
            ::close(client);
            modbus_set_socket(context, -1);
            client = -1;
            continue;
        }
        if (length == 0) continue;
        ++m_requests;
        const std::uint8_t unit = query[std::size_t(header) - 1];
        std::lock_guard lock(m_mutex);
        if (m_silent.contains(unit)) continue;
        Table* table = m_shared;
        if (!table) {
            const auto found = m_tables.find(unit);
            if (found == m_tables.end()) continue;
            table = found->second;
        }
        modbus_reply(context, query.data(), length, table->mapping);
    }
    if (client >= 0) ::close(client);
    modbus_set_socket(context, -1);
}

}  // namespace tessaro::testing
