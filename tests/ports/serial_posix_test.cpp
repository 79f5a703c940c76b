// The termios port against the virtual printer on a real pseudo-terminal, for
// what only a real port shows.

#include "support/printer_on_pty.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

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
