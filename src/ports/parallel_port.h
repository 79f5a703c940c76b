#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ordalia {

// Register access to the PC parallel ports, addressed as the ISA I/O ports
// 0x378-0x37A (LPT1) and 0x278-0x27A (LPT2): data, status, control.
class ParallelPort {
public:
    virtual ~ParallelPort() = default;

    // Reads the register at `address`. Nothing when the port cannot be reached;
    // lastError() then says why.
    virtual std::optional<std::uint8_t> read(std::uint16_t address) = 0;
    // Writes the register at `address`; false when the port cannot be reached.
    virtual bool write(std::uint16_t address, std::uint8_t value) = 0;
    virtual std::string lastError() const = 0;
    // Lets go of any device handle taken by read or write.
    virtual void release() = 0;
};

} // namespace ordalia
