#include "app/main_window.h"

#include "app/firmware_page.h"
#include "app/fleet_dialog.h"
#include "app/font_page.h"
#include "app/guard.h"
#include "app/interface_strip.h"
#include "app/logo_page.h"
#include "app/settings_page.h"
#include "app/test_print_page.h"
#include "common/clock.h"
#include "link/printer_info.h"
#include "ports/parallel_port.h"
#include "ports/serial_port.h"
#include "ports/system_ports.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace ordalia::app {

QLabel* makeLabel(const char* objectName, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    // Captions such as "<ESC> < t >" are text, never markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* makePushButton(const QString& objectName, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    return button;
}

QProgressBar* makeProgressBar(const char* objectName, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(objectName));
    bar->setRange(0, 100);
    bar->hide();
    return bar;
}

namespace {

// Form1 is announced as a frame, the kind of window it is, rather than as a
// plain client area. Qt's role for it is Window, which the desktop's
// accessibility bridges present as a frame.
QAccessibleInterface* accessibleForm1(const QString& className, QObject* object) {
    if (className == QLatin1String(MainWindow::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

MainWindow::MainWindow(WindowParts parts, QWidget* parent) : QWidget(parent) {
    static const bool accessibleFactoryInstalled = [] {
        QAccessible::installFactory(accessibleForm1);
        return true;
    }();
    (void)accessibleFactoryInstalled;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kWindowCaption));

    m_programFolder =
        parts.programFolder.empty()
            ? std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String())
            : parts.programFolder;
    if (!parts.serial) {
        m_ownSerial = createSystemSerialPort();
        parts.serial = m_ownSerial.get();
    }
    if (!parts.parallel) {
        m_ownParallel = createSystemParallelPort();
        parts.parallel = m_ownParallel.get();
    }
    if (!parts.dialogs) {
        m_qtDialogs = std::make_unique<QtDialogs>(this);
        parts.dialogs = m_qtDialogs.get();
    }
    m_dialogs =
        std::make_unique<RememberingDialogs>(*parts.dialogs, [this] { return m_events.pumping(); });
    m_services = std::make_unique<Services>(
        Services{*parts.serial, *parts.parallel, parts.clock ? *parts.clock : systemClock(),
                 m_events, *m_dialogs, m_gate, m_programFolder});

    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    setFont(font);
    resize(kClientWidth, kClientHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(4);
    m_Frame1 = new InterfaceStrip(this);
    layout->addWidget(m_Frame1);
    // Beside the port list, since it asks the printer on the port chosen there.
    auto* PrinterInfo =
        makePushButton(QStringLiteral("PrinterInfo"), QStringLiteral("Printer Info"), m_Frame1);
    m_Frame1->layout()->addWidget(PrinterInfo);
    connect(PrinterInfo, &QPushButton::clicked, this, &MainWindow::PrinterInfo_Click);
    auto* ManyPrinters =
        makePushButton(QStringLiteral("ManyPrinters"), QStringLiteral("Many Printers…"), m_Frame1);
    m_Frame1->layout()->addWidget(ManyPrinters);
    connect(ManyPrinters, &QPushButton::clicked, this, &MainWindow::ManyPrinters_Click);

    m_SSTab1 = new QTabWidget(this);
    m_SSTab1->setObjectName(QStringLiteral("SSTab1"));
    m_settingsPage = new SettingsPage(*this, m_SSTab1);
    m_testPrintPage = new TestPrintPage(*this, m_SSTab1);
    m_logoPage = new LogoPage(*this, m_SSTab1);
    m_fontPage = new FontPage(*this, m_SSTab1);
    m_firmwarePage = new FirmwarePage(*this, m_SSTab1);
    m_SSTab1->addTab(m_settingsPage, QStringLiteral("Printing Setting"));
    m_SSTab1->addTab(m_testPrintPage, QStringLiteral("Test Print"));
    m_SSTab1->addTab(m_logoPage, QStringLiteral("Logo Setting"));
    m_SSTab1->addTab(m_fontPage, QStringLiteral("Font Setting"));
    m_SSTab1->addTab(m_firmwarePage, QStringLiteral("Firmware Update"));
    m_SSTab1->setCurrentIndex(1);
    layout->addWidget(m_SSTab1, 1);
    // Frames inside frames: keep them close so every page fits the client area.
    for (QLayout* inner : m_SSTab1->findChildren<QLayout*>()) {
        inner->setContentsMargins(6, 3, 6, 3);
        inner->setSpacing(4);
    }

    // "Serial Port Function" only means something on the serial link.
    m_settingsPage->setSerialOnlyVisible(true);

    int shownTab = m_SSTab1->currentIndex();
    connect(m_SSTab1, &QTabWidget::currentChanged, this, [this, shownTab](int) mutable {
        SSTab1_Click(shownTab);
        shownTab = m_SSTab1->currentIndex();
    });
    connect(m_Frame1->PortSelect_Serial(), &QRadioButton::clicked, this,
            &MainWindow::PortSelect_Serial_Click);
    connect(m_Frame1->PortSelect_Parallel(), &QRadioButton::clicked, this,
            &MainWindow::PortSelect_Parallel_Click);
    // A network printer takes the serial path, and its settings include the
    // serial port function like any other.
    connect(m_Frame1->PortSelect_Network(), &QRadioButton::clicked, this, [this] {
        guardedClick(*m_services, [&] {
            m_Frame1->showNetwork();
            m_settingsPage->setSerialOnlyVisible(true);
        });
    });
    connect(m_Frame1->SPort(), &QComboBox::currentTextChanged, this, &MainWindow::showPortDevice);

    // An adapter plugged in or pulled out shows beside the port list within
    // a look or two; never while a transfer has the port.
    auto* followPlugging = new QTimer(this);
    followPlugging->setInterval(kPortLookIntervalMs);
    connect(followPlugging, &QTimer::timeout, this, [this] {
        if (!m_gate.busy())
            showPortDevice();
    });
    followPlugging->start();

    m_closeWhenIdle = new QTimer(this);
    m_closeWhenIdle->setInterval(100);
    connect(m_closeWhenIdle, &QTimer::timeout, this, [this] {
        if (m_gate.busy())
            return;
        m_closeWhenIdle->stop();
        close();
    });

    Form_Load();
}

MainWindow::~MainWindow() = default;

void MainWindow::Form_Load() {
    // 1. and 2.: the link's lists.
    m_Frame1->fillLists();
    m_Frame1->keepHostIn(m_programFolder);
    // 3.: the settings page's lists.
    m_settingsPage->fillLists();
    // 4.: the page change as if the shown page had just been shown.
    SSTab1_Click(0);
    // 5.
    m_Frame1->PortSelect_Serial()->setChecked(true);
    // 6. and 7.: the logo library; the code page check flag starts clear.
    m_logoPage->LoadLogoList();
    m_fontPage->resetCodePageTableError();
    showPortDevice();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Form_Unload: every operation has closed its port, and nothing is saved
    // on the way out.
    if (!m_gate.busy()) {
        event->accept();
        return;
    }
    // The close came from a transfer's event pump. Closing now would end the
    // transfer halfway, with the port open and the printer or a file half
    // written; the window waits and closes when the transfer has finished.
    event->ignore();
    if (m_closeWhenIdle->isActive())
        return;
    m_dialogs->notice(kCloseAfterTransferMessage);
    m_closeWhenIdle->start();
}

void MainWindow::SSTab1_Click(int) {
    // Both loads run their own guarded steps.
    const int shown = m_SSTab1->currentIndex();
    if (shown == 0)
        m_settingsPage->load();
    else if (shown == 3)
        m_fontPage->SSTab3_Click();
}

void MainWindow::PortSelect_Serial_Click() {
    guardedClick(*m_services, [&] {
        m_Frame1->showSerial(true);
        m_settingsPage->setSerialOnlyVisible(true);
    });
}

void MainWindow::PortSelect_Parallel_Click() {
    guardedClick(*m_services, [&] {
        m_Frame1->showSerial(false);
        m_settingsPage->setSerialOnlyVisible(false);
    });
}

void MainWindow::PrinterInfo_Click() {
    guardedClick(*m_services, [&] {
        const PrinterInfoResult result = askPrinterInfo(*m_services, linkChoice());
        if (result.outcome == Outcome::Done)
            m_services->dialogs.message(printerInfoMessage(result.info));
        // A printer found at another speed: offered to the speed list.
        const auto found = std::find(kSbaudItems.begin(), kSbaudItems.end(), result.answersAt);
        if (found != kSbaudItems.end() &&
            m_services->dialogs.confirm("Choose " + result.answersAt + " in the speed list?", {}))
            selectSbaud(static_cast<int>(found - kSbaudItems.begin()));
    });
}

void MainWindow::ManyPrinters_Click() {
    guardedClick(*m_services, [&] {
        if (!m_fleetDialog)
            m_fleetDialog = new FleetDialog(
                *m_services, [this] { return linkChoice().settings; }, this);
        m_fleetDialog->show();
        m_fleetDialog->raise();
    });
}

QComboBox* MainWindow::SPort() const {
    return m_Frame1->SPort();
}

QComboBox* MainWindow::Sbaud() const {
    return m_Frame1->Sbaud();
}

void MainWindow::selectSbaud(int index) {
    m_Frame1->Sbaud()->setCurrentIndex(index);
}

void MainWindow::selectSerial() {
    // A saved record of the serial link does not take the user off the
    // network printer, which is reached the same way.
    if (m_Frame1->networkChosen())
        return;
    PortSelect_Serial_Click();
}

void MainWindow::selectParallel() {
    PortSelect_Parallel_Click();
}

LinkChoice MainWindow::linkChoice() const {
    return m_Frame1->linkChoice();
}

std::filesystem::path MainWindow::commonDialogFile() const {
    const auto last = m_dialogs->lastChoice(FileDialogId::CommonDialog);
    return last ? last->fullPath : std::filesystem::path();
}

void MainWindow::showPortDevice() {
    m_Frame1->showPortDevice(m_programFolder);
}

} // namespace ordalia::app
