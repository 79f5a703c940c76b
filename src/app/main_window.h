#pragma once

#include "app/qt_ui.h"
#include "link/printer_link.h"
#include "link/services.h"
#include "link/transfer_gate.h"

#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QTabWidget;

namespace ordalia {
class Clock;
class ParallelPort;
class SerialPort;
} // namespace ordalia

namespace ordalia::app {

class FirmwarePage;
class FontPage;
class LogoPage;
class SettingsPage;
class TestPrintPage;

// What the window is built with. Empty members get the real thing: the
// machine's ports and clock and Qt's dialogs; tests hand in their own.
struct WindowParts {
    std::filesystem::path programFolder; // empty: the folder of the executable
    SerialPort* serial = nullptr;
    ParallelPort* parallel = nullptr;
    Clock* clock = nullptr;
    Dialogs* dialogs = nullptr;
};

inline constexpr const char* kWindowCaption = "Ordalia v13";
// 10050 x 8145 twips at 15 twips a pixel.
inline constexpr int kClientWidth = 670;
inline constexpr int kClientHeight = 543;

// Form1: the interface strip on top and the five pages of SSTab1 below. The
// controls are the program's state; each page reads them when a click
// starts an operation.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(WindowParts parts = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    const Services& services() const { return *m_services; }
    // The interface strip as an operation starting now sees it.
    LinkChoice linkChoice() const;
    // The file picked last with CommonDialog, whichever page picked it.
    std::filesystem::path commonDialogFile() const;

    // Used by the settings page: the saved settings choose the link.
    void selectSbaud(int index);
    void selectSerial();
    void selectParallel();

    QComboBox* SPort() const { return m_SPort; }
    QComboBox* Sbaud() const { return m_Sbaud; }

    void PortSelect_Serial_Click();
    void PortSelect_Parallel_Click();
    void SSTab1_Click(int previousTab);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildInterfaceStrip();
    void Form_Load();
    void showPortDevice();

    std::filesystem::path m_programFolder;
    std::unique_ptr<SerialPort> m_ownSerial;
    std::unique_ptr<ParallelPort> m_ownParallel;
    std::unique_ptr<QtDialogs> m_qtDialogs;
    std::unique_ptr<RememberingDialogs> m_dialogs;
    QtEventPump m_events;
    TransferGate m_gate;
    std::unique_ptr<Services> m_services;

    QGroupBox* m_Frame1 = nullptr;
    QRadioButton* m_PortSelect_Serial = nullptr;
    QRadioButton* m_PortSelect_Parallel = nullptr;
    QComboBox* m_SPort = nullptr;
    QComboBox* m_Sbaud = nullptr;
    QComboBox* m_LPTPort = nullptr;
    QLabel* m_PortDevice = nullptr;
    QTabWidget* m_SSTab1 = nullptr;

    SettingsPage* m_settingsPage = nullptr;
    TestPrintPage* m_testPrintPage = nullptr;
    LogoPage* m_logoPage = nullptr;
    FontPage* m_fontPage = nullptr;
    FirmwarePage* m_firmwarePage = nullptr;
};

// Small helpers shared by the pages.
QLabel* makeLabel(const char* objectName, const QString& text, QWidget* parent);

} // namespace ordalia::app
