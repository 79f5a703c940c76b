// "Download to Printer" on the Code Page Table page as the user meets it:
// the rows loaded from "Codepage", numbers typed into the boxes, a click, a
// fake port behind it and the fake clock for every wait.

#include "app/main_window.h"
#include "codepages/code_page_font.h"
#include "codepages/code_page_table.h"
#include "support/harness.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace ordalia;
using namespace ordalia::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kFontRequest = {0x1C /*FS*/, 0xC7 /*font*/, 'K', 'O', 'V', 'I',
                            'R',         'K',           'O', 'V', 'I', 'R'};
const Bytes kIdQuery = {0x1D /*GS*/, 0x49 /*I*/, 0x01 /*n*/};
const Bytes kTestPage = {0x1B /*ESC*/, 0x88 /*self-test*/};

const std::string kSavedList = "\"0\",\"PC437\"\r\n\"16\",\"WPC1252\"\r\n\"2\",\"PC850\"\r\n"
                               "\"3\",\"PC860\"\r\n\"4\",\"PC863\"\r\n\"17\",\"PC866\"\r\n";

// A font whose rows differ from file to file, so the image shows which file
// each part came from.
std::string fontText(unsigned seed) {
    CodePageFont font;
    for (std::size_t k = 0; k < font.fontA.size(); ++k)
        font.fontA[k] = static_cast<std::uint16_t>(k * 0x9E37u + seed);
    for (std::size_t k = 0; k < font.fontB.size(); ++k)
        font.fontB[k] = static_cast<std::uint8_t>(k * 7u + seed);
    return formatCodePageFont(font);
}

bool endsWith(const Bytes& bytes, const Bytes& tail) {
    return bytes.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<long>(tail.size()));
}

} // namespace

class FontPageTest : public QObject {
    Q_OBJECT

    Harness* h = nullptr;
    app::MainWindow* window = nullptr;

    template <typename T = QWidget>
    T* control(const std::string& name) {
        T* w = window->findChild<T*>(QString::fromStdString(name));
        if (!w)
            qFatal("no control %s", name.c_str());
        return w;
    }
    QLineEdit* box(const char* array, int i) {
        return control<QLineEdit>(std::string(array) + "(" + std::to_string(i) + ")");
    }
    void clickDownload() { QTest::mouseClick(control("Font_Updata"), Qt::LeftButton); }
    std::string savedList() const {
        const auto bytes = h->folder.read("Codepage Table/Codepage");
        return std::string(bytes.begin(), bytes.end());
    }

    // Accepts the request and, when `answersId`, answers the printer-ID query.
    void printer(bool answersId) {
        h->serial.onWrite = [this, answersId](const Bytes&) {
            const Bytes& w = h->serial.written;
            if (w == kFontRequest)
                h->serial.reply({0xAA}, 20);
            if (answersId && endsWith(w, kIdQuery))
                h->serial.reply({0x20}, 30);
        };
    }

private Q_SLOTS:
    void init() {
        h = new Harness;
        h->folder.write("Codepage Table/Codepage", kSavedList);
        h->folder.write("Codepage Table/model_name", "\"RP-80\"\r\n");
        unsigned seed = 1;
        for (const char* name : {"PC437", "WPC1252", "PC850", "PC860", "PC863", "PC866"})
            h->folder.write(std::string("Codepage Table/") + name + ".CP", fontText(seed++));
        app::WindowParts parts;
        parts.programFolder = h->folder.path();
        parts.serial = &h->serial;
        parts.parallel = &h->parallel;
        parts.clock = &h->clock;
        parts.dialogs = &h->dialogs;
        window = new app::MainWindow(parts);
        window->show();
        control<QTabWidget>("SSTab1")->setCurrentIndex(3); // Font Setting: loads the rows
        QCOMPARE(box("Pos_CP", 1)->text(), QStringLiteral("16"));
    }
    void cleanup() {
        delete window;
        delete h;
    }

