// A printer's own USB port on Windows, as "USB Printing Support" (usbprint)
// installs it: no COM port, no line, reached through the printer interface's
// path (\\?\usb#vid_...#{28d78fad-...}) with the driver the printer already
// has. Writes are overlapped and waited on in slices that let the window
// repaint; one overlapped read stays posted, so the printer's replies are
// taken as they come and the reply wait sleeps on its completion.

#include "ports/serial_port.h"
#include "ports/system_ports.h"
#include "ports/win32_device.h"

#include <chrono>
#include <windows.h>

namespace ordalia {
namespace {

// A printer that takes nothing for this long (out of paper, cover open) is not
// coming back within the transfer.
constexpr std::chrono::milliseconds kStallLimit{10000};

std::wstring wide(const std::string& text) {
    const int size = static_cast<int>(text.size());
    const int wanted = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(wanted, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), wanted);
    return out;
}

PortError errorFromCode(DWORD code, const std::string& device) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_GEN_FAILURE:
        return {device + " is not there. Check the printer's USB cable and that it is "
                         "switched on."};
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_PIPE_BUSY:
        return {device + " is in use by another program (a print spooler holds it while it "
                         "prints)."};
    default:
        return {device + ": " + systemMessage(code) + "."};
    }
}

class Win32UsbPrinterPort final : public SerialPort {
public:
    Win32UsbPrinterPort()
        : m_writeDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_readDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Win32UsbPrinterPort() override {
        close();
        CloseHandle(m_writeDone);
        CloseHandle(m_readDone);
    }
    Win32UsbPrinterPort(const Win32UsbPrinterPort&) = delete;
    Win32UsbPrinterPort& operator=(const Win32UsbPrinterPort&) = delete;

    // The line settings mean nothing here and are not looked at.
    std::optional<PortError> open(const std::string& device, const SerialSettings&) override {
        close();
        if (!m_writeDone || !m_readDone)
            return PortError{device + ": " + systemMessage(GetLastError()) + "."};
        HANDLE handle = CreateFileW(wide(device).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return errorFromCode(GetLastError(), device);
        m_handle = handle;
        m_device = device;
        m_received.clear();
        m_failed = false;
        postRead();
        // A reply an earlier operation left unread is not ours.
        harvest();
        m_received.clear();
        return std::nullopt;
    }

    void close() override {
        if (m_handle == INVALID_HANDLE_VALUE)
            return;
        CancelIo(m_handle);
        if (m_reading) {
            DWORD got = 0;
            GetOverlappedResult(m_handle, &m_read, &got, TRUE);
            m_reading = false;
        }
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        m_received.clear();
    }

    bool isOpen() const override { return m_handle != INVALID_HANDLE_VALUE; }

    // Returns once the driver has taken every byte.
    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (!isOpen())
            return PortError{"the port is not open."};
        std::size_t done = 0;
        while (done < bytes.size()) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = m_writeDone;
            ResetEvent(m_writeDone);
            const DWORD size =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 65536));
            if (!WriteFile(m_handle, bytes.data() + done, size, nullptr, &overlapped) &&
                GetLastError() != ERROR_IO_PENDING)
                return errorFromCode(GetLastError(), m_device);
            const auto deadline = std::chrono::steady_clock::now() + kStallLimit;
            bool stalled = false;
            while (WaitForSingleObject(m_writeDone, static_cast<DWORD>(kWaitSlice.count())) ==
                   WAIT_TIMEOUT) {
                if (std::chrono::steady_clock::now() > deadline) {
                    CancelIo(m_handle);
                    stalled = true;
                    break;
                }
                waitingOnDevice();
            }
            DWORD written = 0;
            const bool finished = GetOverlappedResult(m_handle, &overlapped, &written, TRUE);
            // The cancel above also ended the posted read.
            if (stalled)
                restartRead();
            if (!finished && !stalled)
                return errorFromCode(GetLastError(), m_device);
            done += written;
            if (stalled && written < size)
                return PortError{m_device + " took no more bytes for " +
                                 std::to_string(kStallLimit.count()) +
                                 " ms. Is the printer on line and does it have paper?"};
        }
        return std::nullopt;
    }

    // Nothing stays queued once write() has returned.
    int outputQueueCount() override { return isOpen() ? 0 : -1; }

    int inputQueueCount() override {
        if (!isOpen())
            return -1;
        harvest();
        if (m_failed && m_received.empty())
            return -1;
        return static_cast<int>(m_received.size());
    }

    std::vector<std::uint8_t> readAll() override {
        harvest();
        std::vector<std::uint8_t> out;
        out.swap(m_received);
        return out;
    }

    bool waitForInput(std::chrono::milliseconds limit) override {
        if (!isOpen() || m_failed || !m_reading)
            return false;
        if (!m_received.empty())
            return true;
        WaitForSingleObject(m_readDone, static_cast<DWORD>(limit.count()));
        harvest();
        return true;
    }

private:
    // Keeps one read posted for whatever the printer sends.
    void postRead() {
        if (m_failed || m_reading)
            return;
        m_read = OVERLAPPED{};
        m_read.hEvent = m_readDone;
        ResetEvent(m_readDone);
        if (ReadFile(m_handle, m_buffer, sizeof m_buffer, nullptr, &m_read) ||
            GetLastError() == ERROR_IO_PENDING) {
            m_reading = true;
            return;
        }
        m_failed = true;
    }

    void restartRead() {
        if (m_reading) {
            DWORD got = 0;
            if (GetOverlappedResult(m_handle, &m_read, &got, TRUE))
                m_received.insert(m_received.end(), m_buffer, m_buffer + got);
            m_reading = false;
        }
        postRead();
    }

    // Takes what the posted read brought, if it has ended, and posts another.
    void harvest() {
        while (m_reading) {
            DWORD got = 0;
            if (!GetOverlappedResult(m_handle, &m_read, &got, FALSE)) {
                const DWORD code = GetLastError();
                if (code == ERROR_IO_INCOMPLETE)
                    return;
                m_reading = false;
                // A cancelled read is posted again; a device that went away
                // or a pipe whose other end closed is a failure.
                if (code != ERROR_OPERATION_ABORTED)
                    m_failed = true;
                postRead();
                continue;
            }
            m_received.insert(m_received.end(), m_buffer, m_buffer + got);
            m_reading = false;
            postRead();
        }
    }

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    HANDLE m_writeDone = nullptr;
    HANDLE m_readDone = nullptr;
    OVERLAPPED m_read{};
    bool m_reading = false;
    bool m_failed = false;
    std::uint8_t m_buffer[4096];
    std::string m_device;
    std::vector<std::uint8_t> m_received;
};

} // namespace

std::unique_ptr<SerialPort> createUsbPrinterPort() {
    return std::make_unique<Win32UsbPrinterPort>();
}

} // namespace ordalia
