#pragma once

#include "fleet/fleet.h"

#include <QDialog>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTimer;

namespace ordalia {
struct Services;
class TransferLock;
} // namespace ordalia

namespace ordalia::app {

// "Many Printers…": one profile on many printers at once. The ports found
// (checked) and network printers typed in, a profile folder, Start; a row per
// printer with its step, progress bar and outcome while it runs; then "Open
// Report". The fleet runs on threads of its own; the dialog looks at it five
// times a second, so the window stays as it was, and holds the window's
// transfer gate meanwhile, so no page sends to a printer the fleet has.
class FleetDialog : public QDialog {
    Q_OBJECT
public:
    // `settings`: the speed list's text as Start is clicked, which every
    // printer starts at.
    FleetDialog(const Services& services, std::function<std::string()> settings, QWidget* parent);
    ~FleetDialog() override;

    bool running() const { return m_worker.joinable(); }
    // The report written by the last run (OUT.html); empty before.
    const std::filesystem::path& reportPage() const { return m_reportPage; }

public Q_SLOTS:
    void start();

private Q_SLOTS:
    void chooseProfile();
    void refresh();
    void openReport();

private:
    void finish();

    const Services& m_services;
    std::function<std::string()> m_settings;
    std::vector<FleetPrinter> m_printers;
    std::unique_ptr<Fleet> m_fleet;
    std::unique_ptr<TransferLock> m_lock;
    std::thread m_worker;
    std::atomic<bool> m_finished{false};
    std::string m_started;
    std::chrono::steady_clock::time_point m_startTime;
    std::filesystem::path m_reportPage;

    QListWidget* m_ports = nullptr;
    QLineEdit* m_hosts = nullptr;
    QLineEdit* m_profile = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_openReport = nullptr;
    QTableWidget* m_rows = nullptr;
    QLabel* m_summary = nullptr;
    QTimer* m_timer = nullptr;
};

} // namespace ordalia::app
