#pragma once

#include "app/qt_ui.h"
#include "logos/bmp_raster.h"
#include "logos/logo_list.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace ordalia::app {

class MainWindow;

// Page 2 of SSTab1, "Logo Setting": the library, its preview, and the logos'
// download and print.
class LogoPage : public QWidget {
    Q_OBJECT
public:
    LogoPage(MainWindow& window, QWidget* parent);
    ~LogoPage() override;

    void LoadLogoList();
    void Logo_Add_Click();
    // "Convert Picture…": any picture made into a logo bitmap in the logos
    // folder, then added as "Add" adds a bitmap.
    void ConvertPicture_Click();
    void Logo_Clear_Click();
    void ListView1_ItemClick(QTreeWidgetItem* item);
    void Download_Logo_Click();
    void Print_Logo_Click();

    const LogoLibrary& library() const { return m_library; }

private:
    void showLibrary();
    void showPreview(QTreeWidgetItem* item);
    void resetPreview();

    MainWindow& m_window;
    LogoLibrary m_library;
    std::unique_ptr<LogoBuffers> m_buffers;

    QTreeWidget* m_ListView1 = nullptr;
    QLabel* m_Label3 = nullptr;
    QLabel* m_Label4 = nullptr;
    QLabel* m_Label7 = nullptr;
    QLabel* m_Label8 = nullptr;
    QLabel* m_Image1 = nullptr;
    QLabel* m_Image2 = nullptr;
    QTabWidget* m_SSTab2 = nullptr;
    QProgressBar* m_LogoProgressBar1 = nullptr;
    std::unique_ptr<QtProgressBar> m_progress;
    QRadioButton* m_logo_all = nullptr;
    QRadioButton* m_logo_select = nullptr;
    QLineEdit* m_logo_text = nullptr;
};

} // namespace ordalia::app
