// Parallel port registers on Windows through the Inp32/Out32 functions of
// inpout32.dll, loaded when first needed so the program runs without it.

#include "ports/parallel_port.h"
#include "ports/system_ports.h"

#include <windows.h>

namespace ordalia {
namespace {

class InpoutParallelPort final : public ParallelPort {
public:
    ~InpoutParallelPort() override {
        if (m_library)
            FreeLibrary(m_library);
    }

    std::optional<std::uint8_t> read(std::uint16_t address) override {
        if (!load())
            return std::nullopt;
        return static_cast<std::uint8_t>(m_inp(static_cast<short>(address)));
    }

    bool write(std::uint16_t address, std::uint8_t value) override {
        if (!load())
            return false;
        m_out(static_cast<short>(address), static_cast<short>(value));
        return true;
    }

    std::string lastError() const override { return m_error; }
    void release() override {}

private:
    using InpFn = short(__stdcall*)(short);
    using OutFn = void(__stdcall*)(short, short);

    bool load() {
        if (m_inp && m_out)
            return true;
        if (!m_library)
            m_library = LoadLibraryA("inpout32.dll");
        if (!m_library) {
            m_error = "inpout32.dll is not installed beside the program";
            return false;
        }
        // Through void* first: FARPROC has no parameters, so a direct cast warns.
        m_inp =
            reinterpret_cast<InpFn>(reinterpret_cast<void*>(GetProcAddress(m_library, "Inp32")));
        m_out =
            reinterpret_cast<OutFn>(reinterpret_cast<void*>(GetProcAddress(m_library, "Out32")));
        if (!m_inp || !m_out) {
            m_error = "inpout32.dll has no Inp32/Out32";
            return false;
        }
        return true;
    }

    HMODULE m_library = nullptr;
    InpFn m_inp = nullptr;
    OutFn m_out = nullptr;
    std::string m_error;
};

} // namespace

std::unique_ptr<ParallelPort> createSystemParallelPort() {
    return std::make_unique<InpoutParallelPort>();
}

} // namespace ordalia
