#pragma once

// A test hook: the window driven by a script file, as an end-to-end test runs
// the shipped program on a machine with no one at it. It is on only when the
// environment names a script (ORDALIA_WINDOW_SCRIPT); the window is the same
// window with the same controls, texts and bytes either way.

#include "app/qt_ui.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>

class QWidget;

namespace ordalia::app {

// One step a line; blank lines and lines starting with '#' are skipped:
//   set NAME VALUE    a list's text, a text box's text, a check box (0/1) or
//                     the page shown (its number from 0)
//   file PATH         the answer of the next open-file dialog
//   show NAME         logs a list's or a text box's text, or a check box (0/1)
//   click NAME        clicks the button and waits until what it started ends
//   title             logs the window's title
//   quit              closes the window
// Each step, as written, and each message the window shows goes to the log (the script's
// path with ".log" appended), a line each, with the milliseconds since the
// click. A click's line ends with the longest time the window went without
// processing its events while the click ran, not counting the time a
// message box was up (its first showing may take a while). A message box is shown as it
// is and accepted after a moment, as a user would.
class WindowScript : public QObject {
    Q_OBJECT
public:
    explicit WindowScript(const std::filesystem::path& script);

    // The script named by ORDALIA_WINDOW_SCRIPT, or none.
    static std::filesystem::path fromEnvironment();

    Dialogs& dialogs() { return m_dialogs; }
    // Runs the steps on `window`, which must outlive the script.
    void start(QWidget& window);

    void log(const QString& line);

private:
    class ScriptedDialogs final : public Dialogs {
    public:
        explicit ScriptedDialogs(WindowScript& script) : m_script(script), m_real(nullptr) {}
        void message(std::string_view text, std::string_view title) override;
        void notice(std::string_view text) override;
        bool confirm(std::string_view text, std::string_view title) override;
        std::optional<FileChoice> openFile(const FileDialogRequest& request) override;

        int m_open = 0; // message boxes up

    private:
        // Counts a box as up while it is, and starts the next gap afresh.
        struct ShownBox {
            explicit ShownBox(ScriptedDialogs& d) : dialogs(d) { ++dialogs.m_open; }
            ~ShownBox() {
                --dialogs.m_open;
                dialogs.m_script.m_lastWatch.restart();
            }
            ScriptedDialogs& dialogs;
        };

        WindowScript& m_script;
        QtDialogs m_real;
    };

    void next();
    void watch();
    bool runStep(const QStringList& words);
    qint64 sinceClick() const { return m_click.isValid() ? m_click.elapsed() : 0; }

    ScriptedDialogs m_dialogs{*this};
    QWidget* m_window = nullptr;
    std::deque<QString> m_steps;
    std::deque<std::filesystem::path> m_files;
    std::ofstream m_log;
    QTimer m_watch;
    QElapsedTimer m_click;
    QElapsedTimer m_lastWatch;
    qint64 m_longestGap = 0;
};

} // namespace ordalia::app
