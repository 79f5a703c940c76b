#include "app/settings_page.h"

#include "app/guard.h"
#include "app/main_window.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace ordalia::app {

namespace {

QComboBox* makeList(const char* name, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    return list;
}

QGroupBox* makeFrame(const char* name, const QString& caption, QWidget* parent) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    return frame;
}

// The label that captions `control`, tied to it so that a screen reader
// announces the caption with the control's value.
QLabel* captionOf(QWidget* control, const char* labelName, const QString& caption) {
    QLabel* label = makeLabel(labelName, caption, control->parentWidget());
    label->setBuddy(control);
    return label;
}

template <std::size_t N>
void fill(QComboBox* list, const std::array<std::string_view, N>& items) {
    for (const auto item : items)
        list->addItem(toQString(item));
}

} // namespace

SettingsPage::SettingsPage(MainWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window) {
    auto* grid = new QGridLayout(this);

    auto* Frame2 = makeFrame("Frame2", QStringLiteral("Printer Mode"), this);
    m_EEPROM_Mode = makeList("EEPROM_Mode", Frame2);
    m_EEPROM_Mode->setAccessibleName(Frame2->title());
    (new QVBoxLayout(Frame2))->addWidget(m_EEPROM_Mode);

    auto* Frame9 = makeFrame("Frame9", QStringLiteral("Compound Word"), this);
    m_EPPROM_Compound = makeList("EPPROM_Compound", Frame9);
    m_EPPROM_Compound->setAccessibleName(Frame9->title());
    (new QVBoxLayout(Frame9))->addWidget(m_EPPROM_Compound);

    m_Frame14 = makeFrame("Frame14", QStringLiteral("Serial Port Function"), this);
    auto* f14 = new QGridLayout(m_Frame14);
    m_NewBaud = makeList("NewBaud", m_Frame14);
    m_EEPROM_RSBuf = makeList("EEPROM_RSBuf", m_Frame14);
    m_NewBaud->setMinimumContentsLength(11);
    f14->addWidget(captionOf(m_NewBaud, "Label9", QStringLiteral("New Baud Rate :")), 0, 0);
    f14->addWidget(m_NewBaud, 0, 1);
    f14->addWidget(captionOf(m_EEPROM_RSBuf, "Label10", QStringLiteral("Graphic Buffer :")), 1, 0);
    f14->addWidget(m_EEPROM_RSBuf, 1, 1);

    auto* Frame3 = makeFrame("Frame3", QStringLiteral("Hardware Setting"), this);
    auto* f3 = new QVBoxLayout(Frame3);
    auto* Frame21 = makeFrame("Frame21", QString(), Frame3);
    m_EEPROM_CD = makeList("EEPROM_CD", Frame21);
    auto* f21 = new QHBoxLayout(Frame21);
    f21->addWidget(captionOf(m_EEPROM_CD, "Label29", QStringLiteral("Cut Distance : ")));
    f21->addWidget(m_EEPROM_CD, 1);
    auto* Frame19 = makeFrame("Frame19", QString(), Frame3);
    m_EEPROM_Density = makeList("EEPROM_Density", Frame19);
    auto* f19 = new QHBoxLayout(Frame19);
    f19->addWidget(captionOf(m_EEPROM_Density, "Label27", QStringLiteral("Printer Density :")));
    f19->addWidget(m_EEPROM_Density, 1);
    auto* Frame16 = makeFrame("Frame16", QString(), Frame3);
    m_EEPROM_Cutter_ON =
        addOnOff(Frame16, "Frame16", "Label13", QStringLiteral("Cutter Function :"),
                 "EEPROM_Cutter_ON", "EEPROM_Cutter_OFF", &m_EEPROM_Cutter_OFF);
    f3->addWidget(Frame21);
    f3->addWidget(Frame19);
    f3->addWidget(Frame16);

    auto* Frame4 = makeFrame("Frame4", QStringLiteral("Sensor Switch"), this);
    auto* f4 = new QVBoxLayout(Frame4);
    auto* Frame18 = makeFrame("Frame18", QString(), Frame4);
    m_EEPROM_Door_ON = addOnOff(Frame18, "Frame18", "Label23", QStringLiteral("Door Sensor :"),
                                "EEPROM_Door_ON", "EEPROM_Door_OFF", &m_EEPROM_Door_OFF);
    auto* Frame5 = makeFrame("Frame5", QString(), Frame4);
    m_EEPROM_PaperEnd_ON =
        addOnOff(Frame5, "Frame5", "Label12", QStringLiteral("Paper End : "), "EEPROM_PaperEnd_ON",
                 "EEPROM_PaperEnd_OFF", &m_EEPROM_PaperEnd_OFF);
    auto* Frame7 = makeFrame("Frame7", QString(), Frame4);
    m_EEPROM_NearEnd_ON =
        addOnOff(Frame7, "Frame7", "Label14", QStringLiteral("Paper Near-End :"),
                 "EEPROM_NearEnd_ON", "EEPROM_NearEnd_OFF", &m_EEPROM_NearEnd_OFF);
    f4->addWidget(Frame18);
    f4->addWidget(Frame5);
    f4->addWidget(Frame7);

    m_Command1 = new QPushButton(QStringLiteral("Download Setting To Printer"), this);
    m_Command1->setObjectName(QStringLiteral("Command1"));

    grid->addWidget(Frame2, 0, 0);
    grid->addWidget(Frame9, 1, 0);
    grid->addWidget(m_Frame14, 2, 0);
    grid->addWidget(Frame3, 0, 1, 2, 1);
    grid->addWidget(Frame4, 2, 1, 2, 1);
    grid->addWidget(m_Command1, 3, 0, Qt::AlignCenter);
    grid->setRowStretch(4, 1);

    // Only a choice made on the list itself runs the handler; loading runs
    // its effect through the record's own rule.
    connect(m_EEPROM_Mode, &QComboBox::activated, this, [this](int) { EEPROM_Mode_Click(); });
    connect(m_Command1, &QPushButton::clicked, this, &SettingsPage::Command1_Click);
}

