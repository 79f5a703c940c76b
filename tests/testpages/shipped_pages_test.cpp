// The eleven test pages the "Test Print" page sends. The files the build put
// beside the program must be exactly what their sources assemble to, and the
// virtual printer must take each one whole as ESC/POS: ESC @ first, a cut
// that feeds to the cutter last, no command it does not know, no parameter out
// of range, no control byte printed as text.

#include "printer_model.h"
#include "support/process.h"
#include "testpage_pictures.h"
#include "testpage_source.h"

#include <gmock/gmock.h>

namespace ordalia::testpages {
namespace {

using Bytes = std::vector<std::uint8_t>;

using enum vprinter::CommandId;

struct Case {
    const char* page;
    vprinter::CommandId id;
    std::vector<int> values;        // byte 2 of each command `id`, in order
    std::vector<Bytes> pieces = {}; // generated parts the page holds, in this order
};

std::vector<Bytes> charts(ChartFont font) {
    std::vector<Bytes> out;
    for (std::uint8_t table = 0; table < 6; ++table)
        out.push_back(codePageChart(table, font));
    return out;
}

const Bytes kDrawerKick = {0x1B /*ESC*/, 'p', 0 /*pin 2*/, 25 /*50 ms on*/, 250 /*500 ms off*/};
const Bytes kPictures[] = {rasterCommand(drawTestPicture(576, 320)),
                           rasterCommand(drawTestPicture(384, 256))};

const Case kCases[] = {
    {"rec1.p", EscBang, {0x38 /*big bold title*/, 0, 0x18 /*tall bold total*/, 0}},
    {"rec2.p", EscBang, {0x10, 0}},
    {"rec3.p", EscBang, {0x38, 0, 0x18, 0}},
    {"rec4.p", EscBang, {0x30, 0, 0x10, 0}},
    {"FontSize.p", GsBang, {0x11, 0, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x10, 0x01, 0}},
    {"FontSize.p", EscBang, {0, 0x01, 0x08, 0x10, 0x20, 0x30, 0x80, 0xB8, 0}},
    {"bmp1.p", Gsv, {'0', '0'}, {kPictures[0], kPictures[1]}},
    {"codepageA.p", Esct, {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0}, charts(ChartFont::A)},
    {"codepageB.p", Esct, {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0}, charts(ChartFont::B)},
    {"barpic-a.p", Gsk, {0,  65, 1,  66, 2,  67, 3,  68, 4,  69, 5,
                         70, 6,  71, 72, 73, 73, 73, 73, 73, 67}},
    {"barpic-a.p", GsH, {2, 0, 1, 3, 2}},
    {"cashdrawer.p", Escp, {0, 1}, {kDrawerKick, {0x1B, 'p', 1 /*pin 5*/, 25, 250}}},
    {"cutter.p", GsV, {1 /*partial*/, 0 /*full*/, 66, 65}},
};

TEST(ShippedPages, BuiltAsAssembledAndTakenWholeByThePrinter) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.page);
        const auto source = std::filesystem::path(ORDALIA_TESTPAGE_SOURCES) / c.page += ".src";
        const Assembly assembly = assemble(testing::readText(source));
        for (const auto& error : assembly.errors)
            ADD_FAILURE() << describeError(source.string(), error);
        const std::string built =
            testing::readText(std::filesystem::path(ORDALIA_TESTPAGE_FILES) / c.page);
        EXPECT_EQ(Bytes(built.begin(), built.end()), assembly.bytes) << "built from an old source";

        vprinter::PrinterModel printer({});
        printer.receive(assembly.bytes, {});
        const auto& commands = printer.commands();
        ASSERT_GE(commands.size(), 2u);
        EXPECT_EQ(commands.front().id, EscAt);
        EXPECT_EQ(commands.back().id, GsV);
        EXPECT_EQ(commands.back().offset + commands.back().raw.size(), assembly.bytes.size());
        EXPECT_THAT(commands.back().raw.at(2), ::testing::AnyOf(65, 66)); // feeds to the cutter
        std::vector<int> values;
        for (const auto& command : commands) {
            EXPECT_FALSE(command.id == Unknown || command.malformed) << command.name;
            if (command.id == c.id)
                values.push_back(command.raw.at(2));
        }
        EXPECT_THAT(printer.printData(), ::testing::Each(::testing::Ge(0x20)));
        EXPECT_EQ(values, c.values);
        auto from = assembly.bytes.begin();
        for (const Bytes& piece : c.pieces) {
            from = std::search(from, assembly.bytes.end(), piece.begin(), piece.end());
            ASSERT_NE(from, assembly.bytes.end()) << "a piece is missing or out of order";
        }
    }
}

} // namespace
} // namespace ordalia::testpages
