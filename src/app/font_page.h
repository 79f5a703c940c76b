#pragma once

#include <QWidget>

class QTabWidget;

namespace ordalia::app {

class CodePagePage;
class CompoundPage;
class MainWindow;

// Page 3 of SSTab1, "Font Setting": the tab control SSTab3 holding the code
// page table and the compound word download.
class FontPage : public QWidget {
    Q_OBJECT
public:
    FontPage(MainWindow& window, QWidget* parent);
    ~FontPage() override;

    // Form_Load step 7.
    void resetCodePageTableError();
    // The tab change of SSTab3, and the page being shown: reloads the slots
    // while "Code Page Table" is the tab shown.
    void SSTab3_Click();

    CodePagePage& codePagePage() const { return *m_codePagePage; }
    CompoundPage& compoundPage() const { return *m_compoundPage; }

private:
    MainWindow& m_window;
    QTabWidget* m_SSTab3 = nullptr;
    CodePagePage* m_codePagePage = nullptr;
    CompoundPage* m_compoundPage = nullptr;
};

} // namespace ordalia::app
