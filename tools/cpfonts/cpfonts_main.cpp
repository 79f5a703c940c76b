// Writes the code page font files shipped in "Codepage Table", with the
// default slot list and model name, from GNU Unifont's .hex glyphs:
//   ordalia_cpfonts --unifont /usr/share/unifont/unifont.hex --out "<program>/Codepage Table"

#include "code_page_maps.h"
#include "codepages/code_page_table.h"
#include "font_builder.h"
#include "unifont_hex.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

namespace {

using namespace ordalia;
using namespace ordalia::cpfonts;

// The default model name printed in the self-test headings.
constexpr const char* kDefaultModelName = "Thermal Printer";

// A font file with fewer glyphs than this is not the Unifont we expect.
constexpr std::size_t kLeastGlyphs = 10000;

bool writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "ordalia_cpfonts: cannot write " << path.string() << "\n";
        return false;
    }
    return true;
}

std::string byteList(const std::vector<int>& bytes) {
    std::string text;
    char hex[8];
    for (const int b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        text += hex;
    }
    return text;
}

int usage() {
    std::cerr << "usage: ordalia_cpfonts --unifont <unifont.hex> --out <folder>\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path hexPath;
    std::filesystem::path outFolder;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--unifont")
            hexPath = argv[i + 1];
        else if (option == "--out")
            outFolder = argv[i + 1];
        else
            return usage();
    }
    if (hexPath.empty() || outFolder.empty() || argc % 2 == 0)
        return usage();

    std::ifstream in(hexPath, std::ios::binary);
    if (!in) {
        std::cerr << "ordalia_cpfonts: cannot read " << hexPath.string()
                  << " (it comes with the Debian package unifont)\n";
        return 1;
    }
    const HexFont source = readHexFont(in);
    if (source.glyphs.size() < kLeastGlyphs) {
        std::cerr << "ordalia_cpfonts: " << hexPath.string() << " holds only "
                  << source.glyphs.size() << " glyphs; is it GNU Unifont's unifont.hex?\n";
        return 1;
    }

    std::error_code ec;
    std::filesystem::create_directories(outFolder, ec);
    for (const CodePageMap& map : codePageMaps()) {
        const BuiltFont built = buildFont(map, source);
        if (!writeText(outFolder / (map.name + std::string(kCodePageFileExtension)),
                       formatCodePageFont(built.font)))
            return 1;
        std::cout << map.name << ": " << built.lacking.size() << " characters lacking"
                  << byteList(built.lacking) << ", " << built.undefined.size()
                  << " undefined in the code page" << byteList(built.undefined) << "\n";
    }
    if (!writeText(outFolder / "Codepage", formatCodepageList(defaultCodePageSlots())) ||
        !writeText(outFolder / "model_name", std::string(kDefaultModelName) + "\r\n"))
        return 1;
    return 0;
}
