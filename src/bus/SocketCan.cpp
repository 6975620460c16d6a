#include "bus/SocketCan.h"

#include "core/documents/Errors.h"

#ifdef __linux__
#include <fcntl.h>
#include <linux/can.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#endif

namespace tessaro::bus {

#ifdef __linux__

namespace {

// The PDU format of a request, 59904 = 0xEA00, at bits 16 to 23 of the identifier, data pages 0.
constexpr canid_t kRequestIdentifier = 0x00EA0000u | CAN_EFF_FLAG;
constexpr canid_t kRequestMask = 0x03FF0000u | CAN_EFF_FLAG | CAN_RTR_FLAG;

class SocketCanInterface : public CanInterface {
public:
    SocketCanInterface(const std::string& name, desk::Clock& clock) : m_clock(clock) {
        const auto refuse = [&](int reason) {
            const std::string text = "cannot open CAN interface " + name + ": " + std::strerror(reason);
            closeAll();
            throw Error(text);
        };
        if (name.empty() || name.size() >= IFNAMSIZ) refuse(ENODEV);
        m_socket = ::socket(PF_CAN, SOCK_RAW, CAN_RAW);
        if (m_socket < 0) refuse(errno);
        ifreq request{};
        std::memcpy(request.ifr_name, name.c_str(), name.size());
        if (::ioctl(m_socket, SIOCGIFINDEX, &request) != 0) refuse(errno);
        // Only requests wake the run.
        const can_filter filter{kRequestIdentifier, kRequestMask};
        if (::setsockopt(m_socket, SOL_CAN_RAW, CAN_RAW_FILTER, &filter, sizeof filter) != 0) refuse(errno);
        sockaddr_can address{};
        address.can_family = AF_CAN;
        address.can_ifindex = request.ifr_ifindex;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) refuse(errno);
        // A full queue drops a frame rather than hold up the run.
        if (::fcntl(m_socket, F_SETFL, ::fcntl(m_socket, F_GETFL) | O_NONBLOCK) != 0) refuse(errno);
        if (::pipe(m_stopPipe) != 0) refuse(errno);
        m_reader = std::thread([this] { hear(); });
    }

    ~SocketCanInterface() override {
        if (m_reader.joinable()) {
            const char stop = 0;
            [[maybe_unused]] const auto written = ::write(m_stopPipe[1], &stop, 1);
            m_reader.join();
        }
        closeAll();
    }

    void send(const desk::SentFrame& sent) override {
        can_frame frame{};
        frame.can_id = (sent.can.identifier & CAN_EFF_MASK) | (sent.can.extended ? CAN_EFF_FLAG : 0);
        frame.can_dlc = sent.can.length;
        std::memcpy(frame.data, sent.can.data.data(), sent.can.data.size());
        if (::write(m_socket, &frame, sizeof frame) == ssize_t(sizeof frame)) return;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) {
            ++m_dropped;
            return;
        }
        throw Error(std::string("cannot send on the CAN interface: ") + std::strerror(errno));
    }

    bool pending() const override { return m_pending.load() > 0; }

    std::optional<desk::CanFrame> receive() override {
        std::lock_guard lock(m_mutex);
        if (m_heard.empty()) return std::nullopt;
        const desk::CanFrame frame = m_heard.front();
        m_heard.pop_front();
        --m_pending;
        return frame;
    }

    std::uint64_t dropped() const override { return m_dropped.load(); }

private:
    void hear() {
        pollfd watched[] = {{m_socket, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        for (;;) {
            if (::poll(watched, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (watched[1].revents) return;
            can_frame frame{};
            while (::read(m_socket, &frame, sizeof frame) == ssize_t(sizeof frame)) {
                desk::CanFrame heard;
                heard.extended = (frame.can_id & CAN_EFF_FLAG) != 0;
                heard.identifier = frame.can_id & (heard.extended ? CAN_EFF_MASK : CAN_SFF_MASK);
                heard.length = std::min<std::uint8_t>(frame.can_dlc, 8);
                std::memcpy(heard.data.data(), frame.data, 8);
                std::lock_guard lock(m_mutex);
                m_heard.push_back(heard);
                ++m_pending;
            }
            m_clock.notify();
        }
    }

    void closeAll() {
        if (m_socket >= 0) ::close(m_socket);
        for (int& end : m_stopPipe)
            if (end >= 0) ::close(end);
        m_socket = -1;
        m_stopPipe[0] = m_stopPipe[1] = -1;
    }

    desk::Clock& m_clock;
    int m_socket = -1;
    int m_stopPipe[2] = {-1, -1};
    std::thread m_reader;
    std::mutex m_mutex;
    std::deque<desk::CanFrame> m_heard;
    std::atomic<std::size_t> m_pending{0};
    std::atomic<std::uint64_t> m_dropped{0};
};

}  // namespace

std::unique_ptr<CanInterface> openCanInterface(const std::string& name, desk::Clock& clock) {
    return std::make_unique<SocketCanInterface>(name, clock);
}

#else

std::unique_ptr<CanInterface> openCanInterface(const std::string& name, desk::Clock&) {
    throw Error("cannot open CAN interface " + name + ": SocketCAN is a part of Linux, and this system has none");
}

#endif

}  // namespace tessaro::bus
