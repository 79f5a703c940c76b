#pragma once

#include "fake_clock.h"
#include "fake_serial_port.h"
#include "fake_ui.h"
#include "link/printer_link.h"
#include "link/services.h"
#include "link/transfer_gate.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <span>

namespace ordalia::testing {

// A program folder of its own in the temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() /
                 ("ordalia-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    std::filesystem::path write(const std::string& relative,
                                std::span<const std::uint8_t> bytes) const {
        const auto file = m_path / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return file;
    }
    std::filesystem::path write(const std::string& relative, const std::string& text) const {
        return write(relative,
                     std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
    std::vector<std::uint8_t> read(const std::string& relative) const {
        std::ifstream in(m_path / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path m_path;
};

// Fakes for everything an operation touches, wired into one Services.
struct Harness {
    // Which device an entry opens comes from this machine's ports unless the
    // program folder's "ports" names it: every entry is named, so no test
    // depends on what is plugged in (the fakes take any device).
    Harness() {
        std::string ports;
        for (int n = 1; n <= 8; ++n)
            ports += "COM " + std::to_string(n) + "=/dev/ttyS" + std::to_string(n - 1) + "\n";
        folder.write("ports", ports);
    }

    FakeClock clock;
    FakeSerialPort serial{clock};
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    TempFolder folder;
    LinkChoice choice; // COM 1 at 115200,n,8,1, serial

    Services services() {
        return Services{serial, parallel, clock, events, dialogs, gate, folder.path()};
    }
};

} // namespace ordalia::testing
