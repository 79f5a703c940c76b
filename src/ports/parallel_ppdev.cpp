// Parallel port registers on Linux through ppdev: LPT1 (0x378) is
// /dev/parport0 and LPT2 (0x278) is /dev/parport1.

#include "ports/parallel_port.h"
#include "ports/system_ports.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace ordalia {
namespace {

class PpdevParallelPort final : public ParallelPort {
public:
    ~PpdevParallelPort() override { release(); }

    std::optional<std::uint8_t> read(std::uint16_t address) override {
        const int fd = claim(address);
        if (fd < 0)
            return std::nullopt;
        unsigned char value = 0;
        const int request = registerOf(address) == 1   ? PPRSTATUS
                            : registerOf(address) == 2 ? PPRCONTROL
                                                       : PPRDATA;
        if (::ioctl(fd, request, &value) != 0) {
            m_error = std::strerror(errno);
            return std::nullopt;
        }
        return value;
    }

    bool write(std::uint16_t address, std::uint8_t value) override {
        const int fd = claim(address);
        if (fd < 0)
            return false;
        unsigned char v = value;
        const int reg = registerOf(address);
        if (reg == 1) {
            m_error = "the status register cannot be written";
            return false;
        }
        if (::ioctl(fd, reg == 2 ? PPWCONTROL : PPWDATA, &v) != 0) {
            m_error = std::strerror(errno);
            return false;
        }
        return true;
    }

    std::string lastError() const override { return m_error; }

    void release() override {
        if (m_fd >= 0) {
            ::ioctl(m_fd, PPRELEASE);
            ::close(m_fd);
            m_fd = -1;
            m_device.clear();
        }
    }

private:
    static int registerOf(std::uint16_t address) { return address & 0x3; }

    int claim(std::uint16_t address) {
        const std::uint16_t base = address & ~0x3;
        std::string device;
        if (base == 0x378)
            device = "/dev/parport0";
        else if (base == 0x278)
            device = "/dev/parport1";
        else {
            m_error = "no parallel port at that address";
            return -1;
        }
        if (m_fd >= 0 && m_device == device)
            return m_fd;
        release();
        const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            m_error = device + ": " + std::strerror(errno) +
                      (errno == EACCES ? " (parallel ports belong to the group lp: add your "
                                         "user to it and log in again)"
                                       : "");
            return -1;
        }
        if (::ioctl(fd, PPCLAIM) != 0) {
            m_error = device + ": " + std::strerror(errno);
            ::close(fd);
            return -1;
        }
        m_fd = fd;
        m_device = device;
        return fd;
    }

    int m_fd = -1;
    std::string m_device;
    std::string m_error;
};

} // namespace

std::unique_ptr<ParallelPort> createSystemParallelPort() {
    return std::make_unique<PpdevParallelPort>();
}

} // namespace ordalia
