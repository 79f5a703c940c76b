#pragma once

#include "settings/printer_settings.h"

#include <QWidget>

class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace ordalia::app {

class MainWindow;

// Page 0 of SSTab1, "Printing Setting".
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    SettingsPage(MainWindow& window, QWidget* parent);

    // Form_Load step 3.
    void fillLists();
    // SSTab1_Click on this page: the saved record into the controls.
    void load();
    void setSerialOnlyVisible(bool visible);

    void EEPROM_Mode_Click();
    void Command1_Click();

    // The controls as the download takes them, and back.
    ordalia::SettingsPage pageValues() const;
    void showPageValues(const ordalia::SettingsPage& page);
    const SettingsRecord& record() const { return m_SettingsRecord; }

private:
    QRadioButton* addOnOff(QGroupBox* frame, const char* frameName, const char* labelName,
                           const QString& caption, const char* onName, const char* offName,
                           QRadioButton** off);

    MainWindow& m_window;
    SettingsRecord m_SettingsRecord{};

    QComboBox* m_EEPROM_Mode = nullptr;
    QComboBox* m_EPPROM_Compound = nullptr;
    QComboBox* m_NewBaud = nullptr;
    QComboBox* m_EEPROM_RSBuf = nullptr;
    QComboBox* m_EEPROM_CD = nullptr;
    QComboBox* m_EEPROM_Density = nullptr;
    QRadioButton* m_EEPROM_Cutter_ON = nullptr;
    QRadioButton* m_EEPROM_Cutter_OFF = nullptr;
    QRadioButton* m_EEPROM_Door_ON = nullptr;
    QRadioButton* m_EEPROM_Door_OFF = nullptr;
    QRadioButton* m_EEPROM_PaperEnd_ON = nullptr;
    QRadioButton* m_EEPROM_PaperEnd_OFF = nullptr;
    QRadioButton* m_EEPROM_NearEnd_ON = nullptr;
    QRadioButton* m_EEPROM_NearEnd_OFF = nullptr;
    QGroupBox* m_Frame14 = nullptr;
    QPushButton* m_Command1 = nullptr;
};

} // namespace ordalia::app
