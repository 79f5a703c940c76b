// Serial port on Windows: the comm API, opened overlapped. A write is waited
// on in slices that let the window repaint, and the reply wait sleeps on a
// one-byte read that the driver completes when a byte arrives, so neither
// blocks the window nor polls. The output and input queue counts are
// COMSTAT's cbOutQue and cbInQue from ClearCommError.

#include "ports/serial_port.h"
#include "ports/system_ports.h"
#include "ports/win32_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <windows.h>

namespace ordalia {
namespace {
PortError errorFromCode(DWORD code, const std::string& device) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return {"there is no port " + device + "."};
    case ERROR_ACCESS_DENIED:
        return {device + " is in use by another program."};
    default:
        return {device + ": " + systemMessage(code) + "."};
    }
}

// Reads either return at once with what is there, or wait for one byte up to
// a limit; writes give up after a limit that scales with the block.
COMMTIMEOUTS readTimeouts(DWORD waitForOneMs) {
    COMMTIMEOUTS timeouts{};
    if (waitForOneMs == 0)
        timeouts.ReadIntervalTimeout = MAXDWORD;
    else
        timeouts.ReadTotalTimeoutConstant = waitForOneMs;
    return timeouts;
}

class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort()
        : m_writeDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_readDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Win32SerialPort() override {
        close();
        CloseHandle(m_writeDone);
        CloseHandle(m_readDone);
    }
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override {
        close();
        if (!m_writeDone || !m_readDone)
            return PortError{device + ": " + systemMessage(GetLastError()) + "."};
        // COM10 and above need the device prefix.
        const std::string path = device.starts_with("\\\\") ? device : "\\\\.\\" + device;
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return errorFromCode(GetLastError(), device);

        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(handle, &dcb);
        dcb.BaudRate = settings.baud;
        dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
        dcb.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
        switch (settings.parity) {
        case 'e':
            dcb.Parity = EVENPARITY;
            break;
        case 'o':
            dcb.Parity = ODDPARITY;
            break;
        case 'm':
            dcb.Parity = MARKPARITY;
            break;
        case 's':
            dcb.Parity = SPACEPARITY;
            break;
        default:
            dcb.Parity = NOPARITY;
            break;
        }
        dcb.fBinary = TRUE;
        dcb.fParity = settings.parity != 'n';
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        if (!SetCommState(handle, &dcb)) {
            const DWORD code = GetLastError();
            CloseHandle(handle);
            if (code == ERROR_INVALID_PARAMETER)
                return PortError{device + " does not accept these line settings."};
            return errorFromCode(code, device);
        }
        m_timeouts = readTimeouts(0);
        SetCommTimeouts(handle, &m_timeouts);
        PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
        m_handle = handle;
        m_device = device;
        m_settings = settings;
        m_early.clear();
        return std::nullopt;
    }

    void close() override {
        if (m_handle != INVALID_HANDLE_VALUE) {
            CancelIo(m_handle);
            CloseHandle(m_handle);
            m_handle = INVALID_HANDLE_VALUE;
        }
    }

    bool isOpen() const override { return m_handle != INVALID_HANDLE_VALUE; }

    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (!isOpen())
            return PortError{"the port is not open."};
        const auto limit = lineSendLimit(bytes.size(), m_settings);
        COMMTIMEOUTS timeouts = m_timeouts;
        timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(limit.count());
        setTimeouts(timeouts);
        // The event is cleared by WriteFile as the write starts.
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_writeDone;
        const bool atOnce = WriteFile(m_handle, bytes.data(), static_cast<DWORD>(bytes.size()),
                                      nullptr, &overlapped);
        if (!atOnce && GetLastError() != ERROR_IO_PENDING)
            return errorFromCode(GetLastError(), m_device);
        // The driver ends the write at its own limit; this one only stands
        // for a driver that does not.
        const auto deadline = std::chrono::steady_clock::now() + limit + kWaitSlice;
        while (!atOnce &&
               WaitForSingleObject(m_writeDone, static_cast<DWORD>(kWaitSlice.count())) ==
                   WAIT_TIMEOUT) {
            if (std::chrono::steady_clock::now() > deadline) {
                CancelIo(m_handle);
                break;
            }
            waitingOnDevice();
        }
        DWORD written = 0;
        if (!GetOverlappedResult(m_handle, &overlapped, &written, TRUE) &&
            GetLastError() != ERROR_OPERATION_ABORTED)
            return errorFromCode(GetLastError(), m_device);
        if (written != bytes.size())
            return PortError{m_device + " took only " + std::to_string(written) + " of " +
                             std::to_string(bytes.size()) + " bytes in " +
                             std::to_string(limit.count()) + " ms."};
        return std::nullopt;
    }

    int outputQueueCount() override {
        COMSTAT stat{};
        DWORD errors = 0;
        if (!isOpen() || !ClearCommError(m_handle, &errors, &stat))
            return -1;
        return static_cast<int>(stat.cbOutQue);
    }

    int inputQueueCount() override {
        COMSTAT stat{};
        DWORD errors = 0;
        if (!isOpen() || !ClearCommError(m_handle, &errors, &stat))
            return -1;
        return static_cast<int>(stat.cbInQue + m_early.size());
    }

    std::vector<std::uint8_t> readAll() override {
        std::vector<std::uint8_t> out;
        out.swap(m_early);
        if (!isOpen())
            return out;
        setTimeouts(readTimeouts(0));
        std::uint8_t buffer[4096];
        for (;;) {
            const DWORD got = read(buffer, sizeof buffer);
            if (got == 0)
                break;
            out.insert(out.end(), buffer, buffer + got);
        }
        return out;
    }

    bool waitForInput(std::chrono::milliseconds limit) override {
        if (!isOpen())
            return false;
        if (!m_early.empty() || inputQueueCount() > 0)
            return true;
        // One byte, which the driver hands over as soon as it arrives; it is
        // kept for the next readAll().
        setTimeouts(readTimeouts(static_cast<DWORD>(std::max<long long>(limit.count(), 1))));
        std::uint8_t byte = 0;
        if (read(&byte, 1, limit + kWaitSlice) == 1)
            m_early.push_back(byte);
        return true;
    }