    void downloadSendsTheBuiltImageAndSavesTheTypedRows() {
        printer(true);
        box("Pos_CP", 2)->setText(QStringLiteral("40"));
        clickDownload();

        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"Undata Finish !!"});
        const Bytes image = h->folder.read("Codepage Table/test");
        QCOMPARE(image.size(), std::size_t{65536});
        QCOMPARE(int(image[0xF0C2]), 40); // the typed number, slot 2
        QCOMPARE(int(image[0xF0C5]), 17); // slot 5 as loaded
        QCOMPARE(std::string(image.begin() + 0xFC03, image.begin() + 0xFC08), // model name
                 std::string("RP-80"));
        Bytes wire = kFontRequest;
        wire.insert(wire.end(), image.begin(), image.end());
        wire.insert(wire.end(), kIdQuery.begin(), kIdQuery.end());
        wire.insert(wire.end(), kTestPage.begin(), kTestPage.end());
        QVERIFY(h->serial.written == wire);
        QVERIFY(!h->serial.isOpen());

        QCOMPARE(savedList(), std::string("\"0\",\"PC437\"\r\n\"16\",\"WPC1252\"\r\n"
                                          "\"40\",\"PC850\"\r\n\"3\",\"PC860\"\r\n"
                                          "\"4\",\"PC863\"\r\n\"17\",\"PC866\"\r\n"));
        QVERIFY(control("Font_Label")->isHidden());
        QVERIFY(control("Font_ProgressBar")->isHidden());
        QCOMPARE(control<QProgressBar>("Font_ProgressBar")->value(), 100);
    }

    void noAnswerAfterProgrammingLeavesTheErrorCaptionShowing() {
        printer(false);
        box("Pos_CP", 3)->setText(QStringLiteral("30"));
        clickDownload();

        QVERIFY(h->dialogs.texts().empty());
        QVERIFY(!control("Font_Label")->isHidden());
        QVERIFY(!control("Font_ProgressBar")->isHidden());
        QCOMPARE(control<QLabel>("Font_Label")->text(),
                 QStringLiteral("Status : Updata Font Error!!"));
        QCOMPARE(control<QProgressBar>("Font_ProgressBar")->value(), 100);
        QCOMPARE(savedList(), kSavedList);
        QVERIFY(!h->serial.isOpen());
    }

    void repeatedNumberIsReportedAndNothingIsBuiltOrSent() {
        box("Pos_CP", 4)->setText(QStringLiteral("16"));
        clickDownload();
        QCOMPARE(h->dialogs.texts(),
                 std::vector<std::string>{"Error !! 2nd & 5th Position is repeated !!"});
        QVERIFY(h->serial.events.empty());
        QVERIFY(!std::filesystem::exists(h->folder.path() / "Codepage Table" / "test"));
        QVERIFY(control("Font_Label")->isHidden());
    }

    void missingFontFileIsNamedAndNothingIsSent() {
        std::filesystem::remove(h->folder.path() / "Codepage Table" / "PC863.CP");
        clickDownload();
        QCOMPARE(h->dialogs.texts().size(), std::size_t{1});
        QVERIFY(h->dialogs.texts()[0].find("PC863.CP") != std::string::npos);
        QVERIFY(h->serial.events.empty());
        QVERIFY(control("Font_Label")->isHidden());
    }

    void blankPortBuildsTheImageButShowsAndSendsNothing() {
        control<QComboBox>("SPort")->setCurrentIndex(0);
        clickDownload();
        QVERIFY(h->dialogs.texts().empty());
        QVERIFY(h->serial.events.empty());
        QCOMPARE(h->folder.read("Codepage Table/test").size(), std::size_t{65536});
        QVERIFY(control("Font_Label")->isHidden());
        QCOMPARE(savedList(), kSavedList);
    }
};

QTEST_MAIN(FontPageTest)
#include "font_page_test.moc"
