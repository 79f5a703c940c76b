// The window as the user meets it: every control by name, the start-up
// state, and what a click does with a fake port behind it.

#include "app/code_page_page.h"
#include "app/compound_page.h"
#include "app/font_page.h"
#include "app/main_window.h"
#include "app/test_print_page.h"
#include "support/harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

using namespace ordalia;
using namespace ordalia::testing;

namespace {

struct Control {
    const char* name;
    const char* type; // Qt class the control is, or is built on
    const char* text; // caption, title or text; nullptr: not checked
    bool hidden;
    bool enabled;
};

// Part of every page, by name, with its caption and its state at start.
const Control kControls[] = {
    {"Frame1", "QGroupBox", "Interface Setting", false, true},
    {"SPort", "QComboBox", "COM 1", false, true},
    {"Sbaud", "QComboBox", "115200,n,8,1", false, true},
    {"PortSelect_Serial", "QRadioButton", "Serial", false, true},
    {"PortSelect_Parallel", "QRadioButton", "Parallel", false, true},
    {"LPTPort", "QComboBox", "LPT1", true, true},
    {"PortDevice", "QLabel", nullptr, false, false},
    {"SSTab1", "QTabWidget", nullptr, false, true},
    // Printing Setting
    {"Frame2", "QGroupBox", "Printer Mode", false, true},
    {"EEPROM_Mode", "QComboBox", nullptr, false, true},
    {"Frame9", "QGroupBox", "Compound Word", false, true},
    {"EPPROM_Compound", "QComboBox", nullptr, false, true},
    {"Frame14", "QGroupBox", "Serial Port Function", false, true},
    {"NewBaud", "QComboBox", "115200,n,8,1", false, true},
    {"Label9", "QLabel", "New Baud Rate :", false, true},
    {"EEPROM_RSBuf", "QComboBox", nullptr, false, true},
    {"Label10", "QLabel", "Graphic Buffer :", false, true},
    {"Frame3", "QGroupBox", "Hardware Setting", false, true},
    {"Frame21", "QGroupBox", "", false, true},
    {"EEPROM_CD", "QComboBox", nullptr, false, true},
    {"Label29", "QLabel", "Cut Distance : ", false, true},
    {"Frame19", "QGroupBox", "", false, true},
    {"EEPROM_Density", "QComboBox", nullptr, false, true},
    {"Label27", "QLabel", "Printer Density :", false, true},
    {"Frame16", "QGroupBox", "", false, true},
    {"EEPROM_Cutter_ON", "QRadioButton", "ON", false, true},
    {"EEPROM_Cutter_OFF", "QRadioButton", "OFF", false, true},
    {"Label13", "QLabel", "Cutter Function :", false, true},
    {"Frame4", "QGroupBox", "Sensor Switch", false, true},
    {"Frame18", "QGroupBox", "", false, true},
    {"EEPROM_Door_ON", "QRadioButton", "ON", false, true},
    {"EEPROM_Door_OFF", "QRadioButton", "OFF", false, true},
    {"Label23", "QLabel", "Door Sensor :", false, true},
    {"Frame5", "QGroupBox", "", false, true},
    {"EEPROM_PaperEnd_ON", "QRadioButton", "ON", false, true},
    {"EEPROM_PaperEnd_OFF", "QRadioButton", "OFF", false, true},
    {"Label12", "QLabel", "Paper End : ", false, true},
    {"Frame7", "QGroupBox", "", false, true},
    {"EEPROM_NearEnd_ON", "QRadioButton", "ON", false, true},
    {"EEPROM_NearEnd_OFF", "QRadioButton", "OFF", false, true},
    {"Label14", "QLabel", "Paper Near-End :", false, true},
    {"Command1", "QPushButton", "Download Setting To Printer", false, true},
    // Test Print
    {"test_rec1", "QPushButton", "Receipt 1", false, true},
    {"test_rec2", "QPushButton", "Receipt 2", false, true},
    {"test_rec3", "QPushButton", "Receipt 3", false, true},
    {"test_rec4", "QPushButton", "Receipt 4", false, true},
    {"test_FontSize", "QPushButton", "Font Size", false, true},
    {"test_BitMap", "QPushButton", "Bitmap", false, true},
    {"test_codepageA", "QPushButton", "Code Page (Font A)", false, true},
    {"test_codepageB", "QPushButton", "Code Page (Font B)", false, true},
    {"test_barcode", "QPushButton", "Barcode Test", false, true},
    {"test_cashdrawer", "QPushButton", "Cash Drawer Test", false, true},
    {"test_cutter", "QPushButton", "Cutter Test", true, true},
    {"Command5", "QPushButton", "Test Page", false, true},
    // Logo Setting
    {"ListView1", "QTreeWidget", nullptr, false, true},
    {"Logo_Add", "QPushButton", "Add", false, true},
    {"Logo_Clear", "QPushButton", "Clear", false, true},
    {"Frame10", "QGroupBox", "Caption", false, true},
    {"Label1", "QLabel", "Logo Files :", false, true},
    {"Label3", "QLabel", "0/255", false, true},
    {"Label2", "QLabel", "Logo Total Size: ", false, true},
    // Loaded at start from an empty library.
    {"Label4", "QLabel", "0k/128k", false, true},
    {"SSTab2", "QTabWidget", nullptr, false, true},
    {"Image1", "QLabel", "", false, true},
    {"Image2", "QLabel", "", false, true},
    {"Frame11", "QGroupBox", "Logo Size", false, true},
    {"Label5", "QLabel", " Width :", false, true},
    {"Label6", "QLabel", " Height :", false, true},
    {"Label7", "QLabel", "", false, true},
    {"Label8", "QLabel", "", false, true},
    {"Frame12", "QGroupBox", "Download", false, true},
    {"Download_Logo", "QPushButton", "Download  Logo  to  Printer", false, true},
    {"LogoProgressBar1", "QProgressBar", nullptr, true, true},
    {"Frame13", "QGroupBox", "Logo Print out", false, true},
    {"logo_all", "QRadioButton", "All", false, true},
    {"logo_select", "QRadioButton", "Select :", false, true},
    {"logo_text", "QLineEdit", "", false, true},
    {"Print_Logo", "QPushButton", "Print", false, true},
    // Font Setting
    {"SSTab3", "QTabWidget", nullptr, false, true},
    {"Label17", "QLabel", "Code Page Table", false, true},
    {"Label16", "QLabel", "No.", false, true},
    {"Label18", "QLabel", "Pos.", false, true},
    {"Label24", "QLabel", "The \"Pos.\" is modified by Decimal System.", false, true},
    {"Label25", "QLabel", "Please refer to ESC/POS commnand :  <ESC> < t > < n > ; n = 0 ~ 255.",
     false, true},
    {"Label26", "QLabel", "1st position Should be 0 for default setting.", false, true},
    {"Font_Updata", "QPushButton", "Download to Printer", false, true},
    {"Font_ProgressBar", "QProgressBar", nullptr, true, true},
    {"Font_Label", "QLabel", nullptr, true, true},
    {"Command3", "QPushButton", "open source", true, true},
    {"source_Text", "QLineEdit", "", true, true},
    {"Label21", "QLabel", "output.a79", true, true},
    {"Frame17", "QGroupBox", "Modify Name :", true, true},
    {"Label22", "QLabel", "Maximum = 15 Character.", false, true},
    {"open_com", "QPushButton", "Open Compound File", false, true},
    {"com_Text", "QLineEdit", "", true, false},
    {"com_download", "QPushButton", "Download To Printer", false, true},
    {"com_ProgressBar", "QProgressBar", nullptr, true, true},
    {"com_Label", "QLabel", nullptr, true, true},
    {"Label20", "QLabel", "The \"Compound Word\" is only for GB2312,Big5,JISx0208,Korean.", false,
     true},
    {"Label19", "QLabel", "Please refer to ESC/POS commnand : <FS> < ! >", false, true},
    // Firmware Update
    {"Frame6", "QGroupBox", "Firmware Update", false, true},
    {"OpenFirm", "QPushButton", "Open Firmware File", false, true},
    {"Firm_Text", "QLineEdit", "", true, true},
    {"ISP_ERROR", "QCheckBox", "Ignore printer's malfunction", false, true},
    {"Firm_Updata", "QPushButton", "Update", false, true},
    {"Firm_ProgressBar", "QProgressBar", nullptr, true, true},
    {"Firm_Label", "QLabel", nullptr, true, true},
    {"Command4", "QPushButton", "Command4", true, true},
};

QString textOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    return {};
}

