// The port every operation is handed: each open() picks the link the device
// name stands for and hands every later call to it.

#include "ports/port_names.h"
#include "ports/serial_port.h"
#include "ports/system_ports.h"

namespace ordalia {
namespace {

class DevicePort final : public SerialPort {
public:
    std::optional<PortError> open(const std::string& device,
                                  const SerialSettings& settings) override {
        close();
        switch (deviceKind(device)) {
        case DeviceKind::Network:
            m_port = createNetworkPort();
            break;
        case DeviceKind::UsbPrinter:
            m_port = createUsbPrinterPort();
            break;
        case DeviceKind::Line:
            m_port = createLineSerialPort();
            break;
        }
        if (!m_port)
            return PortError{device + " cannot be reached from this system."};
        m_port->setWaitCallback(m_callback);
        return m_port->open(device, settings);
    }
    void close() override {
        if (m_port)
            m_port->close();
        m_port.reset();
    }
    bool isOpen() const override { return m_port && m_port->isOpen(); }
    std::optional<PortError> write(std::span<const std::uint8_t> bytes) override {
        if (!m_port)
            return PortError{"the port is not open."};
        return m_port->write(bytes);
    }
    int outputQueueCount() override { return m_port ? m_port->outputQueueCount() : -1; }
    int inputQueueCount() override { return m_port ? m_port->inputQueueCount() : -1; }
    std::vector<std::uint8_t> readAll() override {
        return m_port ? m_port->readAll() : std::vector<std::uint8_t>{};
    }
    bool countsDelivery() const override { return !m_port || m_port->countsDelivery(); }

    bool waitForInput(std::chrono::milliseconds limit) override {
        return m_port && m_port->waitForInput(limit);
    }
    void setWaitCallback(std::function<void()> callback) override {
        m_callback = callback;
        if (m_port)
            m_port->setWaitCallback(std::move(callback));
    }

private:
    std::unique_ptr<SerialPort> m_port;
    std::function<void()> m_callback;
};

} // namespace

std::unique_ptr<SerialPort> createSystemSerialPort() {
    return std::make_unique<DevicePort>();
}

} // namespace ordalia
