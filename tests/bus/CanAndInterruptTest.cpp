#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "bus/Interruption.h"
#include "bus/SocketCan.h"
#include "bus/SteadyClock.h"
#include "core/desk/DeskRun.h"
#include "core/desk/RegisterValues.h"
#include "core/documents/Errors.h"

#ifdef __linux__
#include <linux/can.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#endif

namespace tessaro {
namespace {

using std::chrono::milliseconds;

TEST(InterruptWatch, CtrlCCallsItsFunctionInsteadOfEndingTheProgram) {
    struct sigaction before {};
    sigaction(SIGINT, nullptr, &before);
    std::atomic<int> calls{0};
    {
        bus::InterruptWatch watch([&] { ++calls; });
        ::raise(SIGINT);
        for (int i = 0; i < 200 && calls.load() == 0; ++i) std::this_thread::sleep_for(milliseconds(5));
        EXPECT_EQ(calls.load(), 1);
    }
    struct sigaction after {};
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

TEST(SocketCan, AnInterfaceThatIsNotThereIsNamedWithTheSystemsReason) {
    bus::SteadyClock clock;
    try {
        bus::openCanInterface("nosuch0", clock);
        FAIL() << "opened";
    } catch (const Error& failure) {
        EXPECT_EQ(std::string(failure.what()).rfind("cannot open CAN interface nosuch0: ", 0), 0u) << failure.what();
    }
}

#ifdef __linux__

// A raw socket of the test's own on the interface, to hear the gateway and to ask it.
class Listener {
public:
    explicit Listener(const char* name) {
        m_socket = ::socket(PF_CAN, SOCK_RAW, CAN_RAW);
        ifreq request{};
        std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
        ::ioctl(m_socket, SIOCGIFINDEX, &request);
        sockaddr_can address{};
        address.can_family = AF_CAN;
        address.can_ifindex = request.ifr_ifindex;
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~Listener() { ::close(m_socket); }
    void send(canid_t identifier, std::initializer_list<std::uint8_t> data) {
        can_frame frame{};
        frame.can_id = identifier | CAN_EFF_FLAG;
        frame.can_dlc = std::uint8_t(data.size());
        std::copy(data.begin(), data.end(), frame.data);
        ASSERT_EQ(::write(m_socket, &frame, sizeof frame), ssize_t(sizeof frame));
    }
    // The frames heard within the time.
    std::vector<can_frame> hear(milliseconds time) {
        std::vector<can_frame> frames;
        const auto end = std::chrono::steady_clock::now() + time;
        for (;;) {
            const auto left = std::chrono::duration_cast<milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return frames;
            pollfd watched{m_socket, POLLIN, 0};
            if (::poll(&watched, 1, int(left.count())) <= 0) continue;
            can_frame frame{};
            if (::read(m_socket, &frame, sizeof frame) == ssize_t(sizeof frame)) frames.push_back(frame);
        }
    }

private:
    int m_socket = -1;
};

TEST(SocketCan, SendsTheFramesOnVcan0AndAnswersARequestThere) {
    if (!std::filesystem::exists("/sys/class/net/vcan0"))
        GTEST_SKIP() << "this machine has no vcan0 (ip link add dev vcan0 type vcan; ip link set up vcan0): the "
                        "SocketCAN test runs where it has one";
    DecodedImage image;
    image.frames = {{3, 0, 61444, 1, 0}, {6, 0, 65266, 0, 1}};
    image.definitions = {{1, 1, 0, 0, 3, {0x54}}, {2, 1, 1, 0, 3, {0x12}}};
    image.groups = {50};
    image.general = ImageGeneralParameters{5, 0x80, 0, 7, 0, 0, 50, 10, 2, 2, 1};
    const desk::GatewayModel model = desk::buildGatewayModel(image);
    const desk::RegisterValues values =
        desk::readRegisterValues("slave,kind,register,value\n1,holding,0,12000\n1,holding,1,0xABCD\n");
    bus::SteadyClock clock;
    desk::RegisterValuesMaster master(values, clock, milliseconds(50), 115200);
    const auto can = bus::openCanInterface("vcan0", clock);
    Listener listener("vcan0");
    desk::DeskRun run(model, master, clock, *can, can.get(), {milliseconds(600), 0}, 0);
    std::thread running([&] { run.run(); });
    std::vector<can_frame> heard = listener.hear(milliseconds(250));
    listener.send(0x18EA8021, {0xF2, 0xFE, 0x00});
    const std::vector<can_frame> later = listener.hear(milliseconds(250));
    heard.insert(heard.end(), later.begin(), later.end());
    running.join();

    std::size_t cyclic = 0, answers = 0;
    for (const can_frame& frame : heard) {
        const canid_t identifier = frame.can_id & CAN_EFF_MASK;
        if (identifier == 0x0CF00480 && frame.data[3] == 0xE0) {
            ++cyclic;
            EXPECT_EQ(frame.data[4], 0x2E);
            EXPECT_EQ(frame.can_dlc, 8);
        }
        if (identifier == 0x18FEF280) {
            ++answers;
            EXPECT_EQ(frame.data[0], 0xAB);
            EXPECT_EQ(frame.data[1], 0xCD);
        }
    }
    EXPECT_GE(cyclic, 5u);
    EXPECT_EQ(answers, 1u);
    EXPECT_EQ(run.summary().requestsAnswered, 1u);
}

#endif

}  // namespace
}  // namespace tessaro
