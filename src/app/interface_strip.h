#pragma once

#include "link/printer_link.h"

#include <QGroupBox>
#include <filesystem>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace ordalia::app {

// Frame1, "Interface Setting": the link every operation uses. The serial
// side is SPort (selected index = port number) and Sbaud (its text is the
// settings string); the parallel side is LPTPort (LPT1, LPT2), shown only
// while "Parallel" is chosen. "Network" shows NetHost instead, the network
// printer's host or host:port, which the file "network" in the program folder
// keeps from one run to the next.
class InterfaceStrip : public QGroupBox {
    Q_OBJECT
public:
    explicit InterfaceStrip(QWidget* parent);

    // Form_Load steps 1 and 2: the nine port entries and the four settings.
    void fillLists();

    // The strip as an operation starting now sees it.
    LinkChoice linkChoice() const;

    // Serial shows SPort and Sbaud, parallel shows LPTPort instead.
    void showSerial(bool serial);
    // Network shows NetHost in place of both.
    void showNetwork();
    bool networkChosen() const;

    // Reads the host kept in the program folder's "network" file into NetHost;
    // from now on it is written there when edited and when an operation starts.
    void keepHostIn(const std::filesystem::path& programFolder);

    // The device the chosen entry stands for, as SPort's tool tip and the
    // small text beside the lists.
    void showPortDevice(const std::filesystem::path& programFolder);

    QRadioButton* PortSelect_Serial() const { return m_PortSelect_Serial; }
    QRadioButton* PortSelect_Parallel() const { return m_PortSelect_Parallel; }
    QRadioButton* PortSelect_Network() const { return m_PortSelect_Network; }
    QLineEdit* NetHost() const { return m_NetHost; }
    QComboBox* SPort() const { return m_SPort; }
    QComboBox* Sbaud() const { return m_Sbaud; }
    QComboBox* LPTPort() const { return m_LPTPort; }

private:
    void writeHostFile() const;

    QRadioButton* m_PortSelect_Serial = nullptr;
    QRadioButton* m_PortSelect_Parallel = nullptr;
    QRadioButton* m_PortSelect_Network = nullptr;
    QLineEdit* m_NetHost = nullptr;
    std::filesystem::path m_hostFile;
    QComboBox* m_SPort = nullptr;
    QComboBox* m_Sbaud = nullptr;
    QComboBox* m_LPTPort = nullptr;
    QLabel* m_PortDevice = nullptr;
};

} // namespace ordalia::app
