// ordalia-mktestpage SOURCE OUTPUT
//
// Assembles one test page source into the raw ESC/POS file the program sends.
// The source language is described in testpage_source.h and README.md. Any
// fault in the source is reported as "file:line: message" and the exit status
// is 1, so the build stops at the faulty page; no output is left behind then.

#include "testpage_source.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>

namespace {

constexpr const char* kToolName = "ordalia-mktestpage";

int usage() {
    std::cerr << "usage: " << kToolName << " SOURCE OUTPUT\n"
              << "Assembles a test page source into its raw printer bytes.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return usage();
    const std::string sourceName = argv[1];
    const std::filesystem::path output = argv[2];

    std::ifstream in(sourceName, std::ios::binary);
    if (!in) {
        std::cerr << kToolName << ": cannot read " << sourceName << "\n";
        return 2;
    }
    const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        std::cerr << kToolName << ": cannot read " << sourceName << "\n";
        return 2;
    }

    const auto assembly = ordalia::testpages::assemble(source);
    std::error_code ignored;
    if (!assembly.ok()) {
        for (const auto& error : assembly.errors)
            std::cerr << ordalia::testpages::describeError(sourceName, error) << "\n";
        // A stale page from an earlier run must not ship in place of this one.
        std::filesystem::remove(output, ignored);
        return 1;
    }

    // Written beside the target and renamed, so a failed write never leaves a
    // cut-off page that looks up to date.
    auto partial = output;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(assembly.bytes.data()),
                  static_cast<std::streamsize>(assembly.bytes.size()));
        out.close();
        if (!out) {
            std::cerr << kToolName << ": cannot write " << partial.string() << "\n";
            std::filesystem::remove(partial, ignored);
            return 2;
        }
    }
    std::error_code renamed;
    std::filesystem::rename(partial, output, renamed);
    if (renamed) {
        std::cerr << kToolName << ": cannot write " << output.string() << ": " << renamed.message()
                  << "\n";
        std::filesystem::remove(partial, ignored);
        return 2;
    }
    return 0;
}
