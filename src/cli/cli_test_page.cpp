// test-page: a test file, or the printer's own test page.

#include "cli/cli_command.h"
#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "testprint/test_pages.h"

namespace ordalia::cli {

namespace {

// FILE as given, else one of the Test Print page's buttons by caption or by
// file name ("Receipt 1", "rec1.p", "rec1").
std::filesystem::path testFile(const std::string& operand, const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::exists(operand, ec))
        return fullPath(operand);
    const std::string wanted = lowerAscii(operand);
    for (const TestPageButton& button : kTestPageButtons) {
        const std::filesystem::path file(std::string(button.file));
        if (wanted == lowerAscii(button.caption) ||
            wanted == lowerAscii(pathForMessage(file.filename())) ||
            wanted == lowerAscii(pathForMessage(file.stem())))
            return programFile(folder, button.file);
    }
    return fullPath(operand);
}

Outcome testPage(const Command& c) {
    if (c.options.selfTest) {
        c.expectOperands(1);
        return SendSelfTestRequest(c.services, c.choice);
    }
    c.expectOperands(2);
    return SendTestFile(c.services, c.choice, testFile(c.words()[1], c.folder()));
}

const CommandRow kCommands[] = {
    {.name = "test-page",
     .run = testPage,
     .help = {{"test-page FILE", "send a test file byte for byte (FILE may also be a\n"
                                 "page of the Test Print page: \"Receipt 1\", rec1.p)"},
              {"test-page --self-test", "ask the printer for its own test page"}},
     .options = {CommandOption::SelfTest},
     .parallel = true},
};

} // namespace

std::span<const CommandRow> testPageCommands() {
    return kCommands;
}

} // namespace ordalia::cli
