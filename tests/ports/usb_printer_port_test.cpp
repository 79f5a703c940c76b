// The USB printer port on a pseudo-terminal standing in for /dev/usb/lp0:
// the same open, write and read calls, no line settings.

#include "ports/serial_port.h"
#include "ports/system_ports.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace ordalia {
namespace {

TEST(UsbPrinterPort, OnAPseudoTerminal) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw); // the printer's bytes pass unchanged
    ::tcsetattr(master, TCSANOW, &raw);
    const std::string slave = ::ptsname(master);
    const auto port = createUsbPrinterPort();

    // Settings a line could not take are ignored: there is no line.
    ASSERT_FALSE(port->open(slave, SerialSettings{12345, 'x', 9, 3}));
    ASSERT_FALSE(port->write(std::vector<std::uint8_t>{0x1B /*ESC*/, '@', 0x0A, 0xFF}));
    std::uint8_t taken[8] = {};
    ASSERT_EQ(::read(master, taken, sizeof taken), 4);
    EXPECT_THAT(std::span(taken, 4), ::testing::ElementsAre(0x1B, '@', 0x0A, 0xFF));
    ASSERT_EQ(::write(master, "\xAA\x00", 2), 2); // the printer answers
    ::usleep(50'000);                             // the bytes cross a moment later
    EXPECT_EQ(port->inputQueueCount(), 2);
    EXPECT_THAT(port->readAll(), ::testing::ElementsAre(0xAA, 0x00));
    EXPECT_EQ(port->inputQueueCount(), 0);
    // A reply sent while no operation had the port is not the next one's.
    port->close();
    ASSERT_EQ(::write(master, "\xAA", 1), 1);
    ::usleep(50'000);
    ASSERT_FALSE(port->open(slave, SerialSettings{}));
    EXPECT_EQ(port->inputQueueCount(), 0);

    // Each fault names the device and what happened to it.
    const auto other = createUsbPrinterPort();
    const auto held = other->open(slave, SerialSettings{});
    const auto absent = other->open("/dev/usb/ordalia-no-lp", SerialSettings{});
    ::close(master); // the pseudo-terminal's hang-up
    const auto unplugged = port->write(std::vector<std::uint8_t>(64, 0x55));
    ASSERT_TRUE(held && absent && unplugged);
    EXPECT_THAT(held->message, ::testing::HasSubstr(slave + " is in use by another program"));
    EXPECT_THAT(absent->message,
                ::testing::HasSubstr("/dev/usb/ordalia-no-lp. Check the printer's USB cable"));
    EXPECT_THAT(unplugged->message, ::testing::HasSubstr(slave + " has gone away"));
}

} // namespace
} // namespace ordalia
