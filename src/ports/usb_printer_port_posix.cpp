// A printer's own USB port of the printer class (/dev/usb/lp0 on Linux). There
// is no line: no speed, no framing, no queue count. The driver takes one
// transfer at a time, so a write is done when the device is writable again;
// the printer's replies, if it sends any, come from the read side.

#include "ports/posix_device.h"
#include "ports/serial_port.h"
#include "ports/system_ports.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace ordalia {
namespace {

// A printer that takes nothing for this long (out of paper, cover open,
// switched off behind a hub that keeps the port) is not coming back within
// the transfer.
constexpr std::chrono::milliseconds kStallLimit{10000};

const DeviceAdvice kUsbPrinterAdvice{
    .missing = "Check the printer's USB cable and that it is switched on.",
    .permission = "USB printer ports belong to the group lp: add your user to it "
                  "(sudo usermod -aG lp $USER), then log out and in again.",
    .busy = " (a print spooler holds it while it prints)",
    .noDeviceIsGone = true,
};

class UsbPrinterPort final : public SerialPort {
public:
    ~UsbPrinterPort() override { close(); }

    // The line settings mean nothing here and are not looked at.
    std::optional<PortError> open(const std::string& device, const SerialSettings&) override {
        close();
        PortError error;
        m_fd = openExclusive(device, kUsbPrinterAdvice, error);
        if (!m_fd.valid())
            return error;
        m_device = device;
        m_received.clear();
        // A reply an earlier operation left unread is not ours.
        readWaiting();
        m_received.clear();
        return std::nullopt;
    }

    void close() override {
        closeExclusive(m_fd);
        m_received.clear();
    }

    bool isOpen() const override { return m_fd.valid(); }

    // Returns once the printer has taken every byte: the last transfer has
    // completed when the device is writable again.
    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (!m_fd.valid())
            return PortError{"the port is not open."};
        std::size_t done = 0;
        auto deadline = std::chrono::steady_clock::now() + kStallLimit;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd.get(), bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                deadline = std::chrono::steady_clock::now() + kStallLimit;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return errorFromErrno(errno, m_device, kUsbPrinterAdvice);
            if (auto error = awaitWritable(deadline))
                return error;
        }
        return awaitWritable(deadline);
    }

    // Nothing stays queued once write() has returned.
    int outputQueueCount() override { return m_fd.valid() ? 0 : -1; }

    int inputQueueCount() override {
        if (!m_fd.valid())
            return -1;
        readWaiting();
        return static_cast<int>(m_received.size());
    }

    std::vector<std::uint8_t> readAll() override {
        readWaiting();
        std::vector<std::uint8_t> out;
        out.swap(m_received);
        return out;
    }

private:
    std::optional<PortError> awaitWritable(std::chrono::steady_clock::time_point deadline) {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return PortError{m_device + " took no more bytes for " +
                                 std::to_string(kStallLimit.count()) + " ms."};
            pollfd p{m_fd.get(), POLLOUT, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
            if (ready < 0 && errno != EINTR)
                return errorFromErrno(errno, m_device, kUsbPrinterAdvice);
            if (ready == 0)
                waitingOnDevice();
            if (ready <= 0)
                continue;
            if (p.revents & POLLOUT)
                return std::nullopt;
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
                return PortError{m_device + " has hung up."};
        }
    }

    // Moves what the printer has sent into m_received without waiting.
    void readWaiting() {
        if (!m_fd.valid())
            return;
        std::uint8_t buffer[4096];
        for (;;) {
            pollfd p{m_fd.get(), POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN))
                return;
            const ssize_t n = ::read(m_fd.get(), buffer, sizeof buffer);
            if (n > 0) {
                m_received.insert(m_received.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            return; // EAGAIN: nothing more; 0 or an error: nothing to read
        }
    }

    UniqueFd m_fd;
    std::string m_device;
    std::vector<std::uint8_t> m_received;
};

} // namespace

std::unique_ptr<SerialPort> createUsbPrinterPort() {
    return std::make_unique<UsbPrinterPort>();
}

} // namespace ordalia
