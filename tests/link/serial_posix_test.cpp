// The termios port against a real pseudo-terminal: raw bytes both ways, the
// queue counts, and the messages for devices that cannot be opened.

#include "link/serial_port.h"
#include "link/system_ports.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace ordalia {
namespace {

class PtyPair {
public:
    PtyPair() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(m_master);
        unlockpt(m_master);
        m_slave = ptsname(m_master);
    }
    ~PtyPair() { ::close(m_master); }
    int master() const { return m_master; }
    const std::string& slave() const { return m_slave; }

    std::vector<std::uint8_t> readMaster(std::size_t want) {
        std::vector<std::uint8_t> out;
        while (out.size() < want) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                break;
            std::uint8_t buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

private:
    int m_master = -1;
    std::string m_slave;
};

TEST(SerialPosix, RawBytesBothWaysOverAPty) {
    PtyPair pty;
    auto port = createSystemSerialPort();
    ASSERT_FALSE(port->open(pty.slave(), *parseSerialSettings("115200,n,8,1", nullptr)));
    // Every byte value, including the ones a terminal would translate.
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<std::uint8_t>(i);
    ASSERT_FALSE(port->write(all));
    EXPECT_EQ(port->outputQueueCount(), 0); // a pty shows no output queue
    EXPECT_EQ(pty.readMaster(256), all);

    const std::uint8_t reply[] = {0xAA, 0x0D, 0x0A, 0x03};
    ASSERT_EQ(::write(pty.master(), reply, sizeof reply), 4);
    for (int i = 0; i < 100 && port->inputQueueCount() < 4; ++i)
        ::usleep(1000);
    EXPECT_EQ(port->inputQueueCount(), 4);
    EXPECT_THAT(port->readAll(), ::testing::ElementsAre(0xAA, 0x0D, 0x0A, 0x03));
    EXPECT_EQ(port->inputQueueCount(), 0);
    port->close();
    EXPECT_FALSE(port->isOpen());
}

TEST(SerialPosix, OpenDiscardsStaleInput) {
    PtyPair pty;
    auto port = createSystemSerialPort();
    const auto settings = *parseSerialSettings("9600,n,8,1", nullptr);
    ASSERT_FALSE(port->open(pty.slave(), settings));
    const std::uint8_t stale[] = {1, 2, 3};
    ASSERT_EQ(::write(pty.master(), stale, 3), 3);
    ::usleep(20000);
    port->close();
    ASSERT_FALSE(port->open(pty.slave(), settings));
    EXPECT_EQ(port->inputQueueCount(), 0);
}

TEST(SerialPosix, SecondOpenOfTheSameDeviceIsRefusedAsInUse) {
    PtyPair pty;
    const auto settings = *parseSerialSettings("9600,n,8,1", nullptr);
    auto first = createSystemSerialPort();
    auto second = createSystemSerialPort();
    ASSERT_FALSE(first->open(pty.slave(), settings));
    const auto error = second->open(pty.slave(), settings);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, PortErrorKind::InUse);
}

TEST(SerialPosix, FailuresNameTheDeviceAndTheReason) {
    auto port = createSystemSerialPort();
    const auto settings = *parseSerialSettings("9600,n,8,1", nullptr);
    auto error = port->open("/dev/ordalia-no-such-port", settings);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, PortErrorKind::NoSuchPort);
    EXPECT_THAT(error->message, ::testing::HasSubstr("/dev/ordalia-no-such-port"));

    error = port->open("/dev/null", settings); // not a terminal
    ASSERT_TRUE(error);
    EXPECT_THAT(error->message, ::testing::HasSubstr("/dev/null"));

    PtyPair pty;
    error = port->open(pty.slave(), *parseSerialSettings("12345,n,8,1", nullptr));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, PortErrorKind::BadSettings);
    EXPECT_FALSE(port->isOpen());
}

TEST(SerialPosix, WriteToAPeerThatStopsReadingGivesUpInsteadOfHanging) {
    PtyPair pty;
    auto port = createSystemSerialPort();
    ASSERT_FALSE(port->open(pty.slave(), *parseSerialSettings("115200,n,8,1", nullptr)));
    // Nobody reads the master: the pty buffer fills and stays full.
    std::vector<std::uint8_t> block(4096, 0x55);
    std::optional<PortError> error;
    for (int i = 0; i < 1000 && !error; ++i)
        error = port->write(block);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, PortErrorKind::Timeout);
}

} // namespace
} // namespace ordalia
