#include "bus/ModbusLines.h"

#include <modbus.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "core/documents/Errors.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#include <sys/types.h>
#endif

namespace tessaro::bus {

namespace {

void setTimeout(modbus_t* context, desk::DeskTime timeout) {
    // libmodbus refuses a time-out of 0.
    const auto micros =
        std::max<std::int64_t>(1000, std::chrono::duration_cast<std::chrono::microseconds>(timeout).count());
    modbus_set_response_timeout(context, std::uint32_t(micros / 1'000'000), std::uint32_t(micros % 1'000'000));
}

struct ContextDeleter {
    void operator()(modbus_t* context) const {
        modbus_close(context);
        modbus_free(context);
    }
};
using Context = std::unique_ptr<modbus_t, ContextDeleter>;

// One request at a time on a libmodbus context; a TCP master connects again after its connection broke.
class LibmodbusMaster : public desk::ModbusMaster {
public:
    LibmodbusMaster(Context context, bool tcp) : m_context(std::move(context)), m_tcp(tcp), m_connected(true) {
        m_socket.store(modbus_get_socket(m_context.get()));
    }

    desk::ModbusReply read(const desk::ModbusRequest& request) override {
        modbus_t* context = m_context.get();
        if (!m_connected && !reconnect()) return desk::ModbusReply::failed(m_lastFailure);
        modbus_set_slave(context, request.slave);
        std::vector<std::uint16_t> values(request.count);
        const int read = request.kind == RegisterKind::holding
                             ? modbus_read_registers(context, request.first, request.count, values.data())
                             : modbus_read_input_registers(context, request.first, request.count, values.data());
        if (read == int(request.count)) return desk::ModbusReply::answer(std::move(values));
        const int reason = errno;
        // A late answer must not pass for the next one's.
        modbus_flush(context);
        if (read >= 0)
            return desk::ModbusReply::failed("the slave answered with " + std::to_string(read) + " registers");
        if (reason == ETIMEDOUT) return desk::ModbusReply::timeOut();
        if (reason > MODBUS_ENOBASE && reason < MODBUS_ENOBASE + MODBUS_EXCEPTION_MAX)
            return desk::ModbusReply::exception(std::uint8_t(reason - MODBUS_ENOBASE));
        m_lastFailure = modbus_strerror(reason);
        if (m_tcp && reason < MODBUS_ENOBASE) disconnect();
        return desk::ModbusReply::failed(m_lastFailure);
    }

    void interrupt() override {
        m_interrupted.store(true);
        // A TCP read ends at once; a serial one at its answer or its time-out.
        std::lock_guard lock(m_socketMutex);
        if (m_tcp && m_socket.load() >= 0) ::shutdown(m_socket.load(), 2);
    }

private:
    void disconnect() {
        std::lock_guard lock(m_socketMutex);
        modbus_close(m_context.get());
        m_socket.store(-1);
        m_connected = false;
    }

    bool reconnect() {
        if (m_interrupted.load()) return false;
        if (modbus_connect(m_context.get()) != 0) {
            m_lastFailure = modbus_strerror(errno);
            return false;
        }
        std::lock_guard lock(m_socketMutex);
        m_socket.store(modbus_get_socket(m_context.get()));
        m_connected = true;
        return true;
    }

    Context m_context;
    bool m_tcp;
    bool m_connected;
    std::string m_lastFailure;
    std::atomic<bool> m_interrupted{false};
    std::mutex m_socketMutex;
    std::atomic<int> m_socket{-1};
};

std::string systemReason(int reason) {
    return reason > MODBUS_ENOBASE ? modbus_strerror(reason) : std::strerror(reason);
}

}  // namespace

std::unique_ptr<desk::ModbusMaster> openRtuMaster(const std::string& device, const desk::SerialLine& line,
                                                  desk::DeskTime timeout, std::vector<std::string>& notes) {
#ifdef _WIN32
    // COM10 and above are opened by their device path only.
    const std::string path = device.starts_with("\\\\") ? device : "\\\\.\\" + device;
#else
    const std::string& path = device;
#endif
    Context context(modbus_new_rtu(path.c_str(), line.baudRate, line.parity, 8, line.stopBits));
    if (!context) throw Error("cannot open " + device + ": " + systemReason(errno));
    setTimeout(context.get(), timeout);
    if (modbus_connect(context.get()) != 0) throw Error("cannot open " + device + ": " + systemReason(errno));
    if (line.rs485 && modbus_rtu_set_serial_mode(context.get(), MODBUS_RTU_RS485) != 0)
        notes.push_back(device + " does not switch to RS485 when asked (" + systemReason(errno) +
                        "): the run goes on, as with an adapter that drives the RS485 line by itself");
    return std::make_unique<LibmodbusMaster>(std::move(context), false);
}

std::unique_ptr<desk::ModbusMaster> openTcpMaster(const desk::TcpAddress& address, desk::DeskTime timeout) {
    const std::string shown =
        (address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host) + ":" + address.port;
#ifdef _WIN32
    // libmodbus starts Winsock at its connect; the name is looked up before.
    static const bool winsock = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)winsock;
#endif
    // libmodbus reports a name it cannot find as a refused connection; the system's reason says more.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int failure = getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found); failure != 0)
        throw Error("cannot connect to " + shown + ": " + gai_strerror(failure));
    freeaddrinfo(found);
    Context context(modbus_new_tcp_pi(address.host.c_str(), address.port.c_str()));
    if (!context) throw Error("cannot connect to " + shown + ": " + systemReason(errno));
    setTimeout(context.get(), timeout);
    if (modbus_connect(context.get()) != 0) throw Error("cannot connect to " + shown + ": " + systemReason(errno));
    return std::make_unique<LibmodbusMaster>(std::move(context), true);
}

}  // namespace tessaro::bus
