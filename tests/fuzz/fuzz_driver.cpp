// Runs a fuzz target without libFuzzer: every file named on the command line
// (or found in a named folder) as a seed, then deterministic mutations of the
// seeds and random inputs. A crash or sanitizer report fails the test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void run(const std::vector<std::uint8_t>& input) {
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::vector<std::uint8_t>> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file())
                    seeds.push_back(readFile(entry.path()));
        } else if (std::filesystem::is_regular_file(path)) {
            seeds.push_back(readFile(path));
        }
    }
    seeds.push_back({});
    for (const auto& seed : seeds)
        run(seed);

    std::mt19937 random(20261206);
    std::size_t runs = 0;
    for (int round = 0; round < 4000; ++round) {
        std::vector<std::uint8_t> input = seeds[random() % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            switch (random() % 5) {
            case 0:  // flip a byte
                if (!input.empty())
                    input[random() % input.size()] = static_cast<std::uint8_t>(random());
                break;
            case 1:  // an extreme value
                if (!input.empty())
                    input[random() % input.size()] = (random() & 1) ? 0xFF : 0x80;
                break;
            case 2:  // cut
                if (!input.empty())
                    input.resize(random() % input.size());
                break;
            case 3:  // grow
                for (int k = static_cast<int>(random() % 64); k > 0; --k)
                    input.push_back(static_cast<std::uint8_t>(random()));
                break;
            default:  // insert text-like bytes
                if (!input.empty()) {
                    const char* pieces[] = {",", "\"", "\r\n", "\n", "[FONT A]", "[FONT B]", "0", "FF"};
                    const char* piece = pieces[random() % 8];
                    const std::size_t at = random() % input.size();
                    input.insert(input.begin() + static_cast<long>(at), piece,
                                 piece + std::char_traits<char>::length(piece));
                }
                break;
            }
        }
        run(input);
        ++runs;
    }
    std::printf("%zu seeds, %zu mutated inputs: no crash\n", seeds.size(), runs);
    return 0;
}
