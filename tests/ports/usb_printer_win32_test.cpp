// The USB printer port of Windows over a named pipe standing for the printer
// interface: what is written arrives, replies are taken as they come, a
// printer that takes nothing more is reported while the window goes on being
// pumped, and a printer that went away is seen.

#include "ports/serial_port.h"
#include "ports/system_ports.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace ordalia {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// The printer's end of the pipe.
class PrinterPipe {
public:
    PrinterPipe()
        : m_name("\\\\.\\pipe\\ordalia-usb-printer-" + std::to_string(GetCurrentProcessId())) {
        m_pipe = CreateNamedPipeA(m_name.c_str(), PIPE_ACCESS_DUPLEX,
                                  PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 512, 512, 0,
                                  nullptr);
    }
    ~PrinterPipe() { hangUp(); }

    const std::string& name() const { return m_name; }
    bool ready() const { return m_pipe != INVALID_HANDLE_VALUE; }
    void accept() { ConnectNamedPipe(m_pipe, nullptr); }

    Bytes read(std::size_t size) { // what one write put in the pipe
        Bytes bytes(size);
        DWORD got = 0;
        ReadFile(m_pipe, bytes.data(), static_cast<DWORD>(size), &got, nullptr);
        bytes.resize(got);
        return bytes;
    }
    void write(const Bytes& bytes) {
        DWORD written = 0;
        WriteFile(m_pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    void hangUp() {
        if (m_pipe != INVALID_HANDLE_VALUE) {
            DisconnectNamedPipe(m_pipe);
            CloseHandle(m_pipe);
            m_pipe = INVALID_HANDLE_VALUE;
        }
    }

private:
    std::string m_name;
    HANDLE m_pipe = INVALID_HANDLE_VALUE;
};

struct UsbPrinterWin32 : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(printer.ready());
        ASSERT_FALSE(port->open(printer.name(), {}).has_value());
        printer.accept();
    }

    PrinterPipe printer;
    std::unique_ptr<SerialPort> port = createSystemSerialPort();
};

TEST_F(UsbPrinterWin32, BytesGoOutAndRepliesComeBackOnTheirNotice) {
    const Bytes request = {0x10, 0x04, 0x01, 0x1D, 0x49, 0x43};
    ASSERT_FALSE(port->write(request).has_value());
    EXPECT_EQ(port->outputQueueCount(), 0);
    EXPECT_EQ(printer.read(request.size()), request);

    // Nothing sent: the wait sleeps its whole slice, it does not return at once.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(port->waitForInput(200ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
    EXPECT_EQ(port->inputQueueCount(), 0);

    printer.write({0x12, 0xAA});
    EXPECT_TRUE(port->waitForInput(5s));
    EXPECT_EQ(port->inputQueueCount(), 2);
    EXPECT_EQ(port->readAll(), (Bytes{0x12, 0xAA}));
    EXPECT_EQ(port->inputQueueCount(), 0);
}

TEST_F(UsbPrinterWin32, APrinterThatTakesNothingMoreIsReportedWhileTheWindowIsPumped) {
    int pumps = 0;
    auto last = std::chrono::steady_clock::now();
    auto longest = std::chrono::steady_clock::duration::zero();
    port->setWaitCallback([&] {
        const auto now = std::chrono::steady_clock::now();
        longest = std::max(longest, now - last);
        last = now;
        ++pumps;
    });
    const Bytes page(64 * 1024, 0x41); // far beyond what the pipe holds
    const auto error = port->write(page);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->message.find("took no more bytes for 10000 ms"), std::string::npos)
        << error->message;
    EXPECT_GT(pumps, 20);
    // Only a window left for a whole second would fail, not a loaded machine.
    EXPECT_LT(longest, 1s);
}

TEST_F(UsbPrinterWin32, APrinterThatWentAwayIsSeen) {
    printer.hangUp();
    EXPECT_FALSE(port->waitForInput(1s) && port->inputQueueCount() >= 0);
    EXPECT_EQ(port->inputQueueCount(), -1);
    EXPECT_TRUE(port->write(Bytes{0x1B, 0x40}).has_value());
}

TEST(UsbPrinterWin32Open, AnAbsentPrinterIsNamed) {
    const std::string path =
        "\\\\?\\usb#vid_0519&pid_2013#none#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
    const auto error = createSystemSerialPort()->open(path, {});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message.rfind(path + " is not there.", 0), 0u) << error->message;
}

} // namespace
} // namespace ordalia
