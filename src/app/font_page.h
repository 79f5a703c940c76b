#pragma once

#include "app/qt_ui.h"
#include "codepages/code_page_table.h"
#include "compound/compound_file.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace ordalia::app {

class MainWindow;

// Page 3 of SSTab1, "Font Setting": SSTab3 with the code page table (and the
// hidden burn-file controls) and the compound word download.
class FontPage : public QWidget {
    Q_OBJECT
public:
    FontPage(MainWindow& window, QWidget* parent);
    ~FontPage() override;

    void resetCodePageTableError() { m_CodePageTableError = 0; }
    void SSTab3_Click();
    void Change_Cp_Click(int index);
    void Font_Updata_Click();
    void open_com_Click();
    void com_download_Click();
    void Command3_Click();
    void Command2_Click();

    // The six rows and the model name as the page shows them.
    CodePageSlots codePageSlots() const;
    void showSlots(const CodePageSlots& slots);

private:
    QWidget* buildCodePageTab();
    QWidget* buildCompoundTab();

    MainWindow& m_window;
    std::uint8_t m_CodePageTableError = 0;
    CompoundState m_compound;

    QTabWidget* m_SSTab3 = nullptr;
    std::array<QLineEdit*, kCodePageSlotCount> m_Pos_CP{};
    std::array<QLineEdit*, kCodePageSlotCount> m_Text_CP{};
    QLineEdit* m_model_name = nullptr;
    QLineEdit* m_source_Text = nullptr;
    QLabel* m_Font_Label = nullptr;
    QProgressBar* m_Font_ProgressBar = nullptr;
    QLineEdit* m_com_Text = nullptr;
    QLabel* m_com_Label = nullptr;
    QProgressBar* m_com_ProgressBar = nullptr;
    std::unique_ptr<QtStatusLabel> m_fontStatus;
    std::unique_ptr<QtProgressBar> m_fontProgress;
    std::unique_ptr<QtStatusLabel> m_comStatus;
    std::unique_ptr<QtProgressBar> m_comProgress;
};

} // namespace ordalia::app