QStringList itemsOf(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

class WindowTest : public QObject {
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

    // A window over the harness as it is now: files written before this call
    // are what the start-up finds.
    void openWindow() {
        delete window;
        app::WindowParts parts;
        parts.programFolder = h->folder.path();
        parts.serial = &h->serial;
        parts.parallel = &h->parallel;
        parts.clock = &h->clock;
        parts.dialogs = &h->dialogs;
        window = new app::MainWindow(parts);
        window->show();
    }

private Q_SLOTS:
    void init() {
        h = new Harness;
        window = nullptr;
        openWindow();
    }
    void cleanup() {
        delete window;
        delete h;
    }

    void everyControlByNameWithItsCaptionAndState() {
        for (const Control& c : kControls) {
            QWidget* w = window->findChild<QWidget*>(QString::fromLatin1(c.name));
            QVERIFY2(w, c.name);
            // A page's own class still counts as the kind of control it is.
            QVERIFY2(w->inherits(c.type), c.name);
            if (c.text)
                QCOMPARE(textOf(w), QString::fromUtf8(c.text));
            QVERIFY2(w->isHidden() == c.hidden, c.name);
            QVERIFY2(w->isEnabled() == c.enabled, c.name);
        }
        // The burn file's button carries its caption in Chinese.
        QCOMPARE(control<QPushButton>("Command2")->text(), QString::fromUtf8("製作燒錄檔"));
        QVERIFY(control("Command2")->isHidden());
    }

    void codePageRowsAsTheWindowOpens() {
        const char* names[] = {"PC437", "katakana", "PC850", "PC860", "PC863", "PC865"};
        const char* captions[] = {"1st", "2nd", "3rd", "4th", "5th", "6th"};
        for (int i = 0; i < 6; ++i) {
            const QByteArray n = QByteArray::number(i);
            auto* label = control<QLabel>(("CP_Label(" + n + ")").constData());
            auto* pos = control<QLineEdit>(("Pos_CP(" + n + ")").constData());
            auto* text = control<QLineEdit>(("Text_CP(" + n + ")").constData());
            auto* change = control<QPushButton>(("Change_Cp(" + n + ")").constData());
            QCOMPARE(label->text(), QString::fromLatin1(captions[i]));
            QCOMPARE(pos->text(), QString::number(i));
            QCOMPARE(pos->isEnabled(), i != 0);
            QCOMPARE(text->text(), QString::fromLatin1(names[i]));
            QVERIFY(!text->isEnabled());
            QCOMPARE(text->maxLength(), 30);
            QCOMPARE(change->text(), QStringLiteral("Change Table %1").arg(i));
        }
        QCOMPARE(control<QLineEdit>("Pos_CP(0)")->maxLength(), 3);
        QCOMPARE(control<QLineEdit>("model_name")->maxLength(), 15);
    }

    void listsAreFilledInOrderWithTheirBlanks() {
        QCOMPARE(itemsOf(control<QComboBox>("SPort")),
                 QStringList({" ", "COM 1", "COM 2", "COM 3", "COM 4", "COM 5", "COM 6", "COM 7",
                              "COM 8"}));
        QCOMPARE(control<QComboBox>("SPort")->currentIndex(), 1);
        QCOMPARE(itemsOf(control<QComboBox>("Sbaud")),
                 QStringList({"9600,n,8,1", "19200,n,8,1", "38400,n,8,1", "115200,n,8,1"}));
        QCOMPARE(control<QComboBox>("Sbaud")->currentIndex(), 3);
        QCOMPARE(itemsOf(control<QComboBox>("EEPROM_Mode")),
                 QStringList({"2 inch", "3 inch", "Epson Emulation"}));
        QCOMPARE(itemsOf(control<QComboBox>("NewBaud")),
                 QStringList({"9600.n.8,1", "19200,n,8,1", "38400,n,8,1", "115200,n,8,1"}));
        QCOMPARE(control<QComboBox>("NewBaud")->currentIndex(), 3);
        QCOMPARE(itemsOf(control<QComboBox>("EPPROM_Compound")),
                 QStringList({"DISABLE", "Simplified Chinese", "Traditional Chinese", "Japanese",
                              "Korean"}));
        QCOMPARE(itemsOf(control<QComboBox>("EEPROM_RSBuf")),
                 QStringList({"128kB", "  2kB", "  6kB", " 20kB"}));
        QCOMPARE(itemsOf(control<QComboBox>("EEPROM_Density")),
                 QStringList({"Low", "Normal", "Dark", "Darkest"}));
        QCOMPARE(itemsOf(control<QComboBox>("EEPROM_CD")), QStringList({"Save Paper", "Normal"}));
        QVERIFY(control<QComboBox>("SPort")->isEditable());
        QVERIFY(control<QComboBox>("Sbaud")->isEditable());
    }

    void opensOnTestPrintWithItsCaptionAndSize() {
        QCOMPARE(window->windowTitle(), QStringLiteral("Ordalia v13"));
        auto* tabs = control<QTabWidget>("SSTab1");
        QCOMPARE(tabs->count(), 5);
        QCOMPARE(tabs->currentIndex(), 1);
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        QCOMPARE(captions, QStringList({"Printing Setting", "Test Print", "Logo Setting",
                                        "Font Setting", "Firmware Update"}));
        QCOMPARE(control<QTabWidget>("SSTab2")->currentIndex(), 1);
        QCOMPARE(control<QTabWidget>("SSTab2")->tabText(0), QStringLiteral("Logo  Preview"));
        QCOMPARE(control<QTabWidget>("SSTab2")->tabText(1), QStringLiteral("Donwload / Print"));
        QCOMPARE(control<QTabWidget>("SSTab3")->currentIndex(), 0);
        QVERIFY(control<QRadioButton>("PortSelect_Serial")->isChecked());
        QVERIFY(control<QRadioButton>("logo_all")->isChecked());
        QCOMPARE(window->width(), app::kClientWidth);
        QCOMPARE(window->height(), app::kClientHeight);
        // The list view's keyed columns.
        auto* list = control<QTreeWidget>("ListView1");
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("No."));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("File Name"));
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("Size"));
        // Nothing was opened or written at start.
        QVERIFY(h->serial.events.empty());
        QVERIFY(h->dialogs.messages.empty());
    }

    void parallelHidesTheSerialControlsAndSerialBringsThemBack() {
        control<QRadioButton>("PortSelect_Parallel")->click();
        QVERIFY(control("SPort")->isHidden());
        QVERIFY(control("Sbaud")->isHidden());
        QVERIFY(control("Frame14")->isHidden());
        QVERIFY(!control("LPTPort")->isHidden());
        control<QComboBox>("LPTPort")->setCurrentIndex(1);
        QCOMPARE(window->linkChoice().parallelIndex, 1);
        QVERIFY(!window->linkChoice().serialSelected);
        for (int i = 0; i < 2; ++i) {
            control<QRadioButton>("PortSelect_Serial")->click();
            QVERIFY(!control("SPort")->isHidden());
            QVERIFY(!control("Sbaud")->isHidden());
            QVERIFY(!control("Frame14")->isHidden());
            QVERIFY(control("LPTPort")->isHidden());
        }
        QVERIFY(window->linkChoice().serialSelected);
        QVERIFY(h->dialogs.messages.empty());
    }

    void portEntryShowsTheDeviceItMeans() {
        h->folder.write("ports", "COM 3=/dev/ttyUSB4\n");
        control<QComboBox>("SPort")->setCurrentIndex(3);
        QCOMPARE(control("SPort")->toolTip(), QStringLiteral("/dev/ttyUSB4"));
        QCOMPARE(control<QComboBox>("SPort")->currentText(), QStringLiteral("COM 3"));
        // Typed text that is no entry means no port.
        control<QComboBox>("SPort")->setEditText(QStringLiteral("COM 9"));
        QCOMPARE(window->linkChoice().portIndex, -1);
    }

    void blankPortRefusesTheTestPageAndSendsNothing() {
        h->folder.write("testpage/rec1.p", "hello\n");
        control<QComboBox>("SPort")->setCurrentIndex(0);
        QTest::mouseClick(control("test_rec1"), Qt::LeftButton);
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"Please Choose the com port !"});
        QVERIFY(h->serial.events.empty());
    }

    void testPageButtonSendsItsFileAndTestPageSendsEsc88() {
        h->folder.write("testpage/barpic-a.p", std::string("\x1d\x6b\x02", 3));
        QTest::mouseClick(control("test_barcode"), Qt::LeftButton);
        QCOMPARE(h->serial.written, (std::vector<std::uint8_t>{0x1D, 0x6B, 0x02}));
        h->serial.written.clear();
        QTest::mouseClick(control("Command5"), Qt::LeftButton);
        QCOMPARE(h->serial.written, (std::vector<std::uint8_t>{0x1B, 0x88}));
        QVERIFY(!h->serial.isOpen());
    }

    void settingsPageLoadsWhenShownAndTheLinkFollows() {
        // Mode 2 inch with near end stored on; 38400 saved as the speed.
        h->folder.write("user_setting",
                        std::vector<std::uint8_t>{0, 0, 2, 1, 0, 1, 0, 0, 2, 1, 1, 3, 0, 0x02});
        QCOMPARE(control<QComboBox>("Sbaud")->currentIndex(), 3); // not before it is shown
        control<QTabWidget>("SSTab1")->setCurrentIndex(0);
        QCOMPARE(control<QComboBox>("Sbaud")->currentText(), QStringLiteral("38400,n,8,1"));
        QCOMPARE(control<QComboBox>("EEPROM_Mode")->currentText(), QStringLiteral("2 inch"));
        QVERIFY(control<QRadioButton>("EEPROM_NearEnd_ON")->isChecked());
        QVERIFY(control<QRadioButton>("EEPROM_Cutter_ON")->isChecked());
        QVERIFY(control<QRadioButton>("EEPROM_PaperEnd_OFF")->isChecked());
        QCOMPARE(control<QComboBox>("EPPROM_Compound")->currentText(),
                 QStringLiteral("Traditional Chinese"));
        QCOMPARE(control<QComboBox>("EEPROM_RSBuf")->currentText(), QStringLiteral("  2kB"));
        QCOMPARE(control<QComboBox>("EEPROM_Density")->currentText(), QStringLiteral("Darkest"));
        QCOMPARE(control<QComboBox>("EEPROM_CD")->currentText(), QStringLiteral("Normal"));
        QCOMPARE(control<QComboBox>("NewBaud")->currentIndex(), 3);

        // Choosing "3 inch" on the list turns the near-end sensor on, "2 inch" off.
        auto* mode = control<QComboBox>("EEPROM_Mode");
        mode->setCurrentIndex(0);
        Q_EMIT mode->activated(0);
        QVERIFY(control<QRadioButton>("EEPROM_NearEnd_OFF")->isChecked());
    }

    void settingsDownloadSetsTheLinkSpeedAfterSuccess() {
        h->folder.write("flash3", std::vector<std::uint8_t>{0, 0});
        h->folder.write("user_setting",
                        std::vector<std::uint8_t>{0, 1, 3, 1, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0});
        control<QTabWidget>("SSTab1")->setCurrentIndex(0);
        control<QComboBox>("NewBaud")->setCurrentIndex(1);
        h->serial.onWrite = [this](const std::vector<std::uint8_t>&) {
            const std::size_t n = h->serial.written.size();
            if (n >= 12 && n <= 25)
                h->serial.reply({0xAA}, 1);
        };
        QTest::mouseClick(control("Command1"), Qt::LeftButton);
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"Download Finish !!"});
        QCOMPARE(h->serial.written.size(), std::size_t{27});
        QCOMPARE(control<QComboBox>("Sbaud")->currentText(), QStringLiteral("19200,n,8,1"));
    }

    void firmwareFileChoiceShowsThePathOnlyAfterOk() {
        h->dialogs.files.push_back(FileChoice{"/images/a.firm", "a.firm"});
        h->dialogs.answers.push_back(false);
        QTest::mouseClick(control("OpenFirm"), Qt::LeftButton);
        QVERIFY(control("Firm_Text")->isHidden());
        h->dialogs.files.push_back(FileChoice{"/images/a.firm", "a.firm"});
        h->dialogs.answers.push_back(true);
        QTest::mouseClick(control("OpenFirm"), Qt::LeftButton);
        QVERIFY(!control("Firm_Text")->isHidden());
        QCOMPARE(control<QLineEdit>("Firm_Text")->text(), QStringLiteral("/images/a.firm"));
        // The file is not there: "File Error !!", nothing shown or sent.
        QTest::mouseClick(control("Firm_Updata"), Qt::LeftButton);
        QCOMPARE(h->dialogs.texts().back(), std::string("File Error !!"));
        QVERIFY(control("Firm_ProgressBar")->isHidden());
        QVERIFY(h->serial.events.empty());
    }

    void compoundFileChoiceShowsItsPathDisabled() {
        h->dialogs.files.push_back(FileChoice{"/fonts/Korean.code", "Korean.code"});
        h->dialogs.answers.push_back(true);
        QTest::mouseClick(control("open_com"), Qt::LeftButton);
        QVERIFY(!control("com_Text")->isHidden());
        QVERIFY(!control("com_Text")->isEnabled());
        QCOMPARE(control<QLineEdit>("com_Text")->text(), QStringLiteral("/fonts/Korean.code"));
    }

    void codePageTabReloadsTheSlotsWhenShown() {
        h->folder.write("Codepage Table/Codepage",
                        "\"0\",\"PC437\"\r\n\"16\",\"WPC1252\"\r\n\"2\",\"PC850\"\r\n"
                        "\"3\",\"PC860\"\r\n\"4\",\"PC863\"\r\n\"17\",\"PC866\"\r\n");
        h->folder.write("Codepage Table/model_name", "\"RP-80\"\r\n");
        control<QTabWidget>("SSTab1")->setCurrentIndex(3);
        QCOMPARE(control<QLineEdit>("Pos_CP(1)")->text(), QStringLiteral("16"));
        QCOMPARE(control<QLineEdit>("Text_CP(1)")->text(), QStringLiteral("WPC1252"));
        QCOMPARE(control<QLineEdit>("Text_CP(5)")->text(), QStringLiteral("PC866"));
        QCOMPARE(control<QLineEdit>("model_name")->text(), QStringLiteral("RP-80"));
    }

    void startUpLoadsTheLogoListButLeavesTheSavedSettingsForLater() {
        // Two logos of 1536 and 1024 bytes: 2560 bytes, 2.5k shown as 2k.
        h->folder.write("Logo_Path", "1,\"/logos/a.bmp\",\"a.bmp\",1536,200,100\r\n"
                                     "2,\"/logos/b.bmp\",\"b.bmp\",1024,64,32\r\n");
        // Saved at 38400 with 3 inch mode: not applied until the page is shown.
        h->folder.write("user_setting",
                        std::vector<std::uint8_t>{0, 1, 3, 1, 1, 1, 0, 0, 2, 1, 1, 3, 0, 0x02});
        openWindow();
        auto* list = control<QTreeWidget>("ListView1");
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("a.bmp"));
        QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("1024"));
        QCOMPARE(control<QLabel>("Label3")->text(), QStringLiteral("2/255"));
        QCOMPARE(control<QLabel>("Label4")->text(), QStringLiteral("2k/128k"));
        QCOMPARE(control<QTabWidget>("SSTab1")->currentIndex(), 1);
        QCOMPARE(control<QComboBox>("Sbaud")->currentIndex(), 3);
        QCOMPARE(control<QComboBox>("SPort")->currentText(), QStringLiteral("COM 1"));
        QVERIFY(control<QRadioButton>("PortSelect_Serial")->isChecked());
        // Start-up neither opens the port nor asks or tells anything.
        QVERIFY(h->serial.events.empty());
        QVERIFY(h->dialogs.messages.empty());
        QVERIFY(h->dialogs.questions.empty());
        QVERIFY(h->dialogs.fileRequests.empty());
    }

    void blankPortEntryIsShownAsNoPort() {
        auto* port = control<QComboBox>("SPort");
        QCOMPARE(control<QLabel>("PortDevice")->text(), port->toolTip());
        port->setCurrentIndex(0);
        QCOMPARE(window->linkChoice().portIndex, 0);
        QCOMPARE(port->toolTip(), QStringLiteral("no port"));
        QCOMPARE(control<QLabel>("PortDevice")->text(), QStringLiteral("no port"));
        port->setCurrentIndex(8);
        QCOMPARE(window->linkChoice().portIndex, 8);
        QCOMPARE(window->linkChoice().settings, std::string("115200,n,8,1"));
    }

    void parallelChoiceReachesTheTestPageOnTheChosenLptPort() {
        h->folder.write("testpage/rec2.p", std::string("\x1b\x40", 2));
        control<QRadioButton>("PortSelect_Parallel")->click();
        control<QComboBox>("LPTPort")->setCurrentIndex(1);
        QTest::mouseClick(control("test_rec2"), Qt::LeftButton);
        // Nothing goes to the serial port; LPT2's data register (0x278)
        // takes ESC @ and LPT1's nothing.
        QVERIFY(h->serial.events.empty());
        QCOMPARE(h->parallel.data(0x278), (std::vector<std::uint8_t>{0x1B, 0x40}));
        QVERIFY(h->parallel.data(0x378).empty());
        QVERIFY(h->dialogs.messages.empty());
    }

    void switchingTheFontTabsReloadsTheSlotsOnlyOnTheCodePageTab() {
        const auto writeSlots = [this](const char* sixth, const char* model) {
            h->folder.write("Codepage Table/Codepage",
                            std::string("\"0\",\"PC437\"\r\n\"1\",\"katakana\"\r\n"
                                        "\"2\",\"PC850\"\r\n\"3\",\"PC860\"\r\n"
                                        "\"4\",\"PC863\"\r\n") +
                                sixth + "\r\n");
            h->folder.write("Codepage Table/model_name", std::string("\"") + model + "\"\r\n");
        };
        writeSlots("\"17\",\"PC866\"", "RP-80");
        control<QTabWidget>("SSTab1")->setCurrentIndex(3);
        QCOMPARE(control<QLineEdit>("Pos_CP(5)")->text(), QStringLiteral("17"));
        auto* tabs = control<QTabWidget>("SSTab3");
        tabs->setCurrentIndex(1);
        writeSlots("\"18\",\"PC852\"", "POS-58");
        // The compound tab leaves the rows as they were.
        QCOMPARE(control<QLineEdit>("Pos_CP(5)")->text(), QStringLiteral("17"));
        tabs->setCurrentIndex(0);
        QCOMPARE(control<QLineEdit>("Pos_CP(5)")->text(), QStringLiteral("18"));
        QCOMPARE(control<QLineEdit>("Text_CP(5)")->text(), QStringLiteral("PC852"));
        QCOMPARE(control<QLineEdit>("model_name")->text(), QStringLiteral("POS-58"));
        QVERIFY(h->dialogs.messages.empty());
    }

    void codePageTabWithoutItsListSaysSoAndKeepsTheRows() {
        control<QTabWidget>("SSTab1")->setCurrentIndex(3);
        QCOMPARE(h->dialogs.messages.size(), std::size_t{1});
        QCOMPARE(control<QLineEdit>("Text_CP(1)")->text(), QStringLiteral("katakana"));
        QVERIFY(h->serial.events.empty());
    }

    void pagesAreReachableByTheirClasses() {
        QCOMPARE(static_cast<QWidget*>(&window->fontPage().codePagePage()),
                 control("Pos_CP(0)")->parentWidget());
        QCOMPARE(static_cast<QWidget*>(&window->fontPage().compoundPage()),
                 control("open_com")->parentWidget());
        QCOMPARE(static_cast<QWidget*>(&window->testPrintPage()),
                 control("test_rec1")->parentWidget());
    }

    void closingWritesNothingAndLeavesNoPortOpen() {
        window->close();
        QVERIFY(h->serial.events.empty());
        QVERIFY(!std::filesystem::exists(h->folder.path() / "user_setting"));
        QVERIFY(!std::filesystem::exists(h->folder.path() / "Logo_Path"));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
