// How a fleet scales: one profile (settings, a logo, a 64 KB test page) on
// one printer alone, then on many at once; each printer is an
// ordalia-vprinter process of its own, so the CPU counted is the fleet's.
//
//   ordalia-bench-fleet [--serial N] [--network N]
//
// Serial printers are paced pseudo-terminals at 115200 bit/s; network
// printers on the loopback read at 230400 bit/s, about a fast receipt
// printer's print speed.

#include "common/files.h"
#include "fleet/fleet.h"
#include "fleet/profile.h"
#include "ports/system_ports.h"
#include "support/bmp_builder.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace ordalia;
using Clock = std::chrono::steady_clock;

struct VirtualPrinterProcess {
    pid_t pid = -1;
    std::string address; // the device or tcp:// address it prints
};

VirtualPrinterProcess startPrinter(bool network, int serial) {
    std::vector<std::string> args = {ORDALIA_VPRINTER_COMMAND, "--quiet", "--serial",
                                     "BENCH-" + std::to_string(serial)};
    // A network printer takes bytes at about a fast receipt printer's print
    // speed, 23 kB/s.
    args.insert(args.end(), {"--paced", "--baud", network ? "230400" : "115200"});
    if (network)
        args.insert(args.end(), {"--tcp", "0"});
    int out[2];
    if (::pipe(out) != 0)
        return {};
    VirtualPrinterProcess p;
    p.pid = ::fork();
    if (p.pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(out[0]);
    const auto at = line.find(network ? "tcp://" : "/dev/");
    if (at != std::string::npos)
        p.address = line.substr(at);
    return p;
}

void stopPrinter(const VirtualPrinterProcess& p) {
    if (p.pid > 0) {
        ::kill(p.pid, SIGTERM);
        ::waitpid(p.pid, nullptr, 0);
    }
}

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Run {
    double seconds = 0;
    double cpuPercent = 0;
    std::size_t succeeded = 0;
};

Run runFleet(const Profile& profile, bool network, int count) {
    std::vector<VirtualPrinterProcess> printers;
    std::string list;
    for (int i = 0; i < count; ++i) {
        printers.push_back(startPrinter(network, i + 1));
        list += printers.back().address + "\n";
    }
    const PrinterListRead read = parsePrinterList(list, "", {}, "115200,n,8,1");
    Run run;
    if (read.problems.empty()) {
        Fleet fleet(profile, read.printers, {0, [] { return createSystemSerialPort(); }});
        const double cpu = cpuSeconds();
        const auto start = Clock::now();
        fleet.run();
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        run.cpuPercent = 100.0 * (cpuSeconds() - cpu) / run.seconds;
        for (const PrinterRecord& r : fleet.records())
            run.succeeded += r.succeeded() ? 1 : 0;
    } else {
        std::cerr << read.problems.front() << "\n";
    }
    for (const auto& p : printers)
        stopPrinter(p);
    return run;
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// One printer alone, then `count` at once; the whole run is to stay within
// `limitPercent` of the one alone, and the fleet under `cpuLimit` % of a
// core where one is given.
void row(const Profile& profile, bool network, int count, double limitPercent,
         std::optional<double> cpuLimit) {
    std::cerr << (network ? "network" : "serial") << ": 1 printer, then " << count << " ..."
              << std::endl;
    const Run alone = runFleet(profile, network, 1);
    const Run many = runFleet(profile, network, count);
    const double over = 100.0 * (many.seconds - alone.seconds) / alone.seconds;
    const bool met = alone.succeeded == 1 && many.succeeded == static_cast<std::size_t>(count) &&
                     over <= limitPercent && (!cpuLimit || many.cpuPercent < *cpuLimit);
    std::cout << "| " << count
              << (network ? " network printers (loopback, 23 kB/s each)"
                          : " serial printers (paced ptys, 115200 bit/s)")
              << " | " << fixed(alone.seconds, 2) << " s, CPU " << fixed(alone.cpuPercent, 1)
              << " % | " << fixed(many.seconds, 2) << " s, CPU " << fixed(many.cpuPercent, 1)
              << " %, " << many.succeeded << " of " << count << " ok | " << (over >= 0 ? "+" : "")
              << fixed(over, 1) << " % | within " << fixed(limitPercent, 0) << " %"
              << (cpuLimit ? ", CPU under " + fixed(*cpuLimit, 0) + " %" : std::string()) << ": "
              << (met ? "met" : "NOT met") << " |" << std::endl;
}

} // namespace

int main(int argc, char* argv[]) {
    int serial = 8, network = 32;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--serial")
            serial = std::stoi(argv[i + 1]);
        else if (option == "--network")
            network = std::stoi(argv[i + 1]);
    }
    // The profile: the shipped settings, a 576 x 128 logo and a 64 KB page
    // of text lines.
    char folderTemplate[] = "/tmp/ordalia-bench-fleet-XXXXXX";
    const std::filesystem::path folder = ::mkdtemp(folderTemplate);
    std::filesystem::copy_file(std::filesystem::path(ORDALIA_BENCH_PROGRAM_DIR) / "user_setting",
                               folder / "user_setting");
    std::filesystem::copy_file(std::filesystem::path(ORDALIA_BENCH_PROGRAM_DIR) / "flash3",
                               folder / "flash3");
    const auto logo = testing::monochromeBmp(testing::filledPicture(576, 128, '#'));
    std::filesystem::create_directories(folder / "logos");
    (void)writeFileBytes(folder / "logos" / "bench.bmp", logo);
    const std::string list =
        "1,\"logos/bench.bmp\",\"bench.bmp\"," + std::to_string(logo.size()) + ",576,128\r\n";
    (void)writeFileBytes(
        folder / "Logo_Path",
        std::span(reinterpret_cast<const std::uint8_t*>(list.data()), list.size()));
    std::string page;
    for (int line = 0; page.size() + 48 <= 65536; ++line)
        page += "Line " + std::to_string(line) + ": the quick brown fox jumps over\n";
    (void)writeFileBytes(
        folder / "page.p",
        std::span(reinterpret_cast<const std::uint8_t*>(page.data()), page.size()));
    const std::string steps = "settings\nlogos\ntest-page page.p\n";
    (void)writeFileBytes(
        folder / "profile",
        std::span(reinterpret_cast<const std::uint8_t*>(steps.data()), steps.size()));
    const ProfileRead read = readProfile(folder);
    if (!read.profile || !read.problems.empty()) {
        std::cerr << "the bench profile does not read: " << read.problems.front() << "\n";
        return 1;
    }
    std::cout << "Profile: settings, a " << logo.size() << "-byte logo, a " << page.size()
              << "-byte test page\n\n"
              << "| Printers | One alone | All at once | Over one alone | Target |\n"
              << "|---|---:|---:|---:|---|\n";
    row(*read.profile, false, serial, 5, 20.0);
    row(*read.profile, true, network, 10, std::nullopt);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
