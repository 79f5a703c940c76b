// Build step: writes the bytes a readable text file lists, one or more
// hexadecimal bytes a line, "#" starting a comment. CMake cannot write a zero
// byte itself, and binary files kept as text can be read and reviewed.
//
//   ordalia-text-to-bytes SOURCE OUTPUT [COUNT]
//
// COUNT, when given, is how many bytes the source must list.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: ordalia-text-to-bytes SOURCE OUTPUT [COUNT]\n";
        return 1;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        while (words >> word) {
            char* end = nullptr;
            const unsigned long value = std::strtoul(word.c_str(), &end, 16);
            if (word.size() > 2 || *end != '\0' || value > 0xFF) {
                std::cerr << argv[1] << ":" << number << ": \"" << word
                          << "\" is not a hexadecimal byte\n";
                return 1;
            }
            bytes.push_back(static_cast<std::uint8_t>(value));
        }
    }
    if (argc == 4 && bytes.size() != std::strtoul(argv[3], nullptr, 10)) {
        std::cerr << argv[1] << ": lists " << bytes.size() << " bytes, not " << argv[3] << "\n";
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::cerr << argv[2] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
