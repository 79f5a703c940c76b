// What the printer answers to the identity and status queries: any bytes make
// answers and lines in words, one line per question, with nothing in them that
// a terminal or a message box would take for control.
//
// The input is eleven answers in the order the queries go out, each a length
// byte and that many bytes (fewer at the end of the input).

#include "link/printer_info.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia;
    std::span<const std::uint8_t> rest(data, size);
    const auto next = [&rest] {
        if (rest.empty())
            return rest;
        const std::size_t length = std::min<std::size_t>(rest.front(), rest.size() - 1);
        const auto answer = rest.subspan(1, length);
        rest = rest.subspan(1 + length);
        return answer;
    };
    const auto text = [](std::span<const std::uint8_t> bytes) {
        const TextAnswer answer = parseTextAnswer(bytes);
        // An answer read as a text was one the wait would have stopped at.
        if (answer.state == AnswerState::Ok &&
            (!textAnswerComplete(bytes) || answer.text.size() > kInfoTextMaxBytes))
            std::abort();
        return answer;
    };
    PrinterInfo info;
    for (ByteAnswer* answer : {&info.model, &info.type, &info.romVersion})
        *answer = parseByteAnswer(next());
    for (TextAnswer* answer : {&info.firmware, &info.maker, &info.modelName, &info.serialNumber})
        *answer = text(next());
    for (ByteAnswer* status : {&info.printer, &info.offLine, &info.error, &info.paper})
        *status = parseStatusAnswer(next());

    const auto lines = printerInfoLines(info);
    if (lines.size() != 12)
        std::abort();
    for (const std::string& line : lines)
        if (line.find(": ") == std::string::npos ||
            std::any_of(line.begin(), line.end(), [](char c) { return c < 0x20 || c == 0x7F; }))
            std::abort();
    return 0;
}
