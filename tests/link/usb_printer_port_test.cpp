// The USB printer port on a pseudo-terminal standing in for /dev/usb/lp0:
// the same open, write and read calls, no line settings.

#include "link/serial_port.h"
#include "link/system_ports.h"

#include <chrono>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
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
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(::grantpt(m_master), 0);
        ASSERT_EQ(::unlockpt(m_master), 0);
        termios raw{};
        ::tcgetattr(m_master, &raw);
        ::cfmakeraw(&raw); // the printer's bytes pass unchanged
        ::tcsetattr(m_master, TCSANOW, &raw);
        m_slave = ::ptsname(m_master);
    }
    void TearDown() override { closeMaster(); }
    void closeMaster() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    std::vector<std::uint8_t> printerReads(std::size_t count) {
        std::vector<std::uint8_t> got(count);
        std::size_t done = 0;
        while (done < count) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                break;
            const ssize_t n = ::read(m_master, got.data() + done, count - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        got.resize(done);
        return got;
    }
    // The reply crosses the pseudo-terminal a moment after it is written.
    static int waitForInput(SerialPort& port, int count) {
        int waiting = 0;
        for (int i = 0; i < 200 && (waiting = port.inputQueueCount()) < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return waiting;
    }

    int m_master = -1;
    std::string m_slave;
    const SerialSettings m_settings{};
};

TEST_F(UsbPrinterPortOnPty, WritesAllTakesRepliesAndKeepsNoLineState) {
    const auto port = createUsbPrinterPort();
    ASSERT_TRUE(port);
    // Settings a line could not take are ignored: there is no line.
    ASSERT_FALSE(port->open(m_slave, SerialSettings{12345, 'x', 9, 3}));
    ASSERT_FALSE(port->write(std::vector<std::uint8_t>{0x1B /*ESC*/, '@', 0x0A, 0xFF}));
    EXPECT_EQ(port->outputQueueCount(), 0); // taken once write returned
    EXPECT_THAT(printerReads(4), ElementsAre(0x1B, '@', 0x0A, 0xFF));

    EXPECT_EQ(port->inputQueueCount(), 0);
    const std::uint8_t reply[] = {0xAA, 0x00};
    ASSERT_EQ(::write(m_master, reply, 2), 2);
    EXPECT_EQ(waitForInput(*port, 2), 2);
    EXPECT_THAT(port->readAll(), ElementsAre(0xAA, 0x00));
    EXPECT_EQ(port->inputQueueCount(), 0);

    // A reply left unread by one operation is not the next one's.
    port->close();
    EXPECT_EQ(port->inputQueueCount(), -1);
    ASSERT_EQ(::write(m_master, reply, 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_FALSE(port->open(m_slave, m_settings));
    EXPECT_EQ(port->inputQueueCount(), 0);
}

TEST_F(UsbPrinterPortOnPty, FaultsGiveTheirKindAndNameTheDevice) {
    struct Case {
        const char* name;
        std::string device;
        bool heldElsewhere;
        bool unplugged;
        PortErrorKind kind;
        const char* says;
    };
    const Case kCases[] = {
        {"no such device", "/dev/usb/ordalia-no-lp", false, false, PortErrorKind::NoSuchPort,
         "there is no device /dev/usb/ordalia-no-lp. Check the printer's USB cable"},
        {"held by another program", m_slave, true, false, PortErrorKind::InUse,
         " is in use by another program"},
        {"unplugged while sending", m_slave, false, true, PortErrorKind::Disconnected,
         " has gone away"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto port = createUsbPrinterPort();
        const auto other = createUsbPrinterPort();
        std::optional<PortError> error;
        if (c.heldElsewhere) {
            ASSERT_FALSE(other->open(c.device, m_settings));
        }
        error = port->open(c.device, m_settings);
        if (c.unplugged) {
            ASSERT_FALSE(error);
            closeMaster();
            error = port->write(std::vector<std::uint8_t>(64, 0x55));
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind, c.kind) << error->message;
        EXPECT_THAT(error->message, HasSubstr(c.says));
        EXPECT_THAT(error->message, HasSubstr(c.device));
    }
}

} // namespace
} // namespace ordalia
