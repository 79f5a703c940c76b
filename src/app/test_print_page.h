#pragma once

#include <QWidget>
#include <string_view>

namespace ordalia::app {

class MainWindow;

// Page 1 of SSTab1, "Test Print": the stored test pages and the printer's own.
class TestPrintPage : public QWidget {
    Q_OBJECT
public:
    TestPrintPage(MainWindow& window, QWidget* parent);

    void sendTestFile(std::string_view relativeFile);
    void Command5_Click();

private:
    MainWindow& m_window;
};

} // namespace ordalia::app
