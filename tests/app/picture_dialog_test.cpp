// "Convert Picture…" on the Logo Setting page, offscreen: a picture chosen,
// its logo shown and resized in the dialog, and OK writing the bitmap into
// the logos folder and listing it.

#include "app/main_window.h"
#include "logos/picture_logo.h"
#include "support/harness.h"
#include "support/picture_files.h"

#include <QTest>
#include <QtWidgets>

using namespace ordalia;
using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;

class PictureDialogTest : public QObject {
    Q_OBJECT

    // What the dialog showed, each time it was opened, and what it did.
    QStringList seen;

    // Answers the next dialog: reads it, sets the width, then OK or Cancel.
    void answer(int width, bool ok) {
        QTimer::singleShot(0, [=, this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            const auto size = [dialog] {
                const QLabel* preview = dialog->findChild<QLabel*>("PicturePreview");
                return dialog->findChild<QLabel*>("PictureSize")->text() +
                       QStringLiteral("|%1x%2")
                           .arg(preview->pixmap().width())
                           .arg(preview->pixmap().height());
            };
            seen << size();
            dialog->findChild<QSpinBox*>("PictureWidth")->setValue(width);
            seen << size();
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
    }

private Q_SLOTS:
    void aPictureBecomesAListedLogo() {
        Harness h;
        app::MainWindow window(
            app::WindowParts{h.folder.path(), &h.serial, &h.parallel, &h.clock, &h.dialogs});
        window.show();
        Bytes rgb;
        for (int i = 0; i < 40 * 20; ++i)
            rgb.insert(rgb.end(), {std::uint8_t(i % 40 * 6), 90, 200});
        const auto picture = h.folder.write("pictures/shop.png", pngFile(40, 20, 3, rgb));
        for (const bool ok : {false, true}) {
            h.dialogs.files.push_back(FileChoice{picture, "shop.png"});
            answer(20, ok);
            window.findChild<QPushButton*>("ConvertPicture")->click();
        }
        // 40 dots wide (narrower than the paper): rows of 8 bytes; at 20, of 4.
        QCOMPARE(seen, QStringList({"Width : 40   Height : 20   Size : 222 bytes|40x20",
                                    "Width : 20   Height : 10   Size : 102 bytes|20x10"}) +
                           QStringList({"Width : 40   Height : 20   Size : 222 bytes|40x20",
                                        "Width : 20   Height : 10   Size : 102 bytes|20x10"}));
        QCOMPARE(QString::fromStdString(h.dialogs.fileRequests.at(0).filter),
                 QString::fromUtf8(kPictureFileFilter.data(), kPictureFileFilter.size()));
        const Bytes bmp = h.folder.read("logos/shop.bmp");
        QVERIFY(bmp.size() == 102 && bmp[0] == 'B' && bmp[28] == 1);
        QVERIFY(!std::filesystem::exists(h.folder.path() / "logos/shop-2.bmp")); // cancelled once
        const QTreeWidgetItem* row = window.findChild<QTreeWidget*>("ListView1")->topLevelItem(0);
        QCOMPARE(row->text(0) + "|" + row->text(1) + "|" + row->text(2) + "|" +
                     window.findChild<QLabel*>("Label3")->text(),
                 QStringLiteral("1|shop.bmp|102|1/255"));
        QVERIFY(h.dialogs.messages.empty());
    }
};

QTEST_MAIN(PictureDialogTest)
#include "picture_dialog_test.moc"
