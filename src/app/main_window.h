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
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;

namespace ordalia {
class Clock;
class ParallelPort;
class SerialPort;
} // namespace ordalia

namespace ordalia::app {

class FirmwarePage;
class FleetDialog;
class FontPage;
class InterfaceStrip;
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
// How often the window looks again at what the chosen port entry opens.
inline constexpr int kPortLookIntervalMs = 2000;
// Shown when the window is closed while a transfer runs.
inline constexpr const char* kCloseAfterTransferMessage =
    "A transfer to the printer is still running. The window closes as soon as it has finished.";
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

    QComboBox* SPort() const;
    QComboBox* Sbaud() const;

    SettingsPage& settingsPage() const { return *m_settingsPage; }
    TestPrintPage& testPrintPage() const { return *m_testPrintPage; }
    LogoPage& logoPage() const { return *m_logoPage; }
    FontPage& fontPage() const { return *m_fontPage; }
    FirmwarePage& firmwarePage() const { return *m_firmwarePage; }

    void PortSelect_Serial_Click();
    void PortSelect_Parallel_Click();
    // Asks the printer who it is and how it is, and shows its answers.
    void PrinterInfo_Click();
    // Opens "Many Printers…", the fleet dialog (one for the window).
    void ManyPrinters_Click();
    void SSTab1_Click(int previousTab);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
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

    // Runs while a close waits for the transfer to finish.
    QTimer* m_closeWhenIdle = nullptr;
    InterfaceStrip* m_Frame1 = nullptr;
    QTabWidget* m_SSTab1 = nullptr;

    SettingsPage* m_settingsPage = nullptr;
    TestPrintPage* m_testPrintPage = nullptr;
    LogoPage* m_logoPage = nullptr;
    FontPage* m_fontPage = nullptr;
    FirmwarePage* m_firmwarePage = nullptr;
    FleetDialog* m_fleetDialog = nullptr;
};

// Small helpers shared by the pages.
QLabel* makeLabel(const char* objectName, const QString& text, QWidget* parent);
QPushButton* makePushButton(const QString& objectName, const QString& caption, QWidget* parent);
// 0 to 100, hidden until a transfer shows it.
QProgressBar* makeProgressBar(const char* objectName, QWidget* parent);

} // namespace ordalia::app
