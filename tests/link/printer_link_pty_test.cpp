// Byte-at-a-time sending through the machine's own serial port: a test page
// reaches the virtual printer byte for byte, in runs rather than a write()
// a byte (which a USB serial adapter would hold to a byte a millisecond).

#include "support/printer_on_pty.h"
#include "testprint/test_pages.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

// The system port, with its write() calls counted.
class CountingPort final : public SerialPort {
public:
    explicit CountingPort(SerialPort& port) : m_port(port) {}
    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override {
        return m_port.open(device, settings);
    }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        ++writes;
        return m_port.write(bytes);
    }
    int outputQueueCount() override { return m_port.outputQueueCount(); }
    int inputQueueCount() override { return m_port.inputQueueCount(); }
    std::vector<std::uint8_t> readAll() override { return m_port.readAll(); }
    std::size_t writes = 0;

private:
    SerialPort& m_port;
};

using PrinterLinkOnPty = testing::PrinterOnPty;

TEST_F(PrinterLinkOnPty, TestPageGoesOutInRuns) {
    std::vector<std::uint8_t> page;
    for (int line = 0; page.size() < 20000; ++line)
        for (const char ch : "Line " + std::to_string(line) + " of the test page.\r\n")
            page.push_back(static_cast<std::uint8_t>(ch));
    program.write("testpage/rec1.p", page);
    CountingPort port(*serial);
    const Services counted{port, parallel, systemClock(), events, dialogs, gate, program.path()};

    EXPECT_EQ(SendTestPage(counted, choice, "testpage/rec1.p"), Outcome::Done);
    ASSERT_TRUE(printer->waitForBytes(page.size(), std::chrono::seconds(10)));
    EXPECT_EQ(printer->received(), page);
    EXPECT_LE(port.writes * 16, page.size());
}

} // namespace
} // namespace ordalia
