// The window as the user meets it: every control by name, the start-up, and
// what each page's clicks send and show, with the fakes of the harness behind.
// What the core operations decide on their own is tested with them.

#include "app/main_window.h"
#include "codepages/code_page_font.h"
#include "common/unexpected.h"
#include "firmware/firmware_update.h"
#include "logos/logo_list.h"
#include "support/bmp_builder.h"
#include "support/bytes.h"
#include "support/harness.h"

#include <QAccessible>
#include <QTest>
#include <QtWidgets>

using namespace ordalia;
using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

namespace {

struct Control {
    const char* name;
    const char* kind; // the Qt class it is or is built on
    const char* text; // caption or text; a list's entries with the shown one in [ ]
    bool shown;
    bool enabled;
    const char* heard = nullptr; // what a screen reader says of it, if checked
};

// As the window opens with two logos listed and settings saved, not yet shown.
const Control kControls[] = {
    {"Frame1", "QGroupBox", "Interface Setting", true, true},
    {"SPort", "QComboBox", " |[COM 1]|COM 2|COM 3|COM 4|COM 5|COM 6|COM 7|COM 8", true, true},
    {"Sbaud", "QComboBox", "9600,n,8,1|19200,n,8,1|38400,n,8,1|[115200,n,8,1]", true, true},
    {"PortSelect_Serial", "QRadioButton", "[Serial]", true, true},
    {"PortSelect_Parallel", "QRadioButton", "Parallel", true, true},
    {"LPTPort", "QComboBox", "[LPT1]|LPT2", false, true},
    {"PortSelect_Network", "QRadioButton", "Network", true, true},
    {"NetHost", "QLineEdit", "", false, true},
    {"PortDevice", "QLabel", nullptr, true, false}, // this machine's first port
    {"SSTab1", "QTabWidget",
     "Printing Setting|[Test Print]|Logo Setting|Font Setting|Firmware Update", true, true},
    {"Frame2", "QGroupBox", "Printer Mode", true, true},
    {"EEPROM_Mode", "QComboBox", "2 inch|3 inch|Epson Emulation", true, true},
    {"Frame9", "QGroupBox", "Compound Word", true, true},
    {"EPPROM_Compound", "QComboBox",
     "DISABLE|Simplified Chinese|Traditional Chinese|Japanese|Korean", true, true},
    {"Frame14", "QGroupBox", "Serial Port Function", true, true},
    {"NewBaud", "QComboBox", "9600.n.8,1|19200,n,8,1|38400,n,8,1|[115200,n,8,1]", true, true,
     "New Baud Rate :"},
    {"Label9", "QLabel", "New Baud Rate :", true, true},
    {"EEPROM_RSBuf", "QComboBox", "128kB|  2kB|  6kB| 20kB", true, true, "Graphic Buffer :"},
    {"Label10", "QLabel", "Graphic Buffer :", true, true},
    {"Frame3", "QGroupBox", "Hardware Setting", true, true},
    {"Frame21", "QGroupBox", "", true, true},
    {"EEPROM_CD", "QComboBox", "Save Paper|Normal", true, true, "Cut Distance :"},
    {"Label29", "QLabel", "Cut Distance : ", true, true},
    {"Frame19", "QGroupBox", "", true, true},
    {"EEPROM_Density", "QComboBox", "Low|Normal|Dark|Darkest", true, true, "Printer Density :"},
    {"Label27", "QLabel", "Printer Density :", true, true},
    {"Frame16", "QGroupBox", "", true, true},
    {"EEPROM_Cutter_ON", "QRadioButton", "ON", true, true, "Cutter Function : ON"},
    {"EEPROM_Cutter_OFF", "QRadioButton", "[OFF]", true, true, "Cutter Function : OFF"},
    {"Label13", "QLabel", "Cutter Function :", true, true},
    {"Frame4", "QGroupBox", "Sensor Switch", true, true},
    {"Frame18", "QGroupBox", "", true, true},
    {"EEPROM_Door_ON", "QRadioButton", "ON", true, true, "Door Sensor : ON"},
    {"EEPROM_Door_OFF", "QRadioButton", "[OFF]", true, true, "Door Sensor : OFF"},
    {"Label23", "QLabel", "Door Sensor :", true, true},
    {"Frame5", "QGroupBox", "", true, true},
    {"EEPROM_PaperEnd_ON", "QRadioButton", "ON", true, true, "Paper End : ON"},
    {"EEPROM_PaperEnd_OFF", "QRadioButton", "[OFF]", true, true, "Paper End : OFF"},
    {"Label12", "QLabel", "Paper End : ", true, true},
    {"Frame7", "QGroupBox", "", true, true},
    {"EEPROM_NearEnd_ON", "QRadioButton", "ON", true, true, "Paper Near-End : ON"},
    {"EEPROM_NearEnd_OFF", "QRadioButton", "[OFF]", true, true, "Paper Near-End : OFF"},
    {"Label14", "QLabel", "Paper Near-End :", true, true},
    {"Command1", "QPushButton", "Download Setting To Printer", true, true},
    {"test_rec1", "QPushButton", "Receipt 1", true, true},
    {"test_rec2", "QPushButton", "Receipt 2", true, true},
    {"test_rec3", "QPushButton", "Receipt 3", true, true},
    {"test_rec4", "QPushButton", "Receipt 4", true, true},
    {"test_FontSize", "QPushButton", "Font Size", true, true},
    {"test_BitMap", "QPushButton", "Bitmap", true, true},
    {"test_codepageA", "QPushButton", "Code Page (Font A)", true, true},
    {"test_codepageB", "QPushButton", "Code Page (Font B)", true, true},
    {"test_barcode", "QPushButton", "Barcode Test", true, true},
    {"test_cashdrawer", "QPushButton", "Cash Drawer Test", true, true},
    {"test_cutter", "QPushButton", "Cutter Test", false, true},
    {"Command5", "QPushButton", "Test Page", true, true},
    {"ListView1", "QTreeWidget", nullptr, true, true},
    {"Logo_Add", "QPushButton", "Add", true, true},
    {"Logo_Clear", "QPushButton", "Clear", true, true},
    {"Frame10", "QGroupBox", "Caption", true, true},
    {"Label1", "QLabel", "Logo Files :", true, true},
    {"Label3", "QLabel", "2/255", true, true},
    {"Label2", "QLabel", "Logo Total Size: ", true, true},
    {"Label4", "QLabel", "2k/128k", true, true}, // 2,048 bytes
    {"SSTab2", "QTabWidget", "Logo  Preview|[Donwload / Print]", true, true},
    {"Image1", "QLabel", "", true, true},
    {"Image2", "QLabel", "", true, true},
    {"Frame11", "QGroupBox", "Logo Size", true, true},
    {"Label5", "QLabel", " Width :", true, true},
    {"Label6", "QLabel", " Height :", true, true},
    {"Label7", "QLabel", "", true, true},
    {"Label8", "QLabel", "", true, true},
    {"Frame12", "QGroupBox", "Download", true, true},
    {"Download_Logo", "QPushButton", "Download  Logo  to  Printer", true, true},
    {"LogoProgressBar1", "QProgressBar", nullptr, false, true},
    {"Frame13", "QGroupBox", "Logo Print out", true, true},
    {"logo_all", "QRadioButton", "[All]", true, true},
    {"logo_select", "QRadioButton", "Select :", true, true},
    {"logo_text", "QLineEdit", "", true, true},
    {"Print_Logo", "QPushButton", "Print", true, true},
    {"SSTab3", "QTabWidget", "[Code Page Table]|Compound Word", true, true},
    {"Label17", "QLabel", "Code Page Table", true, true},
    {"Label16", "QLabel", "No.", true, true},
    {"Label18", "QLabel", "Pos.", true, true},
    {"Label24", "QLabel", "The \"Pos.\" is modified by Decimal System.", true, true},
    {"Label25", "QLabel", "Please refer to ESC/POS commnand :  <ESC> < t > < n > ; n = 0 ~ 255.",
     true, true},
    {"Label26", "QLabel", "1st position Should be 0 for default setting.", true, true},
    {"Font_Updata", "QPushButton", "Download to Printer", true, true},
    {"Font_ProgressBar", "QProgressBar", nullptr, false, true},
    {"Font_Label", "QLabel", nullptr, false, true},
    {"Command2", "QPushButton", "製作燒錄檔", false, true},
    {"Command3", "QPushButton", "open source", false, true},
    {"source_Text", "QLineEdit", "", false, true},
    {"Label21", "QLabel", "output.a79", false, true},
    {"Frame17", "QGroupBox", "Modify Name :", false, true},
    {"Label22", "QLabel", "Maximum = 15 Character.", true, true},
    {"open_com", "QPushButton", "Open Compound File", true, true},
    {"com_Text", "QLineEdit", "", false, false},
    {"com_download", "QPushButton", "Download To Printer", true, true},
    {"com_ProgressBar", "QProgressBar", nullptr, false, true},
    {"com_Label", "QLabel", nullptr, false, true},
    {"Label20", "QLabel", "The \"Compound Word\" is only for GB2312,Big5,JISx0208,Korean.", true,
     true},
    {"Label19", "QLabel", "Please refer to ESC/POS commnand : <FS> < ! >", true, true},
    {"Frame6", "QGroupBox", "Firmware Update", true, true},
    {"OpenFirm", "QPushButton", "Open Firmware File", true, true},
    {"Firm_Text", "QLineEdit", "", false, true, "Firmware File"},
    {"ISP_ERROR", "QCheckBox", "Ignore printer's malfunction", true, true},
    {"Firm_Updata", "QPushButton", "Update", true, true},
    {"Firm_ProgressBar", "QProgressBar", nullptr, false, true},
    {"Firm_Label", "QLabel", nullptr, false, true},
    {"Command4", "QPushButton", "Command4", false, true},
};

// What a control shows: an option or check box whether it is set (1 or 0);
// with `entries`, a list's or tab control's entries and a set option's
// caption, the shown or set one in [ ].
QString textOf(QWidget* w, bool entries = false) {
    auto* list = qobject_cast<QComboBox*>(w);
    auto* tabs = qobject_cast<QTabWidget*>(w);
    auto* option = qobject_cast<QAbstractButton*>(w);
    if (option && option->isCheckable() && !entries)
        return QString::number(option->isChecked());
    const char* shows = w->property("title").isValid() ? "title" : list ? "currentText" : "text";
    const QString text = w->property(shows).toString();
    if (!entries || !(list || tabs))
        return option && option->isChecked() ? "[" + text + "]" : text;
    QStringList all;
    for (int i = 0; i < (list ? list->count() : tabs->count()); ++i) {
        const QString e = list ? list->itemText(i) : tabs->tabText(i);
        all << ((list ? list->currentIndex() : tabs->currentIndex()) == i ? "[" + e + "]" : e);
    }
    return all.join('|');
}

// What a screen reader says of a control: its name and its labels' names.
QString heard(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    QString said = a->text(QAccessible::Name);
    for (const auto& [label, relation] : a->relations(QAccessible::Label))
        said += " " + label->text(QAccessible::Name);
    return said;
}

// 3 inch, 38400, cutter on, paper end off, near end on, Korean, 20kB, door
// off, Darkest; byte 0, byte 12 and byte 13's upper bits are not the page's.
const Bytes kSaved = {0x11, 1, 2, 1, 0, 1, 0, 0, 4, 3, 0, 3, 0x66, 0xFF};
const Bytes kIdQueryAndTestPage = {0x1D /*GS*/, 0x49 /*I*/, 0x01, 0x1B /*ESC*/, 0x88};

Bytes request(std::uint8_t op) {
    return {0x1C /*FS*/, op, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R'};
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Harness> h;
    std::unique_ptr<app::MainWindow> window;

    // A window over the harness as it is now, with Qt's own dialogs unless
    // the recorder is wanted.
    void open(bool recorded = true) {
        window = std::make_unique<app::MainWindow>(
            app::WindowParts{h->folder.path(), &h->serial, &h->parallel, &h->clock,
                             recorded ? &h->dialogs : nullptr});
        window->show();
    }
    template <typename T = QWidget>
    T* control(const QString& name) {
        if (T* w = window->findChild<T*>(name))
            return w;
        qFatal("no control %s", qPrintable(name));
    }
    // "a|b|c": what the named controls show.
    QString texts(const QStringList& names) {
        QStringList all;
        for (const QString& name : names)
            all << textOf(control(name));
        return all.join('|');
    }
    bool shown(const char* name) { return !control(name)->isHidden(); }
    void click(const QString& name) { control<QAbstractButton>(name)->click(); }
    void showTab(int index) { control<QTabWidget>("SSTab1")->setCurrentIndex(index); }
    void select(const char* list, int index) { control<QComboBox>(list)->setCurrentIndex(index); }
    Bytes sent() { return std::exchange(h->serial.written, {}); }
    // The messages shown since the last call.
    Texts said() {
        const Texts t = h->dialogs.texts();
        h->dialogs.messages.clear();
        return t;
    }
    void type(const char* list, const QString& typed) {
        QTest::keyClick(control(list), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(control(list), typed);
        QTest::keyClick(control(list), Qt::Key_Return);
    }

private Q_SLOTS:
    void init() {
        h = std::make_unique<Harness>();
        open();
    }
    void cleanup() {
        window.reset();
        h.reset();
    }

    void everyControlAsTheWindowOpens() {
        h->folder.write("Logo_Path", "1,\"/logos/a.bmp\",\"a.bmp\",1536,200,100\r\n"
                                     "2,\"/logos/b.bmp\",\"b.bmp\",512,64,32\r\n");
        h->folder.write("user_setting", kSaved);
        open();
        for (const Control& c : kControls) {
            QWidget* w = control(c.name);
            QVERIFY2(w->inherits(c.kind) && w->isHidden() != c.shown && w->isEnabled() == c.enabled,
                     c.name);
            QVERIFY2(!c.text || textOf(w, true) == QString::fromUtf8(c.text),
                     qPrintable(textOf(w, true)));
            QVERIFY2(!c.heard || heard(w).contains(c.heard), qPrintable(heard(w)));
        }
        const char* rows[] = {"1st", "2nd", "3rd", "4th", "5th", "6th"};
        const char* tables[] = {"PC437", "katakana", "PC850", "PC860", "PC863", "PC865"};
        for (int i = 0; i < 6; ++i) {
            const QString n = QStringLiteral("(%1)").arg(i);
            QCOMPARE(texts({"CP_Label" + n, "Pos_CP" + n, "Text_CP" + n, "Change_Cp" + n}),
                     QStringLiteral("%1|%2|%3|Change Table %2").arg(rows[i]).arg(i).arg(tables[i]));
            QVERIFY(control("Pos_CP" + n)->isEnabled() == (i > 0) &&
                    !control("Text_CP" + n)->isEnabled());
            QCOMPARE(control<QLineEdit>("Text_CP" + n)->maxLength(), 30);
            QCOMPARE(heard(control("Pos_CP" + n)) + "|" + heard(control("Text_CP" + n)),
                     QStringLiteral("%1 Pos.|%1 code page").arg(rows[i]));
        }
        QCOMPARE(control<QLineEdit>("Pos_CP(0)")->maxLength() +
                     control<QLineEdit>("model_name")->maxLength(),
                 3 + 15);
        auto* list = control<QTreeWidget>("ListView1");
        QCOMPARE(list->headerItem()->text(1) + "|" + list->topLevelItem(1)->text(1),
                 "File Name|b.bmp");
        window->close(); // starting and closing open, ask and write nothing
        QVERIFY(h->serial.events.empty() && h->dialogs.messages.empty());
        QCOMPARE(h->folder.read("user_setting"), kSaved);
    }

    void titleAndApplicationName() {
        app::nameApplication();
        QCOMPARE(window->windowTitle(), QStringLiteral("Ordalia v13"));
        // A display name would have the desktop append " — Ordalia" to it.
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
        // Announced as a frame: Qt's Window role.
        QCOMPARE(QAccessible::queryAccessibleInterface(window.get())->role(), QAccessible::Window);
    }

    void theInterfaceStrip() {
        h->folder.write("testpage/rec1.p", std::string("\x1d\x6b\x02", 3));
        h->folder.write("ports", "COM 3=/dev/ttyUSB4\n");
        // Typed text never becomes an entry; only an entry's own text opens a port.
        for (auto [typed, port, opened] :
             {std::tuple{"COM 12", -1, ""}, {"xyz", -1, ""}, {"COM 3", 3, "/dev/ttyUSB4"}}) {
            h->serial.openedDevices.clear();
            type("SPort", typed);
            click("test_rec1");
            QVERIFY2(window->linkChoice().portIndex == port, typed);
            QCOMPARE(control<QComboBox>("SPort")->count(), 9);
            QCOMPARE(h->serial.openedDevices, *opened ? Texts{opened} : Texts{});
            QCOMPARE(said().size(), *opened ? 0u : 1u); // "... none of its entries ..."
        }
        QCOMPARE(texts({"PortDevice"}), "COM 3 = /dev/ttyUSB4, named in the file \"ports\"");
        type("Sbaud", "4800,n,8,1");
        click("test_rec1");
        QVERIFY(h->serial.settings().baud == 4800 && control<QComboBox>("Sbaud")->count() == 4);
        sent();
        click("PortSelect_Parallel");
        QVERIFY(!shown("SPort") && !shown("Sbaud") && !shown("Frame14") && shown("LPTPort"));
        select("LPTPort", 1);
        click("test_rec1");
        QCOMPARE(h->parallel.data(0x278), (Bytes{0x1D, 0x6B, 0x02})); // LPT2's data register only
        QVERIFY(h->parallel.data(0x378).empty() && h->serial.written.empty());
        click("PortSelect_Serial");
        click("PortSelect_Serial"); // again: no change
        QVERIFY(shown("SPort") && shown("Sbaud") && shown("Frame14") && !shown("LPTPort"));
        QVERIFY(said().empty() && !h->serial.isOpen());

        // Whatever an operation throws ends it with a message, not the program.
        h->serial.onWrite = [](const Bytes&) { throw std::runtime_error("the wire is cut"); };
        click("Command5");
        const std::runtime_error cut("the wire is cut");
        QCOMPARE(sent(), (Bytes{0x1B /*ESC*/, 0x88 /*test page, in the one run that failed*/}));
        QVERIFY(said() == Texts{unexpectedErrorMessage(&cut)} && !h->serial.isOpen());
    }

    void aNetworkPrinterTakesTheSerialPathAtTheKeptHost() {
        h->folder.write("network", "printer.local:9101\r\n");
        h->folder.write("testpage/rec1.p", "text\n");
        h->folder.write("user_setting", kSaved); // a record of the serial link
        open();
        QVERIFY(texts({"NetHost", "PortSelect_Serial"}) == "printer.local:9101|1" &&
                !shown("NetHost"));
        click("PortSelect_Network");
        QVERIFY(shown("NetHost") && !shown("SPort") && !shown("Sbaud") && !shown("LPTPort") &&
                shown("Frame14"));
        showTab(0); // the saved record does not take the network away
        QVERIFY(texts({"PortSelect_Network"}) == "1" && shown("NetHost"));
        click("test_rec1");
        QCOMPARE(h->serial.openedDevices, Texts{"tcp://printer.local:9101"});
        QCOMPARE(sent(), (Bytes{'t', 'e', 'x', 't', '\n'}));
        QTest::keyClick(control("NetHost"), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(control("NetHost"), " 10.0.0.7 ");
        QCOMPARE(h->folder.read("network"),
                 (Bytes{'1', '0', '.', '0', '.', '0', '.', '7', '\r', '\n'}));
        QTest::keyClick(control("NetHost"), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(control("NetHost"), Qt::Key_Delete);
        click("test_rec1"); // no host: no port
        QVERIFY(said() == Texts{"Please Choose the com port !"} &&
                h->serial.openedDevices.size() == 1);
        click("PortSelect_Serial");
        QVERIFY(!shown("NetHost") && shown("SPort") && shown("Sbaud"));
    }

    void printerInfoFindsTheSpeedThePrinterWasLeftAt() {
        open();
        select("Sbaud", 3); // 115200
        h->serial.onWrite = [&](const Bytes&) {
            if (h->serial.settings().baud == 9600)
                h->serial.reply({0x12});
        };
        click("PrinterInfo");
        QCOMPARE(h->dialogs.questions.at(0).text, "Choose 9600,n,8,1 in the speed list?");
        QCOMPARE(texts({"Sbaud"}), QStringLiteral("9600,n,8,1"));
    }

    void theLabelFollowsAPortPluggedIn() {
        open();
        select("SPort", 2);
        const QString before = control<QLabel>("PortDevice")->text();
        h->folder.write("ports", "COM 2=/dev/ordalia-plugged-in\n");
        QTRY_VERIFY_WITH_TIMEOUT(
            control<QLabel>("PortDevice")->text().contains("ordalia-plugged-in"),
            3 * app::kPortLookIntervalMs);
        QVERIFY(!before.contains("ordalia-plugged-in"));
    }

    void anUnopenablePortIsNamedWithItsDevice() {
        h->folder.write("testpage/rec1.p", "text\n");
        h->folder.write("ports", "COM 2=/dev/ordalia-no-such-port\n");
        window = std::make_unique<app::MainWindow>( // the machine's own serial port
            app::WindowParts{h->folder.path(), nullptr, &h->parallel, nullptr, &h->dialogs});
        select("SPort", 2);
        click("test_rec1");
        QVERIFY(said().at(0).find("COM 2 (/dev/ordalia-no-such-port)") != std::string::npos);
    }

    void settingsLoadWhenShownAndDownload() {
        h->folder.write("flash3", Bytes{0x5A, 0xA5});
        h->folder.write("user_setting", kSaved);
        showTab(0); // the wire below shows every control as loaded
        QCOMPARE(texts({"Sbaud", "EEPROM_RSBuf", "EEPROM_Door_ON"}), "38400,n,8,1| 20kB|0");
        // Replies after the request, the two flash3 bytes and record bytes 1 to 11.
        h->serial.onWrite = [&](const Bytes&) {
            if (h->serial.written.size() >= 12 && h->serial.written.size() <= 25)
                h->serial.reply({0xAA}, 1);
        };
        select("NewBaud", 1);
        click("Command1");
        QCOMPARE(said(), Texts{"Download Finish !!"});
        QCOMPARE(sent(),
                 concat({request(0xC6 /*settings*/),
                         {0x5A, 0xA5 /*flash3*/},
                         {1 /*3 inch*/, 1 /*NewBaud*/, 1, 0, 1, 0, 0, 4, 3, 0, 3, 0x66, 0xFE}}));
        QCOMPARE(texts({"Sbaud"}), QStringLiteral("19200,n,8,1")); // the printer's new speed
        // Choosing "2 inch" turns the near-end sensor off, "3 inch" on.
        QTest::keyClick(control("EEPROM_Mode"), Qt::Key_Home);
        QCOMPARE(texts({"EEPROM_Mode", "EEPROM_NearEnd_OFF"}), "2 inch|1");
        QTest::keyClick(control("EEPROM_Mode"), Qt::Key_Down);
        QCOMPARE(texts({"EEPROM_Mode", "EEPROM_NearEnd_ON"}), "3 inch|1");
        // A record saved on the parallel link chooses it; with none saved the
        // record held (all zero at start) loads, the link's speed included.
        h->folder.write("user_setting", Bytes{0, 1, 255, 1, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0});
        showTab(4);
        showTab(0);
        QVERIFY(texts({"PortSelect_Parallel"}) == "1" && !shown("SPort") && shown("LPTPort"));
        std::filesystem::remove(h->folder.path() / "user_setting");
        open();
        showTab(0);
        QCOMPARE(texts({"Sbaud", "EEPROM_Mode", "PortSelect_Serial"}), "9600,n,8,1|2 inch|1");
    }

    void firmwareUpdate() {
        // The restart check polls the clock without sleeping; each read takes
        // a little virtual time, as a real one does.
        h->clock.onTick = [this](std::uint64_t) { h->clock.advanceUs(50); };
        const Bytes image = pseudoRandomBytes(kFirmwareImageSize, 7);
        const auto file = h->folder.write("new.firm", image);
        h->dialogs.files.push_back(FileChoice{file, "new.firm"});
        click("OpenFirm");
        QVERIFY(shown("Firm_Text") && texts({"Firm_Text"}).toStdString() == file.string());
        bool showing = false;
        h->serial.onWrite = [&](const Bytes&) {
            h->serial.reply({0xAA}, 5); // the request and the ID query are answered
            showing = showing || (shown("Firm_Label") && shown("Firm_ProgressBar"));
        };
        click("Firm_Updata");
        QCOMPARE(said(), Texts{"Firmware Update Finish !!"});
        QVERIFY(showing && !shown("Firm_Label") && !shown("Firm_ProgressBar"));
        QVERIFY(sent() == concat({request(0xC8), image, kIdQueryAndTestPage}));
    }

    void fontSettingPage() {
        for (const char* name : {"PC437", "WPC1252", "PC850", "PC860", "PC863", "PC866"})
            h->folder.write(std::string("Codepage Table/") + name + ".CP", formatCodePageFont({}));
        h->folder.write("Codepage Table/Codepage", "\"0\",\"PC437\"\r\n\"16\",\"WPC1252\"\r\n"
                                                   "\"2\",\"PC850\"\r\n\"3\",\"PC860\"\r\n"
                                                   "\"4\",\"PC863\"\r\n\"17\",\"PC866\"\r\n");
        h->folder.write("Codepage Table/model_name", "\"RP-80\"\r\n");
        showTab(3);
        QCOMPARE(texts({"Pos_CP(1)", "Text_CP(1)", "Pos_CP(5)", "Text_CP(5)", "model_name"}),
                 QStringLiteral("16|WPC1252|17|PC866|RP-80"));
        h->serial.onWrite = [&](const Bytes&) { h->serial.reply({0xAA}, 5); }; // answers all
        control<QLineEdit>("Pos_CP(2)")->setText(QStringLiteral("40"));
        click("Font_Updata");
        QCOMPARE(said(), Texts{"Undata Finish !!"});
        const Bytes image = h->folder.read("Codepage Table/test");
        QCOMPARE(image.at(0xF0C2), std::uint8_t{40}); // slot 2 as typed
        QVERIFY(sent() == concat({request(0xC7), image, kIdQueryAndTestPage}));
        QVERIFY(!shown("Font_Label") && !shown("Font_ProgressBar"));
        // The compound word tab shows the chosen file and its language.
        const auto file = h->folder.write("fonts/ex_Korean.code", Bytes(622656, 0x11));
        h->dialogs.files.push_back(FileChoice{file, "ex_Korean.code"});
        click("open_com");
        QVERIFY(shown("com_Text") && !control("com_Text")->isEnabled());
        QCOMPARE(texts({"com_Text"}), QString::fromStdString(file.string()));
        QVERIFY(shown("com_Language") && !texts({"com_Language"}).isEmpty());
    }

    void logoLibraryPreviewPrintAndDownload() {
        const auto a = h->folder.write("pictures/a.bmp", monochromeBmp(filledPicture(8, 8, '#')));
        h->folder.write("Logo_Path", formatLogoRecord({1, a, "a.bmp", 94, 8, 8}) +
                                         formatLogoRecord({2, h->folder.path() / "gone.bmp",
                                                           "gone.bmp", 94, 8, 4}));
        open();
        showTab(2);
        auto* list = control<QTreeWidget>("ListView1");
        auto* image = control<QLabel>("Image1");
        for (const auto& [row, size, labels] : {std::tuple{0, QSize(8, 8), "8|8"}, // its own size
                                                {1, QSize(4215 / 15, 4455 / 15), "8|4"}}) { // gone
            const QRect at = list->visualItemRect(list->topLevelItem(row));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at.center());
            QVERIFY(image->size() == size && texts({"Label7", "Label8"}) == labels);
            QVERIFY(image->pixmap().isNull() == (row == 1) &&
                    control<QTabWidget>("SSTab2")->currentIndex() == 0);
        }
        QVERIFY(said().at(0).find("cannot be found") != std::string::npos);
        click("Print_Logo"); // "All" is set at start
        control<QRadioButton>("logo_select")->setChecked(true);
        control<QLineEdit>("logo_text")->setText(QStringLiteral("1.5"));
        click("Print_Logo");
        // FS p n 0: print logo n; GS V 66 0: cut
        const auto p = [](std::uint8_t n) { return Bytes{0x1C, 0x70, n, 0, 0x1D, 0x56, 0x42, 0}; };
        QCOMPARE(sent(), concat({p(1), p(2), p(2)}));
        click("Logo_Clear");
        QCOMPARE(texts({"Label3", "Label4", "Label7"}), "0/255|0k/128k|");
        h->dialogs.files.push_back(FileChoice{a, "a.bmp"});
        click("Logo_Add");
        QCOMPARE(list->topLevelItem(0)->text(1) + "|" + texts({"Label3"}), "a.bmp|1/255");
        click("Download_Logo");
        QCOMPARE(sent(), (Bytes{0x1C, 0x71 /*FS q*/, 1, 1, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                0xFF, 0xFF, 0xFF, 0, 0, 0}));
        QVERIFY(said() == Texts{"Transmit Done!!"} && !shown("LogoProgressBar1"));
    }

    void aLogoListInTheSystemCodePageComesBackUnchanged() {
        // "caf\xE9" is "café" in the Western code page, as earlier tools wrote
        // the list; the damaged line makes the next Add write it all anew.
        const std::string first = "1,\"C:\\Logos\\caf\xE9.bmp\",\"caf\xE9.bmp\",94,8,8\r\n";
        h->folder.write("Logo_Path", first + "2,damaged\r\n");
        const auto a = h->folder.write("pictures/a.bmp", monochromeBmp(filledPicture(8, 8, '#')));
        open();
        showTab(2);
        QCOMPARE(control<QTreeWidget>("ListView1")->topLevelItemCount(), 1);
        h->dialogs.files.push_back(FileChoice{a, "a.bmp"});
        click("Logo_Add");
        const auto written = h->folder.read("Logo_Path");
        QVERIFY(std::string(written.begin(), written.end()).starts_with(first));
        QCOMPARE(control<QTreeWidget>("ListView1")->topLevelItemCount(), 2);
    }

    void aTransferGoesOnWhileASecondStartAndACloseAreRefused() {
        open(false); // Qt's own message boxes
        const Bytes page = pseudoRandomBytes(3000, 3);
        h->folder.write("testpage/rec1.p", page);
        QStringList notices;
        QMessageBox none; // what is found when no box is left
        const auto box = [&] { return window->findChildren<QMessageBox*>().value(0, &none); };
        h->serial.onWrite = [&](const Bytes& run) { // the run that passes byte 1,000
            if (h->serial.written.size() < 1000 || h->serial.written.size() - run.size() >= 1000)
                return;
            // Clicked as a user clicks: handled by one of the transfer's pumps.
            QTimer::singleShot(0, [&] {
                QTimer::singleShot(0, [&] { // a modal box would hold the transfer until closed
                    if (QWidget* box = QApplication::activeModalWidget())
                        notices << "modal" << (box->close() ? "closed" : "");
                });
                // A second start, and each control that opens a file dialog.
                for (const char* name :
                     {"Command5", "OpenFirm", "open_com", "Logo_Add", "ConvertPicture"}) {
                    click(name);
                    notices << box()->text();
                }
                notices << (window->close() ? "closed" : box()->text());
            });
        };
        click("test_rec1");
        QCOMPARE(sent(), page); // all of it, and nothing of the refused one
        QCOMPARE(notices, (QStringList{kTransferBusyMessage, kTransferBusyMessage,
                                       kTransferBusyMessage, kTransferBusyMessage,
                                       kTransferBusyMessage, app::kCloseAfterTransferMessage}));
        QCOMPARE(box()->windowTitle(), qApp->applicationDisplayName());
        QTRY_VERIFY(!window->isVisible() && !h->serial.isOpen()); // closed after the transfer
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
