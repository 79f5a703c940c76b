#include "app/interface_strip.h"

#include "app/main_window.h"
#include "app/qt_ui.h"
#include "ports/port_names.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <fstream>
#include <string>

namespace ordalia::app {

InterfaceStrip::InterfaceStrip(QWidget* parent)
    : QGroupBox(QStringLiteral("Interface Setting"), parent) {
    setObjectName(QStringLiteral("Frame1"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 2, 8, 2);

    m_PortSelect_Serial = new QRadioButton(QStringLiteral("Serial"), this);
    m_PortSelect_Serial->setObjectName(QStringLiteral("PortSelect_Serial"));
    m_PortSelect_Parallel = new QRadioButton(QStringLiteral("Parallel"), this);
    m_PortSelect_Parallel->setObjectName(QStringLiteral("PortSelect_Parallel"));
    m_PortSelect_Network = new QRadioButton(QStringLiteral("Network"), this);
    m_PortSelect_Network->setObjectName(QStringLiteral("PortSelect_Network"));
    // Set as the window is created, and again by the start-up.
    m_PortSelect_Serial->setChecked(true);

    // Both lists take typed text too; their first texts give way to the
    // entry selected at start. Typed text never becomes an entry: SPort's
    // index is the port number, so an added tenth entry would send the job
    // to COM 9. Text that is no entry selects no port; Sbaud's text is
    // passed to the port as typed.
    m_SPort = new QComboBox(this);
    m_SPort->setObjectName(QStringLiteral("SPort"));
    m_SPort->setEditable(true);
    m_SPort->setInsertPolicy(QComboBox::NoInsert);
    m_SPort->setEditText(QStringLiteral("Combo1"));
    m_SPort->setMinimumContentsLength(6);
    m_SPort->setAccessibleName(QStringLiteral("Interface Setting : serial port"));
    m_Sbaud = new QComboBox(this);
    m_Sbaud->setObjectName(QStringLiteral("Sbaud"));
    m_Sbaud->setEditable(true);
    m_Sbaud->setInsertPolicy(QComboBox::NoInsert);
    m_Sbaud->setEditText(QStringLiteral("Combo2"));
    m_Sbaud->setAccessibleName(QStringLiteral("Interface Setting : serial settings"));
    m_Sbaud->setMinimumContentsLength(12);
    m_LPTPort = new QComboBox(this);
    m_LPTPort->setObjectName(QStringLiteral("LPTPort"));
    m_LPTPort->addItems({QStringLiteral("LPT1"), QStringLiteral("LPT2")});
    m_LPTPort->setAccessibleName(QStringLiteral("Interface Setting : parallel port"));
    m_LPTPort->hide();
    m_NetHost = new QLineEdit(this);
    m_NetHost->setObjectName(QStringLiteral("NetHost"));
    m_NetHost->setPlaceholderText(QStringLiteral("host or host:port"));
    m_NetHost->setToolTip(
        QStringLiteral("The network printer: a name or address, and :port unless it is 9100"));
    m_NetHost->setAccessibleName(QStringLiteral("Interface Setting : network printer"));
    m_NetHost->setMinimumWidth(160);
    m_NetHost->hide();
    connect(m_NetHost, &QLineEdit::textEdited, this, [this] { writeHostFile(); });
    m_PortDevice = makeLabel("PortDevice", QString(), this);
    m_PortDevice->setEnabled(false);

    row->addWidget(m_PortSelect_Serial);
    row->addWidget(m_PortSelect_Parallel);
    row->addWidget(m_PortSelect_Network);
    row->addSpacing(8);
    row->addWidget(m_SPort);
    row->addWidget(m_Sbaud);
    row->addWidget(m_LPTPort);
    row->addWidget(m_NetHost);
    row->addWidget(m_PortDevice, 1);
}

void InterfaceStrip::fillLists() {
    m_SPort->addItem(QStringLiteral(" "));
    for (int n = 1; n <= 8; ++n)
        m_SPort->addItem(QStringLiteral("COM %1").arg(n));
    m_SPort->setCurrentIndex(1);
    for (const std::string_view item : kSbaudItems)
        m_Sbaud->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
    m_Sbaud->setCurrentIndex(kDefaultSbaud);
}

LinkChoice InterfaceStrip::linkChoice() const {
    LinkChoice choice;
    // Text typed into the list that is none of its entries selects no port.
    const int index = m_SPort->currentIndex();
    choice.portIndex = (index >= 0 && m_SPort->itemText(index) == m_SPort->currentText())
                           ? index
                           : m_SPort->findText(m_SPort->currentText(), Qt::MatchExactly);
    choice.settings = toStdString(m_Sbaud->currentText());
    // A network printer answers on the connection: the serial path serves it.
    choice.serialSelected = !m_PortSelect_Parallel->isChecked();
    choice.parallelIndex = m_LPTPort->currentIndex();
    choice.networkSelected = m_PortSelect_Network->isChecked();
    choice.host = toStdString(m_NetHost->text().trimmed());
    if (choice.networkSelected)
        writeHostFile();
    return choice;
}

void InterfaceStrip::showSerial(bool serial) {
    (serial ? m_PortSelect_Serial : m_PortSelect_Parallel)->setChecked(true);
    m_SPort->setVisible(serial);
    m_Sbaud->setVisible(serial);
    m_PortDevice->setVisible(serial);
    m_LPTPort->setVisible(!serial);
    m_NetHost->hide();
}

void InterfaceStrip::showNetwork() {
    m_PortSelect_Network->setChecked(true);
    m_SPort->hide();
    m_Sbaud->hide();
    m_PortDevice->hide();
    m_LPTPort->hide();
    m_NetHost->show();
}

bool InterfaceStrip::networkChosen() const {
    return m_PortSelect_Network->isChecked();
}

void InterfaceStrip::keepHostIn(const std::filesystem::path& programFolder) {
    m_hostFile = programFolder / "network";
    std::ifstream in(m_hostFile, std::ios::binary);
    std::string line;
    if (std::getline(in, line))
        m_NetHost->setText(QString::fromUtf8(line).trimmed());
}

void InterfaceStrip::writeHostFile() const {
    if (m_hostFile.empty())
        return;
    // One line; a folder that cannot be written only loses the host for the
    // next run.
    std::ofstream out(m_hostFile, std::ios::binary | std::ios::trunc);
    out << toStdString(m_NetHost->text().trimmed()) << "\r\n";
}

void InterfaceStrip::showPortDevice(const std::filesystem::path& programFolder) {
    const LinkChoice choice = linkChoice();
    QString text;
    QString tip;
    if (choice.portIndex > 0) {
        const PortName name = resolvePortName(choice.portIndex, programFolder);
        text = QString::fromStdString(portEntryText(choice.portIndex, name));
        // Why the entry has no device, and how to give it one.
        tip = name.error.empty() ? text
                                 : text + QStringLiteral(": ") + QString::fromStdString(name.error);
    } else if (choice.portIndex == 0) {
        text = tip = QStringLiteral("no port");
    } else {
        text = tip = QStringLiteral("not a port entry");
    }
    m_SPort->setToolTip(tip);
    m_PortDevice->setText(text);
}

} // namespace ordalia::app
