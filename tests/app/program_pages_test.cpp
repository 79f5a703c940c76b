// The "Printing Setting" and "Firmware Update" pages as the user meets them:
// clicks on the controls, a fake port behind them, the fake clock for every
// wait.

#include "app/main_window.h"
#include "firmware/firmware_update.h"
#include "link/transfer_gate.h"
#include "support/harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

using namespace ordalia;
using namespace ordalia::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;

// 3 inch, 38400, cutter on, paper end on, near end on, Korean, 20kB, door
// on, Darkest, byte 13 all ones ("Normal" cut distance and six bits that are
// not the page's).
const Bytes kSaved = {0x11, 1, 2, 1, 1, 1, 0, 0, 4, 3, 1, 3, 0x66, 0xFF};

Bytes firmwareImage() {
    Bytes image(kFirmwareImageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 31 + i / 1024);
    return image;
}

} // namespace

class ProgramPagesTest : public QObject {
    Q_OBJECT

    Harness* h = nullptr;
    app::MainWindow* window = nullptr;

    template <typename T = QWidget>
    T* control(const char* name) {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    void click(const char* name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    void showTab(int index) { control<QTabWidget>("SSTab1")->setCurrentIndex(index); }

    // A printer that answers the settings exchange's fourteen reply points,
    // the one at `wrongPoint` with 0x15.
    void settingsPrinter(int wrongPoint = -1) {
        h->serial.onWrite = [this, wrongPoint](const Bytes&) {
            const std::size_t n = h->serial.written.size();
            if (n < 12 || n > 25)
                return;
            const int point = static_cast<int>(n) - 12;
            h->serial.reply({static_cast<std::uint8_t>(point == wrongPoint ? 0x15 : 0xAA)}, 1);
        };
    }
    // A printer that accepts the firmware request and, unless told
    // otherwise, answers the ID query after programming.
    std::function<void(std::size_t blocks)> onBlock;
    void firmwarePrinter(bool answersAfterProgramming = true) {
        h->serial.onWrite = [this, answersAfterProgramming](const Bytes& bytes) {
            const Bytes& w = h->serial.written;
            if (bytes.size() == kFirmwareBlockSize && onBlock) {
                std::size_t blocks = 0;
                for (const auto& e : h->serial.events)
                    blocks += e.kind == FakeSerialPort::Event::Write &&
                              e.bytes.size() == kFirmwareBlockSize;
                onBlock(blocks);
            }
            if (bytes.size() != 1)
                return;
            if (w.size() == 12 && w[0] == 0x1C && w[1] == 0xC8)
                h->serial.reply({0xAA}, 5);
            if (answersAfterProgramming && w.size() >= 3 && w[w.size() - 3] == 0x1D &&
                w[w.size() - 2] == 0x49 && w[w.size() - 1] == 0x01)
                h->serial.reply({0x20}, 100);
        };
    }
    void chooseFirmware(const std::filesystem::path& path) {
        showTab(4);
        h->dialogs.files.push_back(FileChoice{path, path.filename().string()});
        h->dialogs.answers.push_back(true);
        click("OpenFirm");
    }

private Q_SLOTS:
    void init() {
        h = new Harness;
        h->serial.fifoSize = std::size_t{1} << 30; // the pace is the printer's replies
        // The restart poll of the firmware update reads the clock without
        // sleeping; each read takes a little virtual time, as a real one does.
        h->clock.onTick = [this](std::uint64_t) { h->clock.advanceUs(50); };
        h->folder.write("flash3", Bytes{0x5A, 0xA5});
        app::WindowParts parts;
        parts.programFolder = h->folder.path();
        parts.serial = &h->serial;
        parts.parallel = &h->parallel;
        parts.clock = &h->clock;
        parts.dialogs = &h->dialogs;
        window = new app::MainWindow(parts);
        window->show();
    }
    void cleanup() {
        onBlock = nullptr;
        delete window;
        delete h;
    }

    // --- Printing Setting ---

    void downloadSendsByteThirteenWithItsLowBitsFromThePage() {
        h->folder.write("user_setting", kSaved);
        showTab(0);
        settingsPrinter();
        click("Command1");
        QCOMPARE(h->dialogs.questions.at(0).text,
                 std::string("Are you sure to download setting to Printer ?"));
        QCOMPARE(h->dialogs.questions.at(0).title, std::string("Download"));
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"Download Finish !!"});
        const Bytes expected = {0x1C, 0xC6, 'K', 'O', 'V', 'I',  'R',
                                'K',  'O',  'V', 'I', 'R', 0x5A, 0xA5, // flash3
                                1,                                     // 3 inch
                                3,             // NewBaud as it stands: 115200
                                1,    1,    1, // cutter, paper end, near end on
                                0,    0,       // bytes 6 and 7
                                4,             // Korean
                                3,             // 20kB
                                1,             // door on
                                3,             // Darkest
                                0x66,          // byte 12 as loaded
                                0xFE};         // bit 0 cleared, "Normal" keeps bit 1
        QCOMPARE(h->serial.written, expected);

        h->serial.written.clear();
        h->dialogs.messages.clear();
        control<QComboBox>("EEPROM_CD")->setCurrentIndex(0); // "Save Paper"
        click("Command1");
        QCOMPARE(h->serial.written.back(), std::uint8_t{0xFC});
        // The file holds what was sent, byte 0 included as loaded.
        const Bytes saved = h->folder.read("user_setting");
        QCOMPARE(saved.front(), std::uint8_t{0x11});
        QCOMPARE(saved.back(), std::uint8_t{0xFC});
        QVERIFY(!h->serial.isOpen());
    }