private:
    void setTimeouts(const COMMTIMEOUTS& timeouts) {
        if (std::memcmp(&timeouts, &m_timeouts, sizeof timeouts) == 0)
            return;
        COMMTIMEOUTS wanted = timeouts;
        if (SetCommTimeouts(m_handle, &wanted))
            m_timeouts = timeouts;
    }

    // An overlapped read within the timeouts set; `limit` only stands for a
    // driver that does not keep them.
    DWORD read(std::uint8_t* buffer, DWORD size,
               std::chrono::milliseconds limit = std::chrono::milliseconds(1000)) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_readDone;
        const bool atOnce = ReadFile(m_handle, buffer, size, nullptr, &overlapped);
        if (!atOnce && GetLastError() != ERROR_IO_PENDING)
            return 0;
        if (!atOnce &&
            WaitForSingleObject(m_readDone, static_cast<DWORD>(limit.count())) == WAIT_TIMEOUT)
            CancelIo(m_handle);
        DWORD got = 0;
        if (!GetOverlappedResult(m_handle, &overlapped, &got, TRUE))
            return 0;
        return got;
    }

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    HANDLE m_writeDone = nullptr;
    HANDLE m_readDone = nullptr;
    COMMTIMEOUTS m_timeouts{};
    std::string m_device;
    SerialSettings m_settings;
    std::vector<std::uint8_t> m_early; // read while waiting for input, not yet handed over
};

} // namespace

std::unique_ptr<SerialPort> createLineSerialPort() {
    return std::make_unique<Win32SerialPort>();
}

} // namespace ordalia
