#include "app/test_print_page.h"

#include "app/guard.h"
#include "app/main_window.h"
#include "testprint/test_pages.h"

#include <QGridLayout>
#include <QPushButton>

namespace ordalia::app {

TestPrintPage::TestPrintPage(MainWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window) {
    auto* grid = new QGridLayout(this);
    int i = 0;
    for (const TestPageButton& b : kTestPageButtons) {
        auto* button = new QPushButton(toQString(b.caption), this);
        button->setObjectName(toQString(b.control));
        button->setMinimumHeight(32);
        if (!b.shown)
            button->hide();
        grid->addWidget(button, i / 3, i % 3);
        const std::string_view file = b.file;
        connect(button, &QPushButton::clicked, this, [this, file] { sendTestFile(file); });
        ++i;
    }
    auto* Command5 = new QPushButton(QStringLiteral("Test Page"), this);
    Command5->setObjectName(QStringLiteral("Command5"));
    Command5->setMinimumHeight(32);
    grid->addWidget(Command5, (i + 2) / 3, 0);
    grid->setRowStretch((i + 2) / 3 + 1, 1);
    connect(Command5, &QPushButton::clicked, this, &TestPrintPage::Command5_Click);
}

void TestPrintPage::sendTestFile(std::string_view relativeFile) {
    guardedClick(m_window.services(),
                 [&] { SendTestPage(m_window.services(), m_window.linkChoice(), relativeFile); });
}

void TestPrintPage::Command5_Click() {
    guardedClick(m_window.services(),
                 [&] { SendSelfTestRequest(m_window.services(), m_window.linkChoice()); });
}

} // namespace ordalia::app
