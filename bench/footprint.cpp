// ordalia-bench-footprint: the window's start-up time and the peak memory of
// the window and of the command line, each a process of its own, measured
// from outside with wait4's resource use.
//
//   ordalia-bench-footprint [--runs N]

#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "ports/port_names.h"
#include "support/bmp_builder.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ordalia::bench {
namespace {

using namespace std::chrono_literals;
const std::filesystem::path kProgramDir = ORDALIA_BENCH_PROGRAM_DIR;

struct ChildRun {
    bool started = false;
    int status = 0;
    double wallMs = 0;
    long maxRssKb = 0;
    std::string output;
};

// Runs `argv` with `env` added, its output to a pipe. With `stopAfter`, the
// child is sent SIGTERM after that long (the window does not end by itself).
// No wait is unbounded: a child that outlives `limit` is killed.
ChildRun runChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                  std::optional<std::chrono::milliseconds> stopAfter,
                  std::chrono::milliseconds limit = 60s) {
    ChildRun run;
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e);
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> args, envp;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    // The platform plugin's notes are not part of the table.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return run;
    }
    run.started = true;
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    bool stopped = false;
    rusage usage{};
    for (;;) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
            run.output.append(buffer, static_cast<std::size_t>(n));
        int status = 0;
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            run.status = status;
            break;
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (stopAfter && !stopped && elapsed >= *stopAfter) {
            ::kill(pid, SIGTERM);
            stopped = true;
        }
        if (elapsed >= limit)
            ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(2ms);
    }
    run.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKb = usage.ru_maxrss;
    ::close(pipeFds[0]);
    return run;
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string megabytes(long kb) {
    return fixed(static_cast<double>(kb) / 1024.0, 1) + " MB";
}

// A program folder with one logo in its list, for the command line's logo
// download.
void prepareLogoFolder(testing::TempFolder& folder) {
    testing::FakeParallelPort parallel;
    testing::CountingEventPump events;
    testing::RecordingDialogs dialogs;
    testing::Harness unused;
    TransferGate gate;
    Services services{unused.serial, parallel, unused.clock, events, dialogs, gate, folder.path()};
    std::vector<std::string> picture(256, std::string(384, '.'));
    for (std::size_t r = 0; r < picture.size(); ++r)
        for (std::size_t c = 0; c < picture[r].size(); ++c)
            if ((r / 8 + c / 8) % 2 == 0)
                picture[r][c] = '#';
    const auto path = folder.write("pictures/logo.bmp", testing::BmpBuilder{picture}.build());
    LogoLibrary library;
    auto buffers = makeLogoBuffers();
    if (AddLogoFile(services, library, *buffers, {path, "logo.bmp"}) != Outcome::Done)
        throw std::runtime_error("the benchmark's logo is refused by the library");
}

} // namespace
} // namespace ordalia::bench

int main(int argc, char* argv[]) {
    using namespace ordalia::bench;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::cerr << "Usage: ordalia-bench-footprint [--runs N]\n";
            return 2;
        }
    }
    const std::vector<std::string> offscreen = {"QT_QPA_PLATFORM=offscreen"};
    int failures = 0;

    // The window's start-up: the bench's own copy of main(), so it can say
    // when the window is shown; the whole process is timed from outside too.
    const auto startupProgram = kProgramDir / "ordalia-bench-window";
    std::vector<double> shownMs, processMs;
    long windowRss = 0;
    for (int i = 0; i < runs; ++i) {
        const ChildRun run =
            runChild({startupProgram.string(), kProgramDir.string()}, offscreen, std::nullopt);
        double ms = 0;
        if (!run.started || !WIFEXITED(run.status) || WEXITSTATUS(run.status) != 0 ||
            std::sscanf(run.output.c_str(), "shown_ms %lf", &ms) != 1) {
            std::cerr << "window start-up run failed: " << run.output << "\n";
            ++failures;
            continue;
        }
        shownMs.push_back(ms);
        processMs.push_back(run.wallMs);
        windowRss = std::max(windowRss, run.maxRssKb);
    }

    // The program itself, left up for two seconds and then ended.
    const auto windowProgram = kProgramDir / "ordalia";
    long programRss = 0;
    {
        const ChildRun run = runChild({windowProgram.string()}, offscreen, 2000ms);
        if (run.started)
            programRss = run.maxRssKb;
        else
            ++failures;
    }

    // The command line: a logo download to the virtual printer, and the code
    // page image built from the shipped fonts.
    const auto cliProgram = kProgramDir / "ordalia-cli";
    std::string cliLogoRow = "not built";
    std::string cliImageRow = "not built";
    const auto describe = [&](const ChildRun& run, bool ok, const std::string& what) {
        if (run.started && WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0 && ok)
            return megabytes(run.maxRssKb) + " (" + what + ", " + fixed(run.wallMs, 0) + " ms)";
        ++failures;
        return "failed (" + what + ", exit status " +
               std::to_string(WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1) + ")";
    };
    if (std::filesystem::exists(cliProgram)) {
        ordalia::testing::TempFolder folder;
        prepareLogoFolder(folder);
        ordalia::vprinter::VirtualPrinter printer;
        printer.start();
        const ChildRun logo =
            runChild({cliProgram.string(), "--quiet", "--folder", folder.path().string(), "--port",
                      printer.slavePath(), "logo", "download"},
                     {}, std::nullopt);
        const bool stored = printer.waitUntil([&] { return !printer.logos().empty(); }, 5s);
        cliLogoRow = describe(logo, stored, "logo download");
        printer.stop();

        std::filesystem::copy(kProgramDir / "Codepage Table", folder.path() / "Codepage Table",
                              std::filesystem::copy_options::recursive);
        const auto out = folder.path() / "image.bin";
        const ChildRun image = runChild({cliProgram.string(), "--quiet", "--folder",
                                         folder.path().string(), "codepage", "image", out.string()},
                                        {}, std::nullopt);
        std::error_code ec;
        const bool written = std::filesystem::file_size(out, ec) == 65536;
        cliImageRow = describe(image, written, "codepage image");
    }

    std::cout << "| Measure | Value |\n|---|---:|\n";
    std::cout << "| Window start-up, to shown with its events processed (median of " << runs
              << ") | " << (shownMs.empty() ? "failed" : fixed(median(shownMs), 0) + " ms")
              << " |\n";
    std::cout << "| Window process, start to exit (median of " << runs << ") | "
              << (processMs.empty() ? "failed" : fixed(median(processMs), 0) + " ms") << " |\n";
    std::cout << "| Peak memory, window (ordalia, offscreen, 2 s up) | "
              << (programRss ? megabytes(programRss) : "failed") << " |\n";
    std::cout << "| Peak memory, window start-up program | "
              << (windowRss ? megabytes(windowRss) : "failed") << " |\n";
    std::cout << "| Peak memory, ordalia-cli logo download | " << cliLogoRow << " |\n";
    std::cout << "| Peak memory, ordalia-cli codepage image | " << cliImageRow << " |\n";
    return failures == 0 ? 0 : 1;
}
