#include "app/font_page.h"

#include "app/code_page_page.h"
#include "app/compound_page.h"
#include "app/guard.h"
#include "app/main_window.h"
#include "codepages/code_page_table.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace ordalia::app {

FontPage::FontPage(MainWindow& window, QWidget* parent) : QWidget(parent), m_window(window) {
    auto* layout = new QVBoxLayout(this);
    m_SSTab3 = new QTabWidget(this);
    m_SSTab3->setObjectName(QStringLiteral("SSTab3"));
    m_codePagePage = new CodePagePage(window, m_SSTab3);
    m_compoundPage = new CompoundPage(window, m_SSTab3);
    m_SSTab3->addTab(m_codePagePage, QStringLiteral("Code Page Table"));
    m_SSTab3->addTab(m_compoundPage, QStringLiteral("Compound Word"));
    m_SSTab3->setCurrentIndex(0);
    layout->addWidget(m_SSTab3);
    connect(m_SSTab3, &QTabWidget::currentChanged, this, [this](int) { SSTab3_Click(); });
}

FontPage::~FontPage() = default;

void FontPage::resetCodePageTableError() {
    m_codePagePage->resetCodePageTableError();
}

void FontPage::SSTab3_Click() {
    guardedClick(m_window.services(), [&] {
        const CodePageTabLoad load =
            ordalia::SSTab3_Click(m_window.services(), m_SSTab3->currentIndex());
        if (load.outcome == Outcome::Done)
            m_codePagePage->showLoadedSlots(load.slots);
    });
}

} // namespace ordalia::app