QRadioButton* SettingsPage::addOnOff(QGroupBox* frame, const char*, const char* labelName,
                                     const QString& caption, const char* onName,
                                     const char* offName, QRadioButton** off) {
    auto* row = new QHBoxLayout(frame);
    auto* on = new QRadioButton(QStringLiteral("ON"), frame);
    on->setObjectName(QString::fromLatin1(onName));
    *off = new QRadioButton(QStringLiteral("OFF"), frame);
    (*off)->setObjectName(QString::fromLatin1(offName));
    // Each pair is its own group: exactly one of the two is set.
    auto* group = new QButtonGroup(frame);
    group->addButton(on);
    group->addButton(*off);
    (*off)->setChecked(true);
    // Eight buttons read "ON" or "OFF"; each is announced with its caption.
    on->setAccessibleName(caption.trimmed() + QStringLiteral(" ON"));
    (*off)->setAccessibleName(caption.trimmed() + QStringLiteral(" OFF"));
    row->addWidget(makeLabel(labelName, caption, frame), 1);
    row->addWidget(on);
    row->addWidget(*off);
    return on;
}

void SettingsPage::fillLists() {
    fill(m_EEPROM_Mode, kPrinterModeItems);
    fill(m_NewBaud, kNewBaudItems);
    m_NewBaud->setCurrentIndex(3);
    fill(m_EPPROM_Compound, kCompoundItems);
    fill(m_EEPROM_RSBuf, kGraphicBufferItems);
    fill(m_EEPROM_Density, kDensityItems);
    fill(m_EEPROM_CD, kCutDistanceItems);
    for (QComboBox* list :
         {m_EEPROM_Mode, m_EPPROM_Compound, m_EEPROM_RSBuf, m_EEPROM_Density, m_EEPROM_CD})
        list->setCurrentIndex(-1);
}

