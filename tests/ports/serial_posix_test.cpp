// The termios port against the virtual printer on a real pseudo-terminal, for
// what only a real port shows.

#include "support/printer_on_pty.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

namespace ordalia {
namespace {

// The line as the terminal holds it after the port set it: framing, parity,
// raw mode, no flow control. A pseudo-terminal keeps every flag but the
// data bits and PARENB (always 8 bits, no parity), so parity shows in PARODD
// and CMSPAR alone.
class SerialLine : public testing::PrinterOnPty {};

TEST_F(SerialLine, OpenSetsTheLineAsTyped) {
    struct Case {
        const char* settings;
        tcflag_t set; // among CSTOPB, PARODD, CMSPAR, CRTSCTS
        speed_t speed;
    };
    const Case kCases[] = {
        {.settings = "115200,n,8,1", .set = 0, .speed = B115200},
        {.settings = "9600,e,7,2", .set = CSTOPB, .speed = B9600},
        {.settings = "19200,o,8,1", .set = PARODD, .speed = B19200},
        {.settings = "38400,m,7,1", .set = PARODD | CMSPAR, .speed = B38400},
        {.settings = "38400,s,5,1", .set = CMSPAR, .speed = B38400},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.settings);
        ASSERT_FALSE(serial->open(printer->slavePath(), *parseSerialSettings(c.settings, nullptr)));
        const int fd = ::open(printer->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        termios tio{};
        ASSERT_EQ(::tcgetattr(fd, &tio), 0);
        ::close(fd);
        serial->close();
        EXPECT_EQ(tio.c_cflag & (CSTOPB | PARODD | CMSPAR | CRTSCTS), c.set);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | ICRNL), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(::cfgetospeed(&tio), c.speed);
    }
}

enum Fault { HeldElsewhere, HangsUp, StopsReading, NoDevice, NotATerminal, NoSuchSpeed };

class SerialPosix : public testing::PrinterOnPty, public ::testing::WithParamInterface<Fault> {};

TEST_P(SerialPosix, FaultsNameTheDevice) {
    const Fault fault = GetParam();
    const std::string device = fault == NoDevice       ? "/dev/ordalia-no-such-port"
                               : fault == NotATerminal ? "/dev/null"
                                                       : printer->slavePath();
    const auto settings =
        parseSerialSettings(fault == NoSuchSpeed ? "12345,n,8,1" : "115200,n,8,1", nullptr);
    printer->setDisconnectAfterBytes(fault == HangsUp ? std::optional<std::size_t>(1)
                                                      : std::nullopt);
    printer->setDieAfterBytes(fault == StopsReading ? std::optional<std::size_t>(1) : std::nullopt);

    std::optional<PortError> error = serial->open(device, *settings);
    if (fault == HeldElsewhere)
        error = createSystemSerialPort()->open(device, *settings);
    const std::vector<std::uint8_t> block(4096, 0x55);
    for (int i = 0; (fault == HangsUp || fault == StopsReading) && i < 1000 && !error; ++i)
        error = serial->write(block);
    ASSERT_TRUE(error);
    EXPECT_THAT(error->message, ::testing::HasSubstr(fault == NoSuchSpeed ? "12345" : device));
}

INSTANTIATE_TEST_SUITE_P(Faults, SerialPosix,
                         ::testing::Values(HeldElsewhere, HangsUp, StopsReading, NoDevice,
                                           NotATerminal, NoSuchSpeed));

} // namespace
} // namespace ordalia
