#include "app/compound_page.h"

#include "app/guard.h"
#include "app/main_window.h"
#include "compound/compound_download.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace ordalia::app {

CompoundPage::CompoundPage(MainWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window) {
    auto* v = new QVBoxLayout(this);
    auto* open_com =
        makePushButton(QStringLiteral("open_com"), QStringLiteral("Open Compound File"), this);
    // Shows the chosen file; never typed into.
    m_com_Text = new QLineEdit(this);
    m_com_Text->setObjectName(QStringLiteral("com_Text"));
    m_com_Text->setEnabled(false);
    m_com_Text->hide();
    // What the download will make of the chosen name, so a name outside the
    // font table is seen before anything is sent.
    m_com_Language = makeLabel("com_Language", QString(), this);
    m_com_Language->hide();
    auto* com_download =
        makePushButton(QStringLiteral("com_download"), QStringLiteral("Download To Printer"), this);
    m_com_ProgressBar = makeProgressBar("com_ProgressBar", this);
    m_com_Label = makeLabel("com_Label", QString(), this);
    m_com_Label->hide();
    m_comStatus = std::make_unique<QtStatusLabel>(m_com_Label);
    m_comProgress = std::make_unique<QtProgressBar>(m_com_ProgressBar);
    v->addWidget(open_com);
    auto* chosen = new QHBoxLayout;
    chosen->addWidget(m_com_Text, 1);
    chosen->addWidget(m_com_Language);
    v->addLayout(chosen);
    v->addWidget(com_download);
    v->addWidget(m_com_ProgressBar);
    v->addWidget(m_com_Label);
    v->addWidget(makeLabel(
        "Label20", QStringLiteral("The \"Compound Word\" is only for GB2312,Big5,JISx0208,Korean."),
        this));
    v->addWidget(makeLabel("Label19",
                           QStringLiteral("Please refer to ESC/POS commnand : <FS> < ! >"), this));
    v->addStretch(1);
    connect(open_com, &QPushButton::clicked, this, &CompoundPage::open_com_Click);
    connect(com_download, &QPushButton::clicked, this, &CompoundPage::com_download_Click);
}

CompoundPage::~CompoundPage() = default;

void CompoundPage::open_com_Click() {
    guardedClick(m_window.services(), [&] {
        const CompoundFileChoice choice = openCompoundFile(m_window.services(), m_compound);
        if (choice.outcome != Outcome::Done)
            return;
        m_com_Text->setText(toQString(choice.com_Text));
        m_com_Text->show();
        m_com_Language->setText(toQString(choice.com_Language));
        m_com_Language->show();
    });
}

void CompoundPage::com_download_Click() {
    guardedClick(m_window.services(), [&] {
        downloadCompound(m_window.services(), m_window.linkChoice(), m_compound, *m_comStatus,
                         *m_comProgress);
    });
}

} // namespace ordalia::app
