// The "Logo Setting" page as the user meets it: the list filled from
// Logo_Path at start, adding, the preview, clearing, and the download and
// print buttons with a fake port behind them.

#include "app/logo_page.h"
#include "app/main_window.h"
#include "logos/logo_download.h"
#include "support/bmp_builder.h"
#include "support/harness.h"

#include <QHeaderView>
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

std::string recordLine(int n, const std::filesystem::path& path, const std::string& name, int size,
                       int w, int h) {
    return formatLogoRecord({static_cast<std::uint8_t>(n), path, name, size, w, h});
}

} // namespace

class LogoPageTest : public QObject {
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
    void open() {
        app::WindowParts parts;
        parts.programFolder = h->folder.path();
        parts.serial = &h->serial;
        parts.parallel = &h->parallel;
        parts.clock = &h->clock;
        parts.dialogs = &h->dialogs;
        window = new app::MainWindow(parts);
        window->show();
    }
    FileChoice bitmap(const std::string& name, std::size_t w, std::size_t hgt) {
        return {h->folder.write("pictures/" + name, monochromeBmp(filledPicture(w, hgt, '#'))),
                name};
    }
    QStringList row(int index) {
        QTreeWidgetItem* item = control<QTreeWidget>("ListView1")->topLevelItem(index);
        if (!item)
            return {};
        return {item->text(0), item->text(1), item->text(2)};
    }
    void clickItem(int index) {
        // The window opens on "Test Print"; the list is clicked where it shows.
        control<QTabWidget>("SSTab1")->setCurrentIndex(2);
        auto* list = control<QTreeWidget>("ListView1");
        QTreeWidgetItem* item = list->topLevelItem(index);
        QVERIFY(item);
        const QRect rect = list->visualItemRect(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QString text(const char* name) { return control<QLabel>(name)->text(); }

private Q_SLOTS:
    void init() {
        h = new Harness;
        h->serial.fifoSize = std::size_t{1} << 30;
    }
    void cleanup() {
        delete window;
        window = nullptr;
        delete h;
    }

    void listColumnsAndTheLibraryFromLogoPathAtStart() {
        const auto a = bitmap("a.bmp", 8, 8);
        const auto b = bitmap("b.bmp", 16, 16);
        h->folder.write("Logo_Path", recordLine(1, a.fullPath, a.name, 1536, 8, 8) +
                                         recordLine(2, b.fullPath, b.name, 1024, 16, 16));
        open();
        auto* list = control<QTreeWidget>("ListView1");
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("No."));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("File Name"));
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("Size"));
        QCOMPARE(list->columnWidth(1), 2100 / 15);
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(row(0), QStringList({"1", "a.bmp", "1536"}));
        QCOMPARE(row(1), QStringList({"2", "b.bmp", "1024"}));
        QCOMPARE(text("Label3"), QStringLiteral("2/255"));
        QCOMPARE(text("Label4"), QStringLiteral("2k/128k"));
        QVERIFY(h->dialogs.messages.empty());
    }

    void noLogoPathIsAnEmptyLibrary() {
        open();
        QCOMPARE(control<QTreeWidget>("ListView1")->topLevelItemCount(), 0);
        QCOMPARE(text("Label3"), QStringLiteral("0/255"));
        QVERIFY(h->dialogs.messages.empty());
    }

    void addShowsTheNewRowAndCounters() {
        open();
        h->dialogs.files.push_back(bitmap("shop.bmp", 200, 100));
        QTest::mouseClick(control("Logo_Add"), Qt::LeftButton);
        QCOMPARE(h->dialogs.fileRequests.size(), std::size_t{1});
        QCOMPARE(h->dialogs.fileRequests[0].filter, std::string("(*.bmp)|*.bmp"));
        QCOMPARE(row(0), QStringList({"1", "shop.bmp", "2862"}));
        QCOMPARE(text("Label3"), QStringLiteral("1/255"));
        QCOMPARE(text("Label4"), QStringLiteral("3k/128k"));

        // A refused file changes nothing on the page.
        h->dialogs.files.push_back(
            FileChoice{h->folder.write("pictures/notes.bmp", "just text"), "notes.bmp"});
        QTest::mouseClick(control("Logo_Add"), Qt::LeftButton);
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"This is not a BMP file !!"});
        QCOMPARE(control<QTreeWidget>("ListView1")->topLevelItemCount(), 1);
        QCOMPARE(text("Label3"), QStringLiteral("1/255"));
    }

    void clickingAnItemPreviewsItStretchedOrAtItsOwnSize() {
        const auto wide = bitmap("wide.bmp", 281, 10);
        const auto small = bitmap("small.bmp", 40, 30);
        h->folder.write("Logo_Path", recordLine(1, wide.fullPath, wide.name, 1342, 281, 10) +
                                         recordLine(2, small.fullPath, small.name, 302, 40, 30));
        open();
        clickItem(0);
        auto* image = control<QLabel>("Image1");
        QCOMPARE(image->size(), QSize(3372 / 15, 120 / 15));
        QCOMPARE(image->pixmap().size(), QSize(3372 / 15, 120 / 15));
        QCOMPARE(text("Label7"), QStringLiteral("281"));
        QCOMPARE(text("Label8"), QStringLiteral("10"));
        QCOMPARE(control<QTabWidget>("SSTab2")->currentIndex(), 0);

        clickItem(1);
        QCOMPARE(image->pixmap().size(), QSize(40, 30));
        QCOMPARE(image->size(), QSize(40, 30));
        QCOMPARE(text("Label7"), QStringLiteral("40"));
        QCOMPARE(text("Label8"), QStringLiteral("30"));
        QVERIFY(h->dialogs.messages.empty());
    }

    void clickingALogoWhoseBitmapIsGoneSaysSo() {
        const auto a = bitmap("a.bmp", 8, 8);
        h->folder.write("Logo_Path", recordLine(1, a.fullPath, a.name, 94, 8, 8));
        std::filesystem::remove(a.fullPath);
        open();
        clickItem(0);
        QCOMPARE(h->dialogs.messages.size(), std::size_t{1});
        QVERIFY(h->dialogs.messages[0].text.find("cannot be found") != std::string::npos);
        QVERIFY(control<QLabel>("Image1")->pixmap().isNull());
        QCOMPARE(text("Label7"), QStringLiteral("8"));
    }

    void clearEmptiesThePageAndTheFile() {
        const auto a = bitmap("a.bmp", 40, 30);
        h->folder.write("Logo_Path", recordLine(1, a.fullPath, a.name, 302, 40, 30));
        open();
        clickItem(0);
        QTest::mouseClick(control("Logo_Clear"), Qt::LeftButton);
        QCOMPARE(control<QTreeWidget>("ListView1")->topLevelItemCount(), 0);
        QCOMPARE(text("Label3"), QStringLiteral("0/255"));
        QCOMPARE(text("Label4"), QStringLiteral("0k/128k"));
        QCOMPARE(text("Label7"), QString());
        QCOMPARE(text("Label8"), QString());
        QVERIFY(control<QLabel>("Image1")->pixmap().isNull());
        QCOMPARE(control<QLabel>("Image1")->size(), QSize(4215 / 15, 4455 / 15));
        QVERIFY(h->folder.read("Logo_Path").empty());
        QVERIFY(std::filesystem::exists(a.fullPath));
    }

    void downloadSendsTheStreamAndHidesTheBar() {
        open();
        h->dialogs.files.push_back(bitmap("a.bmp", 8, 8));
        QTest::mouseClick(control("Logo_Add"), Qt::LeftButton);
        QTest::mouseClick(control("Download_Logo"), Qt::LeftButton);
        QCOMPARE(h->serial.written,
                 (std::vector<std::uint8_t>{0x1C, 0x71, 0x01, 0x01, 0x00, 0x01, 0x00, 0xFF, 0xFF,
                                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00}));
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"Transmit Done!!"});
        QVERIFY(control<QProgressBar>("LogoProgressBar1")->isHidden());
        QCOMPARE(control<QProgressBar>("LogoProgressBar1")->value(), 100);
        QVERIFY(!h->serial.isOpen());
    }

    void downloadWithAnEmptyListSaysSo() {
        open();
        QTest::mouseClick(control("Download_Logo"), Qt::LeftButton);
        QCOMPARE(h->dialogs.texts(), std::vector<std::string>{"no BMP files list on the AP !!"});
        QVERIFY(h->serial.events.empty());
    }

    void printAllAndSelect() {
        const auto a = bitmap("a.bmp", 8, 8);
        h->folder.write("Logo_Path", recordLine(1, a.fullPath, a.name, 94, 8, 8) +
                                         recordLine(2, a.fullPath, a.name, 94, 8, 8));
        open();
        QTest::mouseClick(control("Print_Logo"), Qt::LeftButton); // "All" is set at start
        QCOMPARE(h->serial.written,
                 (std::vector<std::uint8_t>{0x1C, 0x70, 0x01, 0x00, 0x1D, 0x56, 0x42, 0x00, 0x1C,
                                            0x70, 0x02, 0x00, 0x1D, 0x56, 0x42, 0x00}));
        h->serial.written.clear();
        control<QRadioButton>("logo_select")->setChecked(true);
        control<QLineEdit>("logo_text")->setText(QStringLiteral("3.5"));
        QTest::mouseClick(control("Print_Logo"), Qt::LeftButton);
        QCOMPARE(h->serial.written,
                 (std::vector<std::uint8_t>{0x1C, 0x70, 0x04, 0x00, 0x1D, 0x56, 0x42, 0x00}));
        h->serial.written.clear();
        control<QLineEdit>("logo_text")->setText(QStringLiteral("300"));
        QTest::mouseClick(control("Print_Logo"), Qt::LeftButton);
        QVERIFY(h->serial.written.empty());
        QCOMPARE(h->dialogs.texts(),
                 std::vector<std::string>{std::string(kLogoNumberRangeMessage)});
    }
};

QTEST_MAIN(LogoPageTest)
#include "logo_page_test.moc"
