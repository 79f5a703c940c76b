#pragma once

#include "app/qt_ui.h"
#include "compound/compound_file.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;

namespace ordalia::app {

class MainWindow;

// Tab 1 of SSTab3, "Compound Word": one of the four double-byte fonts, chosen
// with CommonDialog1 and downloaded block by block.
class CompoundPage : public QWidget {
    Q_OBJECT
public:
    CompoundPage(MainWindow& window, QWidget* parent);
    ~CompoundPage() override;

    void open_com_Click();
    void com_download_Click();

private:
    MainWindow& m_window;
    // The chosen file, kept from the choice to the download.
    CompoundState m_compound;

    QLineEdit* m_com_Text = nullptr;
    QLabel* m_com_Language = nullptr;
    QLabel* m_com_Label = nullptr;
    QProgressBar* m_com_ProgressBar = nullptr;
    std::unique_ptr<QtStatusLabel> m_comStatus;
    std::unique_ptr<QtProgressBar> m_comProgress;
};

} // namespace ordalia::app
