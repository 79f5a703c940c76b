// Systems without ppdev have no way to the parallel port registers from a
// user's program: every access says so.

#include "ports/parallel_port.h"
#include "ports/system_ports.h"

namespace ordalia {
namespace {

class NoParallelPort final : public ParallelPort {
public:
    std::optional<std::uint8_t> read(std::uint16_t) override { return std::nullopt; }
    bool write(std::uint16_t, std::uint8_t) override { return false; }
    std::string lastError() const override {
        return "parallel ports are not supported on this system";
    }
    void release() override {}
};

} // namespace

std::unique_ptr<ParallelPort> createSystemParallelPort() {
    return std::make_unique<NoParallelPort>();
}

} // namespace ordalia