void SettingsPage::setSerialOnlyVisible(bool visible) {
    m_Frame14->setVisible(visible);
}

ordalia::SettingsPage SettingsPage::pageValues() const {
    ordalia::SettingsPage page;
    page.EEPROM_Mode = m_EEPROM_Mode->currentIndex();
    page.NewBaud = m_NewBaud->currentIndex();
    page.EPPROM_Compound = m_EPPROM_Compound->currentIndex();
    page.EEPROM_RSBuf = m_EEPROM_RSBuf->currentIndex();
    page.EEPROM_Density = m_EEPROM_Density->currentIndex();
    page.EEPROM_CD = m_EEPROM_CD->currentIndex();
    page.EEPROM_Cutter_ON = m_EEPROM_Cutter_ON->isChecked();
    page.EEPROM_PaperEnd_ON = m_EEPROM_PaperEnd_ON->isChecked();
    page.EEPROM_NearEnd_ON = m_EEPROM_NearEnd_ON->isChecked();
    page.EEPROM_Door_ON = m_EEPROM_Door_ON->isChecked();
    return page;
}

void SettingsPage::showPageValues(const ordalia::SettingsPage& page) {
    m_EEPROM_Mode->setCurrentIndex(page.EEPROM_Mode);
    m_NewBaud->setCurrentIndex(page.NewBaud);
    m_EPPROM_Compound->setCurrentIndex(page.EPPROM_Compound);
    m_EEPROM_RSBuf->setCurrentIndex(page.EEPROM_RSBuf);
    m_EEPROM_Density->setCurrentIndex(page.EEPROM_Density);
    m_EEPROM_CD->setCurrentIndex(page.EEPROM_CD);
    (page.EEPROM_Cutter_ON ? m_EEPROM_Cutter_ON : m_EEPROM_Cutter_OFF)->setChecked(true);
    (page.EEPROM_PaperEnd_ON ? m_EEPROM_PaperEnd_ON : m_EEPROM_PaperEnd_OFF)->setChecked(true);
    (page.EEPROM_NearEnd_ON ? m_EEPROM_NearEnd_ON : m_EEPROM_NearEnd_OFF)->setChecked(true);
    (page.EEPROM_Door_ON ? m_EEPROM_Door_ON : m_EEPROM_Door_OFF)->setChecked(true);
}

void SettingsPage::load() {
    guardedClick(m_window.services(), [&] {
        const SettingsLoad loaded =
            loadSettingsPage(m_window.services(), m_SettingsRecord, pageValues());
        if (!loaded.loaded)
            return;
        m_SettingsRecord = loaded.record;
        if (loaded.selectParallel) {
            m_window.selectParallel();
        } else if (loaded.Sbaud) {
            m_window.selectSerial();
            m_window.selectSbaud(*loaded.Sbaud);
        }
        showPageValues(loaded.page);
    });
}

void SettingsPage::EEPROM_Mode_Click() {
    guardedClick(m_window.services(), [&] {
        const bool on = ordalia::EEPROM_Mode_Click(m_EEPROM_Mode->currentIndex());
        (on ? m_EEPROM_NearEnd_ON : m_EEPROM_NearEnd_OFF)->setChecked(true);
    });
}

void SettingsPage::Command1_Click() {
    guardedClick(m_window.services(), [&] {
        const SettingsDownload result = downloadSettings(m_window.services(), m_window.linkChoice(),
                                                         m_SettingsRecord, pageValues());
        if (result.outcome == Outcome::Refused || result.outcome == Outcome::Nothing)
            return;
        // Saved (and perhaps sent): the record is what the file now holds.
        m_SettingsRecord = result.record;
        if (result.Sbaud)
            m_window.selectSbaud(*result.Sbaud);
    });
}

} // namespace ordalia::app