    void refusedDownloadKeepsTheLinkSpeedButTheFileIsSaved() {
        h->folder.write("user_setting", kSaved);
        showTab(0);
        QCOMPARE(control<QComboBox>("Sbaud")->currentText(), QStringLiteral("38400,n,8,1"));
        control<QComboBox>("NewBaud")->setCurrentIndex(0);
        settingsPrinter(2); // refuses "flash3" byte 1
        click("Command1");
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"IRC_CHECK Error !!"});
        QCOMPARE(h->serial.written.size(), std::size_t{14}); // no record byte
        QCOMPARE(control<QComboBox>("Sbaud")->currentText(), QStringLiteral("38400,n,8,1"));
        QCOMPARE(h->folder.read("user_setting").at(2), std::uint8_t{0});
        QVERIFY(!h->serial.isOpen());
    }

    void cancelWritesNothingAndSendsNothing() {
        showTab(0);
        h->dialogs.answers.push_back(false);
        click("Command1");
        QVERIFY(h->dialogs.messages.empty());
        QVERIFY(h->serial.events.empty());
        QVERIFY(!std::filesystem::exists(h->folder.path() / "user_setting"));
    }

    void showingThePageAgainDiscardsUnsentEdits() {
        h->folder.write("user_setting", kSaved);
        showTab(0);
        control<QComboBox>("EEPROM_Density")->setCurrentIndex(0);
        control<QRadioButton>("EEPROM_Door_OFF")->setChecked(true);
        showTab(4);
        showTab(0);
        QCOMPARE(control<QComboBox>("EEPROM_Density")->currentText(), QStringLiteral("Darkest"));
        QVERIFY(control<QRadioButton>("EEPROM_Door_ON")->isChecked());
        QVERIFY(h->serial.events.empty());
    }

    void choosingTwoInchTurnsTheNearEndSensorOffAtOnce() {
        h->folder.write("user_setting", kSaved);
        showTab(0);
        QVERIFY(control<QRadioButton>("EEPROM_NearEnd_ON")->isChecked());
        auto* mode = control<QComboBox>("EEPROM_Mode");
        mode->setCurrentIndex(0);
        Q_EMIT mode->activated(0);
        QVERIFY(control<QRadioButton>("EEPROM_NearEnd_OFF")->isChecked());
        mode->setCurrentIndex(2);
        Q_EMIT mode->activated(2);
        QVERIFY(control<QRadioButton>("EEPROM_NearEnd_ON")->isChecked());
    }

    void aPositionThePageDoesNotHaveIsSaidAndBlocksTheDownload() {
        Bytes odd = kSaved;
        odd[9] = 7; // no such graphic buffer
        h->folder.write("user_setting", odd);
        showTab(0);
        QCOMPARE(h->dialogs.messages.size(), std::size_t{1});
        QVERIFY(h->dialogs.messages[0].text.find("Graphic Buffer (7)") != std::string::npos);
        QCOMPARE(control<QComboBox>("EEPROM_RSBuf")->currentIndex(), -1);
        // The rest of the record still shows.
        QCOMPARE(control<QComboBox>("EPPROM_Compound")->currentText(), QStringLiteral("Korean"));

        h->dialogs.messages.clear();
        settingsPrinter();
        click("Command1");
        QCOMPARE(h->dialogs.messages.size(), std::size_t{1});
        QVERIFY(h->dialogs.messages[0].text.find("Please choose Graphic Buffer") !=
                std::string::npos);
        QVERIFY(h->serial.events.empty());
        QCOMPARE(h->folder.read("user_setting"), odd); // untouched

        h->dialogs.messages.clear();
        control<QComboBox>("EEPROM_RSBuf")->setCurrentIndex(1);
        click("Command1");
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"Download Finish !!"});
        QCOMPARE(h->serial.written.at(12 + 2 + 8), std::uint8_t{1}); // record byte 9: "  2kB"
    }

    void aRecordSavedForTheParallelLinkChoosesItAndTheDownloadSaysWhy() {
        Bytes parallel = kSaved;
        parallel[2] = 255;
        h->folder.write("user_setting", parallel);
        showTab(0);
        QVERIFY(control<QRadioButton>("PortSelect_Parallel")->isChecked());
        QVERIFY(control("SPort")->isHidden());
        QCOMPARE(control<QComboBox>("Sbaud")->currentIndex(), 3); // not touched
        click("Command1");
        QCOMPARE(h->dialogs.messages.size(), std::size_t{1});
        QVERIFY(h->dialogs.messages[0].text.find("serial link") != std::string::npos);
        QVERIFY(h->serial.events.empty());
        QVERIFY(h->parallel.writes.empty());
    }

    void withNothingSavedTheLinkKeepsItsSpeed() {
        showTab(0);
        QCOMPARE(control<QComboBox>("Sbaud")->currentIndex(), 3);
        QVERIFY(control<QRadioButton>("PortSelect_Serial")->isChecked());
        QVERIFY(h->dialogs.messages.empty());
    }

    // --- Firmware Update ---

    void updateShowsItsProgressAndHidesItAfterTheMessage() {
        chooseFirmware(h->folder.write("new.firm", firmwareImage()));
        firmwarePrinter();
        QString captionAtBlock100;
        bool shownDuringTransfer = false;
        onBlock = [&](std::size_t blocks) {
            if (blocks == 100) {
                captionAtBlock100 = control<QLabel>("Firm_Label")->text();
                shownDuringTransfer =
                    !control("Firm_Label")->isHidden() && !control("Firm_ProgressBar")->isHidden();
            }
        };
        QString captionAtMessage;
        int barAtMessage = -1;
        h->dialogs.onMessage = [&](const Shown&) {
            captionAtMessage = control<QLabel>("Firm_Label")->text();
            barAtMessage = control<QProgressBar>("Firm_ProgressBar")->value();
        };
        click("Firm_Updata");

        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"Firmware Update Finish !!"});
        QVERIFY(shownDuringTransfer);
        // Block 99 is the last that refreshed the caption: 49 steps before it.
        QCOMPARE(captionAtBlock100, QStringLiteral("Status : Transfer Data    49%"));
        QCOMPARE(captionAtMessage, QStringLiteral("Status : Updata   100%"));
        QCOMPARE(barAtMessage, 100);
        QVERIFY(control("Firm_Label")->isHidden());
        QVERIFY(control("Firm_ProgressBar")->isHidden());

        const Bytes image = firmwareImage();
        const Bytes& w = h->serial.written;
        QCOMPARE(w.size(), 12 + image.size() + 5);
        QCOMPARE(w[1], std::uint8_t{0xC8});
        QVERIFY(std::equal(image.begin(), image.end(), w.begin() + 12));
        QCOMPARE(Bytes(w.end() - 5, w.end()), (Bytes{0x1D, 0x49, 0x01, 0x1B, 0x88}));
        QVERIFY(!h->serial.isOpen());
    }

    void ignoringTheMalfunctionSendsTheImageFirst() {
        chooseFirmware(h->folder.write("new.firm", firmwareImage()));
        firmwarePrinter();
        control<QCheckBox>("ISP_ERROR")->setChecked(true);
        click("Firm_Updata");
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"Firmware Update Finish !!"});
        const Bytes image = firmwareImage();
        QVERIFY(std::equal(image.begin(), image.end(), h->serial.written.begin()));
        QCOMPARE(h->serial.written.size(), image.size() + 5);
    }

    void aPrinterThatNeverAnswersAgainHidesTheProgressBeforeTheMessage() {
        chooseFirmware(h->folder.write("new.firm", firmwareImage()));
        firmwarePrinter(false);
        bool hiddenAtMessage = false;
        h->dialogs.onMessage = [&](const Shown&) {
            hiddenAtMessage =
                control("Firm_Label")->isHidden() && control("Firm_ProgressBar")->isHidden();
        };
        click("Firm_Updata");
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"Firmware Update Error!!"});
        QVERIFY(hiddenAtMessage);
        QCOMPARE(control<QProgressBar>("Firm_ProgressBar")->value(), 99);
        QVERIFY(!h->serial.isOpen());
    }

    void noFileNoPortAndAWrongLength() {
        showTab(4);
        click("Firm_Updata");
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"No file be selected !"});

        h->dialogs.messages.clear();
        Bytes shortImage = firmwareImage();
        shortImage.pop_back();
        chooseFirmware(h->folder.write("short.firm", shortImage));
        control<QComboBox>("SPort")->setCurrentIndex(0);
        click("Firm_Updata");
        QVERIFY(h->dialogs.messages.empty()); // no port chosen: silent

        control<QComboBox>("SPort")->setCurrentIndex(1);
        click("Firm_Updata");
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"File Error !!"});
        QVERIFY(h->serial.events.empty());
        QVERIFY(control("Firm_Label")->isHidden());
        QVERIFY(control("Firm_ProgressBar")->isHidden());
    }

    void aSecondClickWhileTheImageGoesOutIsRefused() {
        chooseFirmware(h->folder.write("new.firm", firmwareImage()));
        firmwarePrinter();
        onBlock = [&](std::size_t blocks) {
            if (blocks == 10) {
                click("Firm_Updata");
                // The user may even turn to the settings page meanwhile.
                showTab(0);
                click("Command1");
            }
        };
        click("Firm_Updata");
        QCOMPARE(h->dialogs.texts(),
                 (std::vector<std::string>{kTransferBusyMessage, kTransferBusyMessage,
                                           "Firmware Update Finish !!"}));
        QCOMPARE(h->serial.written.size(), 12 + kFirmwareImageSize + 5);
        QVERIFY(!std::filesystem::exists(h->folder.path() / "user_setting"));
    }
};

QTEST_MAIN(ProgramPagesTest)
#include "program_pages_test.moc"
