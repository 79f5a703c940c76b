// "Convert Picture…" on the Logo Setting page, offscreen: a picture chosen,
// its logo shown and resized in the dialog, and OK writing the bitmap into
// the logos folder under a name no file has yet and listing it.

#include "app/main_window.h"
#include "support/harness.h"
#include "support/picture_files.h"

#include <QTest>
#include <QtWidgets>

using namespace ordalia;
using namespace ordalia::testing;

class PictureDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aPictureBecomesAListedLogo() {
        Harness h;
        app::MainWindow window(
            app::WindowParts{h.folder.path(), &h.serial, &h.parallel, &h.clock, &h.dialogs});
        const auto picture = h.folder.write("pictures/shop.png",
                                            pngFile(40, 20, 1, std::vector<std::uint8_t>(800, 90)));
        h.folder.write("logos/shop.bmp", "someone else's"); // taken: the logo goes beside it
        h.dialogs.files.push_back(FileChoice{picture, "shop.png"});
        QStringList seen; // the size and the preview, as opened and at 20 dots
        QTimer::singleShot(0, [&] {
            auto* dialog = QApplication::activeModalWidget();
            const auto look = [&] {
                const QPixmap shown = dialog->findChild<QLabel*>("PicturePreview")->pixmap();
                seen << dialog->findChild<QLabel*>("PictureSize")->text() +
                            QStringLiteral(" | %1x%2").arg(shown.width()).arg(shown.height());
            };
            look();
            dialog->findChild<QSpinBox*>("PictureWidth")->setValue(20);
            look();
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        window.findChild<QPushButton*>("ConvertPicture")->click();
        // Narrower than the paper, so 40 dots: rows of 8 bytes; at 20, of 4.
        QCOMPARE(seen, QStringList({"Width : 40   Height : 20   Size : 222 bytes | 40x20",
                                    "Width : 20   Height : 10   Size : 102 bytes | 20x10"}));
        const QTreeWidgetItem* row = window.findChild<QTreeWidget*>("ListView1")->topLevelItem(0);
        QCOMPARE(row->text(0) + "|" + row->text(1) + "|" + row->text(2) + "|" +
                     window.findChild<QLabel*>("Label3")->text(),
                 QStringLiteral("1|shop-2.bmp|102|1/255"));
    }
};

QTEST_MAIN(PictureDialogTest)
#include "picture_dialog_test.moc"
