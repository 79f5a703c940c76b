// The compound font download against the virtual printer over a real
// pseudo-terminal. The font files are made up here, a little longer than the
// printer takes, so the bytes after the last sent position must stay behind.

#include "compound/compound_download.h"
#include "compound/compound_font.h"
#include "compound/compound_record.h"
#include "link/port_names.h"
#include "link/system_ports.h"
#include "support/bytes.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;
using namespace ordalia::testing;
using vprinter::VirtualPrinter;
using vprinter::VirtualPrinterOptions;

// What the printer stored, put back in file order: byte j of each group came
// from byte CompoundShuffleOrder[j] of the same group.
std::vector<std::uint8_t> unshuffled(const std::vector<std::uint8_t>& stored) {
    std::vector<std::uint8_t> source(stored.size());
    for (std::size_t g = 0; g < stored.size() / kCompoundGroupSize; ++g)
        for (std::size_t j = 0; j < kCompoundGroupSize; ++j)
            source[g * kCompoundGroupSize + CompoundShuffleOrder[j]] =
                stored[g * kCompoundGroupSize + j];
    return source;
}

// The file's positions 0 to S, then zeros to the end of the last block.
std::vector<std::uint8_t> sentPositions(const std::vector<std::uint8_t>& file, std::uint32_t s) {
    std::vector<std::uint8_t> expected(compoundBlockCount(s) * kCompoundBlockSize, 0);
    std::copy(file.begin(), file.begin() + s + 1, expected.begin());
    return expected;
}

VirtualPrinterOptions optionsFor(const TempFolder& program) {
    VirtualPrinterOptions options;
    options.printer.nvFolder = program.path() / "nv";
    return options;
}

class CompoundE2E : public ::testing::Test {
protected:
    void SetUp() override {
        printer.start();
        ASSERT_TRUE(setMappedPortDevice(1, printer.slavePath(), program.path() / "ports"));
    }
    Services services() {
        return Services{*serial, parallel, systemClock(), events, dialogs, gate, program.path()};
    }
    void choose(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        state.com_FilePath = program.write("fonts/" + name, bytes);
        state.com_FileTitle = name;
    }
    Outcome download() { return downloadCompound(services(), choice, state, label, bar); }
    std::vector<std::uint8_t> record() const {
        return program.read(std::string(kCompoundRecordFile));
    }

    TempFolder program;
    std::unique_ptr<SerialPort> serial = createSystemSerialPort();
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    LinkChoice choice;
    RecordingLabel label;
    RecordingProgressBar bar;
    CompoundState state;
    VirtualPrinter printer{optionsFor(program)};
};

struct Language {
    const char* name;
    std::uint8_t code;
    std::uint32_t s;
    std::size_t blocks;
    int barAtEnd;
};

void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}

class CompoundLanguageE2E : public CompoundE2E, public ::testing::WithParamInterface<Language> {};

TEST_P(CompoundLanguageE2E, PrinterStoresEveryBlockOfTheFile) {
    const Language c = GetParam();
    const auto file = pseudoRandomBytes(std::size_t{c.s} + 1 + 700, c.code);
    choose(c.name, file);

    EXPECT_EQ(download(), Outcome::Done);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Undata Finish !!!!"));

    const auto received = printer.received();
    ASSERT_EQ(received.size(), 4 + c.blocks * kCompoundBlockSize);
    EXPECT_THAT(std::vector<std::uint8_t>(received.begin(), received.begin() + 4),
                ElementsAre(0x1C /*FS*/, 0xC9 /*OpCompound*/, 0x00, c.code /*language*/));
    const auto stored = printer.compoundImage(c.code);
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->size(), c.blocks * kCompoundBlockSize);
    EXPECT_TRUE(unshuffled(*stored) == sentPositions(file, c.s));
    // 123.bin starts with exactly what went to the printer.
    EXPECT_TRUE(record() == *stored);

    EXPECT_EQ(bar.value(), c.barAtEnd);
    EXPECT_EQ(label.captions.back(), "Status : Updata   100%");
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(serial->isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    FourFonts, CompoundLanguageE2E,
    ::testing::Values(Language{"ex_SimplifiedChinese.code", 1, 600048, 2344, 100},
                      Language{"ex_TraditionalChinese.code", 2, 1006056, 3930, 99},
                      Language{"ex_JISx0208.code", 3, 562032, 2196, 100},
                      Language{"ex_Korean.code", 4, 622656, 2433, 100}),
    [](const auto& info) {
        const std::string name = info.param.name;
        return name.substr(3, name.find('.') - 3); // "ex_Korean.code" -> "Korean"
    });

TEST_F(CompoundE2E, SilenceAfterBlockKEndsWithConnectingErrorAndKPlusOneBlocksRecorded) {
    constexpr std::size_t k = 37;
    printer.setStopAnsweringAtBlock(k);
    // An older, longer record keeps its tail beyond what this download wrote.
    program.write(std::string(kCompoundRecordFile), std::vector<std::uint8_t>(20000, 0xEE));
    const auto file = pseudoRandomBytes(562033, 3);
    choose("ex_JISx0208.code", file);

    EXPECT_EQ(download(), Outcome::Failed);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Connecting Error !!"));
    EXPECT_FALSE(serial->isOpen());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);

    // Blocks 0 to k went out, each answered but the last; nothing followed.
    ASSERT_TRUE(printer.waitForQuiet(100ms, 2s));
    EXPECT_EQ(printer.received().size(), 4 + (k + 1) * kCompoundBlockSize);
    EXPECT_FALSE(printer.compoundImage(3).has_value());

    const auto recorded = record();
    ASSERT_EQ(recorded.size(), 20000u);
    const std::vector<std::uint8_t> written(recorded.begin(),
                                            recorded.begin() + (k + 1) * kCompoundBlockSize);
    const auto received = printer.received();
    EXPECT_TRUE(std::equal(written.begin(), written.end(), received.begin() + 4));
    const auto expected = sentPositions(file, 562032);
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + written.size(),
                           unshuffled(written).begin()));
    EXPECT_TRUE(std::all_of(recorded.begin() + written.size(), recorded.end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
}

TEST_F(CompoundE2E, UnknownNameSendsOneBlock) {
    const auto file = pseudoRandomBytes(4096, 9);
    choose("ex_Korean.CODE", file);
    EXPECT_EQ(download(), Outcome::Done);
    const auto received = printer.received();
    ASSERT_EQ(received.size(), 4u + 256u);
    EXPECT_THAT(std::vector<std::uint8_t>(received.begin(), received.begin() + 4),
                ElementsAre(0x1C /*FS*/, 0xC9 /*OpCompound*/, 0x00, 0x00 /*no language*/));
    const std::vector<std::uint8_t> block(received.begin() + 4, received.end());
    EXPECT_TRUE(unshuffled(block) == sentPositions(file, 0)); // the first byte, 255 zeros
}

} // namespace
} // namespace ordalia
