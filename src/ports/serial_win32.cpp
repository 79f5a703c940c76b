// Serial port on Windows: the comm API. The output and input queue counts are
// COMSTAT's cbOutQue and cbInQue from ClearCommError.

#include "ports/serial_port.h"
#include "ports/system_ports.h"
#include "ports/win32_device.h"

#include <algorithm>
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

class Win32SerialPort final : public SerialPort {
public:
    ~Win32SerialPort() override { close(); }

    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override {
        close();
        const std::string path = "\\\\.\\" + device; // COM10 and above need the prefix
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
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
        // Reads return at once with what is there; writes give up after a
        // limit that scales with the block (set per write).
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        SetCommTimeouts(handle, &timeouts);
        PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
        m_handle = handle;
        m_device = device;
        m_settings = settings;
        return std::nullopt;
    }

    void close() override {
        if (m_handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_handle);
            m_handle = INVALID_HANDLE_VALUE;
        }
    }

    bool isOpen() const override { return m_handle != INVALID_HANDLE_VALUE; }

    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (!isOpen())
            return PortError{"the port is not open."};
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.WriteTotalTimeoutConstant =
            static_cast<DWORD>(lineSendLimit(bytes.size(), m_settings).count());
        SetCommTimeouts(m_handle, &timeouts);
        DWORD written = 0;
        if (!WriteFile(m_handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return errorFromCode(GetLastError(), m_device);
        if (written != bytes.size())
            return PortError{m_device + " took only " + std::to_string(written) + " of " +
                             std::to_string(bytes.size()) + " bytes."};
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
        return static_cast<int>(stat.cbInQue);
    }

    std::vector<std::uint8_t> readAll() override {
        std::vector<std::uint8_t> out;
        std::uint8_t buffer[4096];
        for (;;) {
            DWORD got = 0;
            if (!isOpen() || !ReadFile(m_handle, buffer, sizeof buffer, &got, nullptr) || got == 0)
                break;
            out.insert(out.end(), buffer, buffer + got);
        }
        return out;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::string m_device;
    SerialSettings m_settings;
};

} // namespace

std::unique_ptr<SerialPort> createLineSerialPort() {
    return std::make_unique<Win32SerialPort>();
}

} // namespace ordalia
