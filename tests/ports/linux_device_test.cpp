// What only Linux tells or does: which program holds a device, and the
// network port's waits on a peer that does not answer, each pumping the
// window at least every 50 ms (a whole second here only on a real fault).

#include "ports/posix_device.h"
#include "ports/system_ports.h"
#include "support/loopback_listener.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ordalia {
namespace {

using namespace std::chrono_literals;

TEST(DeviceHolders, TheProgramHoldingADeviceIsNamed) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ::grantpt(master);
    ::unlockpt(master);
    const std::string device = ::ptsname(master);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) { // holds the device until killed
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
        (void)!::write(ready[1], &fd, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_NE(deviceHolders(device).find("(pid " + std::to_string(child) + ")"), std::string::npos)
        << deviceHolders(device);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(deviceHolders(device), "");
    ::close(master);
}

struct Pumps {
    int count = 0;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration longest{};
    void operator()() {
        const auto now = std::chrono::steady_clock::now();
        longest = std::max(longest, now - last);
        last = now;
        ++count;
    }
};

TEST(NetworkPortWaits, AConnectNobodyTakesAndASendNobodyReadsPumpTheWindow) {
    for (const bool connect : {true, false}) {
        SCOPED_TRACE(connect ? "connect to a full backlog" : "send to a printer that stopped");
        testing::LoopbackListener printer;
        auto port = createNetworkPort();
        Pumps pumps;
        port->setWaitCallback([&] { pumps(); });
        std::optional<PortError> error;
        if (connect) {
            printer.fillBacklog();
            error = port->open(printer.where, {});
        } else {
            ASSERT_FALSE(port->open(printer.where, {}).has_value());
            error = port->write(std::vector<std::uint8_t>(8 << 20, 0x41));
        }
        ASSERT_TRUE(error.has_value());
        EXPECT_NE(error->message.find(connect ? "did not answer" : "took no more bytes"),
                  std::string::npos)
            << error->message;
        EXPECT_GT(pumps.count, 20);
        EXPECT_LT(pumps.longest, 1s);
    }
}

} // namespace
} // namespace ordalia
