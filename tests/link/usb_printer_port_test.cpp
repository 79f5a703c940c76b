// The USB printer port on a pseudo-terminal standing in for /dev/usb/lp0:
// the same open, write and read calls, no line settings.

#include "link/serial_port.h"
#include "link/system_ports.h"

#include <chrono>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class UsbPrinterPortOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0);
        termios raw{};
        ::tcgetattr(m_master, &raw);
        ::cfmakeraw(&raw); // the printer's bytes pass unchanged
        ::tcsetattr(m_master, TCSANOW, &raw);
        m_slave = ::ptsname(m_master);
    }
    void TearDown() override { ::close(m_master); }
    // The printer answers; the bytes cross a moment later.
    void reply(std::vector<std::uint8_t> bytes) {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), std::ssize(bytes));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    int m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    std::string m_slave;
    const std::unique_ptr<SerialPort> m_port = createUsbPrinterPort();
};

TEST_F(UsbPrinterPortOnPty, WritesAllTakesRepliesAndKeepsNoLineState) {
    // Settings a line could not take are ignored: there is no line.
    ASSERT_FALSE(m_port->open(m_slave, SerialSettings{12345, 'x', 9, 3}));
    ASSERT_FALSE(m_port->write(std::vector<std::uint8_t>{0x1B /*ESC*/, '@', 0x0A, 0xFF}));
    EXPECT_EQ(m_port->outputQueueCount(), 0); // taken once write returned
    std::uint8_t taken[8] = {};
    ASSERT_EQ(::read(m_master, taken, sizeof taken), 4);
    EXPECT_THAT(std::span(taken, 4), ElementsAre(0x1B, '@', 0x0A, 0xFF));

    reply({0xAA, 0x00});
    EXPECT_EQ(m_port->inputQueueCount(), 2);
    EXPECT_THAT(m_port->readAll(), ElementsAre(0xAA, 0x00));
    EXPECT_EQ(m_port->inputQueueCount(), 0);
    // A reply sent while no operation had the port is not the next one's.
    m_port->close();
    reply({0xAA});
    ASSERT_FALSE(m_port->open(m_slave, SerialSettings{}));
    EXPECT_EQ(m_port->inputQueueCount(), 0);
}

TEST_F(UsbPrinterPortOnPty, FaultsGiveTheirKindAndNameTheDevice) {
    enum Fault { NoDevice, HeldElsewhere, Unplugged };
    const std::pair<PortErrorKind, const char*> kExpected[] = {
        {PortErrorKind::NoSuchPort, ". Check the printer's USB cable"},
        {PortErrorKind::InUse, " is in use by another program"},
        {PortErrorKind::Disconnected, " has gone away"}};
    for (const Fault fault : {NoDevice, HeldElsewhere, Unplugged}) {
        SCOPED_TRACE(fault);
        const std::string device = fault == NoDevice ? "/dev/usb/ordalia-no-lp" : m_slave;
        const auto other = createUsbPrinterPort();
        if (fault == HeldElsewhere) {
            ASSERT_FALSE(other->open(device, SerialSettings{}));
        }
        auto error = m_port->open(device, SerialSettings{});
        if (fault == Unplugged) {
            ::close(m_master); // the pseudo-terminal's hang-up
            m_master = -1;
            error = m_port->write(std::vector<std::uint8_t>(64, 0x55));
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind, kExpected[fault].first) << error->message;
        EXPECT_THAT(error->message, HasSubstr(device + kExpected[fault].second));
    }
}

} // namespace
} // namespace ordalia
