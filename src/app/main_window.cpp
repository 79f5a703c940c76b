#include "app/main_window.h"

#include "app/firmware_page.h"
#include "app/font_page.h"
#include "app/logo_page.h"
#include "app/settings_page.h"
#include "app/test_print_page.h"
#include "common/clock.h"
#include "link/parallel_port.h"
#include "link/port_names.h"
#include "link/serial_port.h"
#include "link/system_ports.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ordalia::app {

QLabel* makeLabel(const char* objectName, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    // Captions such as "<ESC> < t >" are text, never markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

MainWindow::MainWindow(WindowParts parts, QWidget* parent) : QWidget(parent) {
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
    m_dialogs = std::make_unique<RememberingDialogs>(*parts.dialogs);
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
    buildInterfaceStrip();
    layout->addWidget(m_Frame1);

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
    connect(m_PortSelect_Serial, &QRadioButton::clicked, this,
            &MainWindow::PortSelect_Serial_Click);
    connect(m_PortSelect_Parallel, &QRadioButton::clicked, this,
            &MainWindow::PortSelect_Parallel_Click);
    connect(m_SPort, &QComboBox::currentTextChanged, this, &MainWindow::showPortDevice);

    Form_Load();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildInterfaceStrip() {
    m_Frame1 = new QGroupBox(QStringLiteral("Interface Setting"), this);
    m_Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* row = new QHBoxLayout(m_Frame1);
    row->setContentsMargins(8, 2, 8, 2);

    m_PortSelect_Serial = new QRadioButton(QStringLiteral("Serial"), m_Frame1);
    m_PortSelect_Serial->setObjectName(QStringLiteral("PortSelect_Serial"));
    m_PortSelect_Parallel = new QRadioButton(QStringLiteral("Parallel"), m_Frame1);
    m_PortSelect_Parallel->setObjectName(QStringLiteral("PortSelect_Parallel"));
    m_PortSelect_Serial->setChecked(true);

    m_SPort = new QComboBox(m_Frame1);
    m_SPort->setObjectName(QStringLiteral("SPort"));
    m_SPort->setEditable(true);
    m_SPort->setEditText(QStringLiteral("Combo1"));
    m_SPort->setMinimumContentsLength(6);
    m_Sbaud = new QComboBox(m_Frame1);
    m_Sbaud->setObjectName(QStringLiteral("Sbaud"));
    m_Sbaud->setEditable(true);
    m_Sbaud->setEditText(QStringLiteral("Combo2"));
    m_Sbaud->setMinimumContentsLength(12);
    m_LPTPort = new QComboBox(m_Frame1);
    m_LPTPort->setObjectName(QStringLiteral("LPTPort"));
    m_LPTPort->addItems({QStringLiteral("LPT1"), QStringLiteral("LPT2")});
    m_LPTPort->hide();
    m_PortDevice = makeLabel("PortDevice", QString(), m_Frame1);
    m_PortDevice->setEnabled(false);

    row->addWidget(m_PortSelect_Serial);
    row->addWidget(m_PortSelect_Parallel);
    row->addSpacing(8);
    row->addWidget(m_SPort);
    row->addWidget(m_Sbaud);
    row->addWidget(m_LPTPort);
    row->addWidget(m_PortDevice, 1);
}

void MainWindow::Form_Load() {
    // 1. and 2.: the link's lists.
    m_SPort->addItem(QStringLiteral(" "));
    for (int n = 1; n <= 8; ++n)
        m_SPort->addItem(QStringLiteral("COM %1").arg(n));
    m_SPort->setCurrentIndex(1);
    m_Sbaud->addItems({QStringLiteral("9600,n,8,1"), QStringLiteral("19200,n,8,1"),
                       QStringLiteral("38400,n,8,1"), QStringLiteral("115200,n,8,1")});
    m_Sbaud->setCurrentIndex(3);
    // 3.: the settings page's lists.
    m_settingsPage->fillLists();
    // 4.: the page change as if the shown page had just been shown.
    SSTab1_Click(0);
    // 5.
    m_PortSelect_Serial->setChecked(true);
    // 6. and 7.: the logo library; the code page check flag starts clear.
    m_logoPage->LoadLogoList();
    m_fontPage->resetCodePageTableError();
    showPortDevice();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Form_Unload: every operation has closed its port, and nothing is saved
    // on the way out.
    event->accept();
}

void MainWindow::SSTab1_Click(int) {
    const int shown = m_SSTab1->currentIndex();
    if (shown == 0)
        m_settingsPage->load();
    else if (shown == 3)
        m_fontPage->SSTab3_Click();
}

void MainWindow::PortSelect_Serial_Click() {
    m_PortSelect_Serial->setChecked(true);
    m_SPort->show();
    m_Sbaud->show();
    m_PortDevice->show();
    m_LPTPort->hide();
    m_settingsPage->setSerialOnlyVisible(true);
}

void MainWindow::PortSelect_Parallel_Click() {
    m_PortSelect_Parallel->setChecked(true);
    m_SPort->hide();
    m_Sbaud->hide();
    m_PortDevice->hide();
    m_LPTPort->show();
    m_settingsPage->setSerialOnlyVisible(false);
}

void MainWindow::selectSbaud(int index) {
    m_Sbaud->setCurrentIndex(index);
}

void MainWindow::selectSerial() {
    PortSelect_Serial_Click();
}

void MainWindow::selectParallel() {
    PortSelect_Parallel_Click();
}

LinkChoice MainWindow::linkChoice() const {
    LinkChoice choice;
    // Text typed into the list that is none of its entries selects no port.
    const int index = m_SPort->currentIndex();
    choice.portIndex = (index >= 0 && m_SPort->itemText(index) == m_SPort->currentText())
                           ? index
                           : m_SPort->findText(m_SPort->currentText(), Qt::MatchExactly);
    choice.settings = toStdString(m_Sbaud->currentText());
    choice.serialSelected = m_PortSelect_Serial->isChecked();
    choice.parallelIndex = m_LPTPort->currentIndex();
    return choice;
}

std::filesystem::path MainWindow::commonDialogFile() const {
    const auto last = m_dialogs->lastChoice(FileDialogId::CommonDialog);
    return last ? last->fullPath : std::filesystem::path();
}

void MainWindow::showPortDevice() {
    const LinkChoice choice = linkChoice();
    QString text;
    if (choice.portIndex > 0)
        text = QString::fromStdString(resolvePortName(choice.portIndex, m_programFolder).device);
    else if (choice.portIndex == 0)
        text = QStringLiteral("no port");
    else
        text = QStringLiteral("not a port entry");
    m_SPort->setToolTip(text);
    m_PortDevice->setText(text);
}

} // namespace ordalia::app
