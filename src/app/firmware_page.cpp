#include "app/firmware_page.h"

#include "app/guard.h"
#include "app/main_window.h"
#include "testprint/test_pages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace ordalia::app {

FirmwarePage::FirmwarePage(MainWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window) {
    auto* row = new QHBoxLayout(this);
    auto* Frame6 = new QGroupBox(QStringLiteral("Firmware Update"), this);
    Frame6->setObjectName(QStringLiteral("Frame6"));
    auto* v = new QVBoxLayout(Frame6);

    auto* OpenFirm = new QPushButton(QStringLiteral("Open Firmware File"), Frame6);
    OpenFirm->setObjectName(QStringLiteral("OpenFirm"));
    m_Firm_Text = new QLineEdit(Frame6);
    m_Firm_Text->setObjectName(QStringLiteral("Firm_Text"));
    m_Firm_Text->setReadOnly(true);
    // Named after what it shows, not after the frame it lies in.
    m_Firm_Text->setAccessibleName(QStringLiteral("Firmware File"));
    m_Firm_Text->hide();
    m_ISP_ERROR = new QCheckBox(QStringLiteral("Ignore printer's malfunction"), Frame6);
    m_ISP_ERROR->setObjectName(QStringLiteral("ISP_ERROR"));
    auto* Firm_Updata = new QPushButton(QStringLiteral("Update"), Frame6);
    Firm_Updata->setObjectName(QStringLiteral("Firm_Updata"));
    m_Firm_ProgressBar = new QProgressBar(Frame6);
    m_Firm_ProgressBar->setObjectName(QStringLiteral("Firm_ProgressBar"));
    m_Firm_ProgressBar->setRange(0, 100);
    m_Firm_ProgressBar->hide();
    m_Firm_ProgressBar->setAccessibleName(QStringLiteral("Update"));
    m_Firm_Label = makeLabel("Firm_Label", QString(), Frame6);
    m_Firm_Label->hide();
    m_status = std::make_unique<QtStatusLabel>(m_Firm_Label);
    m_progress = std::make_unique<QtProgressBar>(m_Firm_ProgressBar);

    v->addWidget(OpenFirm);
    v->addWidget(m_Firm_Text);
    v->addWidget(m_ISP_ERROR);
    v->addWidget(Firm_Updata);
    v->addWidget(m_Firm_ProgressBar);
    v->addWidget(m_Firm_Label);
    v->addStretch(1);

    // A developer's compare of the files "1" and "2": kept, never shown.
    auto* Command4 = new QPushButton(QStringLiteral("Command4"), this);
    Command4->setObjectName(QStringLiteral("Command4"));
    Command4->hide();

    row->addWidget(Frame6, 2);
    row->addWidget(Command4);
    row->addStretch(1);

    connect(OpenFirm, &QPushButton::clicked, this, &FirmwarePage::OpenFirm_Click);
    connect(Firm_Updata, &QPushButton::clicked, this, &FirmwarePage::Firm_Updata_Click);
    connect(Command4, &QPushButton::clicked, this, &FirmwarePage::Command4_Click);
}

FirmwarePage::~FirmwarePage() = default;

void FirmwarePage::OpenFirm_Click() {
    guardedClick(m_window.services(), [&] {
        const FirmwareFileChoice choice = openFirmwareFile(m_window.services(), m_state);
        if (choice.outcome != Outcome::Done)
            return;
        m_Firm_Text->setText(toQString(choice.Firm_Text));
        m_Firm_Text->show();
    });
}

void FirmwarePage::Firm_Updata_Click() {
    guardedClick(m_window.services(), [&] {
        FirmwareUpdateRequest request;
        request.FirmFilePath = m_state.FirmFilePath;
        request.ISP_ERROR = m_ISP_ERROR->isChecked();
        updateFirmware(m_window.services(), m_window.linkChoice(), request, *m_status, *m_progress);
    });
}

void FirmwarePage::Command4_Click() {
    guardedClick(m_window.services(), [&] { CompareFiles(m_window.services()); });
}

} // namespace ordalia::app
