// StrToVal reads font rows and the table numbers come from typed text: any
// text must give a value, never a crash.

#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)ordalia::StrToVal(text);
    const long long number = ordalia::tableNumber(text);
    if (number != ordalia::kNoTableNumber && (number > 1'000'000 || number < -1'000'000))
        __builtin_trap();

    // Six table numbers cut from the input at its zero bytes.
    std::array<std::string, ordalia::kCodePageSlotCount> numbers;
    std::size_t slot = 0;
    for (const char c : text) {
        if (c == '\0') {
            if (++slot == numbers.size())
                break;
            continue;
        }
        numbers[slot] += c;
    }
    (void)ordalia::codePageTableFault(numbers);
    (void)ordalia::unsavableTableNumber(numbers);

    const std::string bytes = ordalia::singleByteText(text);
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            __builtin_trap();
    if (ordalia::nameRow(5, text).size() != ordalia::kNameRowLength ||
        ordalia::modelNameField(text).size() != ordalia::kModelNameLength)
        __builtin_trap();
    return 0;
}
