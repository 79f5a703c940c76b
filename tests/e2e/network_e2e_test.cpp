// Every kind of operation against the virtual printer as a network printer on
// 127.0.0.1: the bytes arrive as sent, the replies come back on the same
// connection, the restart check opens a new one, and the faults only a
// network shows end with a message and the port closed.

#include "compound/compound_download.h"
#include "firmware/firmware_update.h"
#include "support/bytes.h"
#include "support/loopback_listener.h"
#include "support/printer_on_tcp.h"
#include "tcp_line.h"
#include "testprint/test_pages.h"

#include <gmock/gmock.h>

namespace ordalia {
namespace {

using ::testing::ContainsRegex;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;
using namespace ordalia::testing;

class NetworkE2E : public PrinterOnTcp {
protected:
    Outcome updateFirmware() {
        return ordalia::updateFirmware(services(), choice, {program.write("printer.firm", image)},
                                       label, bar);
    }
    const std::vector<std::uint8_t> image = pseudoRandomBytes(196608, 9100);
};

TEST_F(NetworkE2E, ATestPageArrivesByteForByte) {
    std::vector<std::uint8_t> page(3000);
    for (std::size_t i = 0; i < page.size(); ++i)
        page[i] = static_cast<std::uint8_t>(i * 7);
    program.write("testpage/rec1.p", page);
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec1.p"), Outcome::Done);
    EXPECT_FALSE(serial->isOpen());
    ASSERT_TRUE(printer->waitForBytes(page.size(), 2s));
    EXPECT_TRUE(printer->received() == page);
}

TEST_F(NetworkE2E, TheFirmwareGoesOutOnOneConnectionAndTheRestartIsCheckedOnTheNext) {
    EXPECT_EQ(updateFirmware(), Outcome::Done);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Firmware Update Finish !!"));
    ASSERT_TRUE(printer->waitUntil([&] { return printer->selfTests() == 1; }, 5s));
    EXPECT_TRUE(printer->firmwareImage() == image);
    const auto received = printer->received();
    EXPECT_THAT(std::vector(received.begin(), received.begin() + 2),
                ElementsAre(0x1C /*FS*/, 0xC8 /*firmware*/));
    EXPECT_THAT(std::vector(received.end() - 5, received.end()),
                ElementsAre(0x1D /*GS*/, 0x49 /*I*/, 0x01, 0x1B /*ESC*/, 0x88 /*test page*/));
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(NetworkE2E, ACompoundFontIsAnsweredBlockForBlock) {
    const auto file = pseudoRandomBytes(562033, 5); // Japanese: 2,196 blocks
    CompoundState state{program.write("fonts/ex_JISx0208.code", file), "ex_JISx0208.code"};
    EXPECT_EQ(downloadCompound(services(), choice, state, label, bar), Outcome::Done);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Undata Finish !!!!"));
    EXPECT_EQ(printer->receivedCount(), 4 + 2196 * 256u);
    EXPECT_TRUE(printer->compoundImage(3).has_value());
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(NetworkE2E, ARefusedConnectionIsNamedAndNothingIsSent) {
    vprinter::TcpLine nobody; // a port that was free a moment ago, and is again
    nobody.listen(0);
    const std::string where = "127.0.0.1:" + std::to_string(nobody.port());
    nobody.close();
    choice.host = where;
    program.write("testpage/rec1.p", "text\n");
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec1.p"), Outcome::Failed);
    EXPECT_THAT(dialogs.texts(), ElementsAre(AllOf(HasSubstr("tcp://" + where),
                                                   HasSubstr("refused the connection"))));
    EXPECT_FALSE(serial->isOpen());
    EXPECT_EQ(printer->receivedCount(), 0u);
}

TEST_F(NetworkE2E, APrinterThatClosesTheConnectionMidImageEndsTheUpdate) {
    printer->setDisconnectAfterBytes(12 + 40 * 1024);
    EXPECT_EQ(updateFirmware(), Outcome::Failed);
    // Whether the write or the look at the queue meets the close first is the
    // system's to decide; either way it is a hang-up, not a printer too slow.
    EXPECT_THAT(dialogs.texts(),
                ElementsAre(AllOf(HasSubstr("tcp://" + choice.host),
                                  ContainsRegex("closed the connection|stopped answering"))));
    EXPECT_FALSE(serial->isOpen() || label.visible || bar.visible);
    EXPECT_FALSE(printer->firmwareImage().has_value());
}

TEST_F(NetworkE2E, APageThePrinterStoppedTakingIsAStallNeverTransmitDone) {
    for (const std::size_t size : {16384u, 65536u, 50u * 256u, 16385u}) {
        LoopbackListener stalled;
        choice.host = stalled.where.substr(6); // without tcp://
        program.write("testpage/rec1.p", pseudoRandomBytes(size, 4));
        dialogs.messages.clear();
        EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec1.p"), Outcome::Failed) << size;
        EXPECT_THAT(dialogs.texts(),
                    ElementsAre(AllOf(HasSubstr(stalled.where),
                                      ContainsRegex("did not send|took no more bytes"))))
            << size;
        EXPECT_FALSE(serial->isOpen());
    }
}

// A printer that resets connections left idle, as many do: the connection
// is gone after the limit, and the next operation connects anew.
struct PrinterResettingIdle : PrinterOnPty {
    PrinterResettingIdle()
        : PrinterOnPty([](vprinter::VirtualPrinterOptions& o) {
              o.tcpPort = 0;
              o.idleDisconnect = 300ms;
          }) {}
};

TEST_F(PrinterResettingIdle, AConnectionLeftIdleIsResetAndTheNextOneWorks) {
    const auto port = createNetworkPort();
    ASSERT_FALSE(port->open(printer->slavePath(), {}).has_value());
    ASSERT_FALSE(port->write(std::vector<std::uint8_t>{'A'}).has_value());
    std::this_thread::sleep_for(900ms);
    EXPECT_EQ(port->inputQueueCount(), -1); // reset by the printer
    port->close();
    std::size_t first = 0;
    EXPECT_THAT(printer->logSince(first),
                ::testing::Contains(HasSubstr("reset after 300 ms idle")));

    choice.networkSelected = true;
    choice.host = printer->slavePath().substr(kNetworkScheme.size());
    program.write("testpage/rec1.p", pseudoRandomBytes(4000, 1));
    EXPECT_EQ(SendTestPage(services(), choice, "testpage/rec1.p"), Outcome::Done);
}

// A printer whose receive buffer of 1,000 bytes fills: it reads nothing more
// until it has printed them, at 1,000 bytes a second, and then takes the rest.
struct PrinterWithABuffer : PrinterOnPty {
    PrinterWithABuffer()
        : PrinterOnPty([](vprinter::VirtualPrinterOptions& o) {
              o.tcpPort = 0;
              o.bufferFullAfter = 1000;
              o.printSpeed = 1000;
          }) {}
};

TEST_F(PrinterWithABuffer, AFullBufferStopsTheReadingUntilItIsPrinted) {
    std::vector<std::uint8_t> receipt(3000);
    for (std::size_t i = 0; i < receipt.size(); ++i)
        receipt[i] = i % 40 == 39 ? '\n' : static_cast<std::uint8_t>('A' + i % 26);
    const auto port = createNetworkPort();
    ASSERT_FALSE(port->open(printer->slavePath(), {}).has_value());
    ASSERT_FALSE(port->write(receipt).has_value()); // the system's buffers take it at once
    ASSERT_TRUE(printer->waitForBytes(receipt.size(), 60s));
    EXPECT_TRUE(printer->received() == receipt);

    // Each time it was full, the next byte was read only once the buffer had
    // been printed: a second later at least, however slow the machine.
    std::size_t first = 0;
    std::vector<std::size_t> fullAt;
    for (const std::string& line : printer->logSince(first))
        if (std::size_t count = 0;
            std::sscanf(line.c_str(), "receive buffer full after %zu bytes", &count) == 1)
            fullAt.push_back(count);
    ASSERT_GE(fullAt.size(), 2u);
    EXPECT_GE(fullAt.front(), 1000u);
    for (const std::size_t count : fullAt) {
        if (count < receipt.size()) {
            EXPECT_GE(*printer->arrivalOf(count) - *printer->arrivalOf(count - 1), 990ms) << count;
        }
    }
}

} // namespace
} // namespace ordalia
