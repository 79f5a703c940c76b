#include "app/fleet_dialog.h"

#include "common/path_text.h"
#include "common/ui.h"
#include "fleet/fleet_report.h"
#include "link/services.h"
#include "link/transfer_gate.h"
#include "ports/port_finder.h"
#include "ports/system_ports.h"

#include <QColor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace ordalia::app {

namespace {

enum Column { Port, Printer, Step, Progress, Result, Columns };

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

FleetDialog::FleetDialog(const Services& services, std::function<std::string()> settings,
                         QWidget* parent)
    : QDialog(parent), m_services(services), m_settings(std::move(settings)) {
    setObjectName(QStringLiteral("FleetDialog"));
    setWindowTitle(QStringLiteral("Many Printers"));
    resize(720, 480);
    auto* grid = new QGridLayout(this);

    grid->addWidget(new QLabel(QStringLiteral("Ports found:"), this), 0, 0, Qt::AlignTop);
    m_ports = new QListWidget(this);
    m_ports->setObjectName(QStringLiteral("FleetPorts"));
    m_ports->setMaximumHeight(110);
    for (const FoundPort& port : findSystemPorts()) {
        auto* item = new QListWidgetItem(
            qt(port.device + (port.description.empty() ? "" : ", " + port.description)), m_ports);
        item->setData(Qt::UserRole, qt(port.device));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    grid->addWidget(m_ports, 0, 1, 1, 2);

    grid->addWidget(new QLabel(QStringLiteral("Network printers:"), this), 1, 0);
    m_hosts = new QLineEdit(this);
    m_hosts->setObjectName(QStringLiteral("FleetHosts"));
    m_hosts->setPlaceholderText(QStringLiteral("192.168.1.50 192.168.1.51:9100 ..."));
    grid->addWidget(m_hosts, 1, 1, 1, 2);

    grid->addWidget(new QLabel(QStringLiteral("Profile folder:"), this), 2, 0);
    m_profile = new QLineEdit(this);
    m_profile->setObjectName(QStringLiteral("FleetProfile"));
    m_profile->setText(qt(pathForMessage(services.programFolder / "profiles" / "example")));
    grid->addWidget(m_profile, 2, 1);
    auto* choose = new QPushButton(QStringLiteral("Choose…"), this);
    connect(choose, &QPushButton::clicked, this, &FleetDialog::chooseProfile);
    grid->addWidget(choose, 2, 2);

    m_rows = new QTableWidget(0, Columns, this);
    m_rows->setObjectName(QStringLiteral("FleetRows"));
    m_rows->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("Printer"),
                                       QStringLiteral("Step"), QStringLiteral("Progress"),
                                       QStringLiteral("Outcome")});
    m_rows->horizontalHeader()->setSectionResizeMode(Result, QHeaderView::Stretch);
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->addWidget(m_rows, 3, 0, 1, 3);
    grid->setRowStretch(3, 1);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("FleetSummary"));
    grid->addWidget(m_summary, 4, 0, 1, 3);

    auto* buttons = new QHBoxLayout;
    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setObjectName(QStringLiteral("FleetStart"));
    connect(m_start, &QPushButton::clicked, this, &FleetDialog::start);
    m_openReport = new QPushButton(QStringLiteral("Open Report"), this);
    m_openReport->setObjectName(QStringLiteral("FleetOpenReport"));
    m_openReport->setEnabled(false);
    connect(m_openReport, &QPushButton::clicked, this, &FleetDialog::openReport);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    buttons->addStretch(1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_openReport);
    buttons->addWidget(close);
    grid->addLayout(buttons, 5, 0, 1, 3);

    m_timer = new QTimer(this);
    m_timer->setInterval(200);
    connect(m_timer, &QTimer::timeout, this, &FleetDialog::refresh);
}

FleetDialog::~FleetDialog() {
    // The printers finish the step they are in; the window waits for them.
    if (m_fleet)
        m_fleet->stop();
    if (m_worker.joinable())
        m_worker.join();
}

void FleetDialog::chooseProfile() {
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Profile folder"),
                                                             m_profile->text());
    if (!folder.isEmpty())
        m_profile->setText(folder);
}

