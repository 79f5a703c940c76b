#pragma once

#include "app/qt_ui.h"
#include "firmware/firmware_update.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;

namespace ordalia::app {

class MainWindow;

// Page 4 of SSTab1, "Firmware Update" (and the hidden file compare button).
class FirmwarePage : public QWidget {
    Q_OBJECT
public:
    FirmwarePage(MainWindow& window, QWidget* parent);
    ~FirmwarePage() override;

    void OpenFirm_Click();
    void Firm_Updata_Click();
    void Command4_Click();

private:
    MainWindow& m_window;
    FirmwareState m_state;

    QLineEdit* m_Firm_Text = nullptr;
    QCheckBox* m_ISP_ERROR = nullptr;
    QLabel* m_Firm_Label = nullptr;
    QProgressBar* m_Firm_ProgressBar = nullptr;
    std::unique_ptr<QtStatusLabel> m_status;
    std::unique_ptr<QtProgressBar> m_progress;
};

} // namespace ordalia::app
