#pragma once

#include "app/qt_ui.h"
#include "codepages/code_page_table.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ordalia::app {

class MainWindow;

// Tab 0 of SSTab3, "Code Page Table": the six slots, the font download and
// the hidden burn-file controls with the model name.
class CodePagePage : public QWidget {
    Q_OBJECT
public:
    CodePagePage(MainWindow& window, QWidget* parent);
    ~CodePagePage() override;

    // Form_Load step 7.
    void resetCodePageTableError() { m_CodePageTableError = 0; }
    std::uint8_t codePageTableError() const { return m_CodePageTableError; }

    void Change_Cp_Click(int index);
    void Font_Updata_Click();
    void Command3_Click();
    void Command2_Click();

    // The six rows and the model name as the page shows them.
    CodePageSlots codePageSlots() const;
    void showSlots(const CodePageSlots& slots);
    // What a load of the tab leaves: the saved slots shown, no burn source.
    void showLoadedSlots(const CodePageSlots& slots);

private:
    MainWindow& m_window;
    std::uint8_t m_CodePageTableError = 0;

    std::array<QLineEdit*, kCodePageSlotCount> m_Pos_CP{};
    std::array<QLineEdit*, kCodePageSlotCount> m_Text_CP{};
    QLineEdit* m_model_name = nullptr;
    QLineEdit* m_source_Text = nullptr;
    QLabel* m_Font_Label = nullptr;
    QProgressBar* m_Font_ProgressBar = nullptr;
    std::unique_ptr<QtStatusLabel> m_fontStatus;
    std::unique_ptr<QtProgressBar> m_fontProgress;
};

} // namespace ordalia::app