void FleetDialog::start() {
    if (running()) { // the button reads "Stop" meanwhile
        m_fleet->stop();
        m_start->setEnabled(false);
        return;
    }
    if (m_services.gate.busy()) {
        m_services.dialogs.notice("Another transfer is running; start again when it has ended.");
        return;
    }
    const std::filesystem::path folder = pathFromFileText(m_profile->text().toStdString());
    const ProfileRead read = readCheckedProfile(folder);
    std::vector<std::string> problems = read.problems;
    // The list as a printer list file would give it: one a line.
    std::string list;
    for (int i = 0; i < m_ports->count(); ++i)
        if (m_ports->item(i)->checkState() == Qt::Checked)
            list += m_ports->item(i)->data(Qt::UserRole).toString().toStdString() + "\n";
    for (const QString& host :
         m_hosts->text().split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts))
        list +=
            (host.startsWith(QStringLiteral("tcp://")) ? "" : "tcp://") + host.toStdString() + "\n";
    PrinterListRead printers = parsePrinterList(list, m_services.programFolder, {}, m_settings());
    for (std::string& p : printers.problems)
        p = "Printers: " + p.substr(p.find(": ") + 2);
    problems.insert(problems.end(), printers.problems.begin(), printers.problems.end());
    if (!problems.empty()) {
        std::string text = "Nothing was sent:";
        for (const std::string& p : problems)
            text += "\n" + p;
        m_services.dialogs.message(text);
        return;
    }

    m_printers = std::move(printers.printers);
    m_fleet = std::make_unique<Fleet>(*read.profile, m_printers,
                                      FleetOptions{0, [] { return createSystemSerialPort(); }});
    m_rows->setRowCount(static_cast<int>(m_printers.size()));
    for (int row = 0; row < m_rows->rowCount(); ++row) {
        for (int column : {Port, Printer, Step, Result})
            m_rows->setItem(row, column, new QTableWidgetItem);
        auto* bar = new QProgressBar(m_rows);
        bar->setRange(0, 100);
        m_rows->setCellWidget(row, Progress, bar);
    }
    m_lock = std::make_unique<TransferLock>(m_services.gate);
    m_started = localTimeText();
    m_start->setText(QStringLiteral("Stop"));
    m_openReport->setEnabled(false);
    m_finished = false;
    m_startTime = std::chrono::steady_clock::now();
    m_worker = std::thread([this] {
        m_fleet->run();
        m_finished = true;
    });
    m_timer->start();
    refresh();
}

void FleetDialog::refresh() {
    if (!m_fleet)
        return;
    const bool last = m_finished;
    const auto views = m_fleet->view();
    for (int row = 0; row < static_cast<int>(views.size()); ++row) {
        const PrinterView& v = views[static_cast<std::size_t>(row)];
        m_rows->item(row, Port)->setText(qt(v.port));
        m_rows->item(row, Printer)->setText(qt(v.identity));
        m_rows->item(row, Step)->setText(qt(v.step));
        static_cast<QProgressBar*>(m_rows->cellWidget(row, Progress))
            ->setValue(v.state == PrinterView::State::Succeeded ? 100 : v.percent);
        QString outcome;
        QColor colour;
        switch (v.state) {
        case PrinterView::State::Waiting:
            outcome = QStringLiteral("waiting");
            break;
        case PrinterView::State::Running:
            outcome = QStringLiteral("%1 kB/s").arg(v.bytesPerSecond / 1000.0, 0, 'f', 1);
            break;
        case PrinterView::State::Succeeded:
            outcome = QStringLiteral("ok");
            colour = QColor(0xC8, 0xF0, 0xC8);
            break;
        case PrinterView::State::Failed:
            outcome = QStringLiteral("failed");
            colour = QColor(0xF6, 0xC4, 0xC4);
            break;
        }
        m_rows->item(row, Result)->setText(outcome);
        if (colour.isValid())
            for (int column : {Port, Printer, Step, Result})
                m_rows->item(row, column)->setBackground(colour);
    }
    if (last)
        finish();
}

void FleetDialog::finish() {
    m_timer->stop();
    m_worker.join();
    m_lock.reset();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_startTime).count();
    const FleetReport report = fleetReport(*m_fleet, m_printers, m_started, seconds);
    // Beside the program, one a run: the name carries the time.
    std::string name = "fleet-report-" + m_started;
    for (char& c : name)
        if (c == ' ' || c == ':')
            c = c == ' ' ? '_' : '-';
    const std::filesystem::path out = m_services.programFolder / "reports" / name;
    std::error_code ec;
    std::filesystem::create_directories(out.parent_path(), ec);
    std::size_t succeeded = 0;
    for (const PrinterRecord& r : report.printers)
        succeeded += r.succeeded() ? 1 : 0;
    QString summary = QStringLiteral("%1 of %2 printers got every step.")
                          .arg(succeeded)
                          .arg(report.printers.size());
    if (auto error = writeFleetReport(report, out)) {
        summary += qt(" The report could not be written: " + *error);
    } else {
        m_reportPage = out;
        m_reportPage += ".html";
        summary += qt(" Report: " + pathForMessage(m_reportPage));
        m_openReport->setEnabled(true);
    }
    m_summary->setText(summary);
    m_start->setText(QStringLiteral("Start"));
    m_start->setEnabled(true);
}

void FleetDialog::openReport() {
    if (!m_reportPage.empty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(qt(pathForMessage(m_reportPage))));
}

} // namespace ordalia::app
