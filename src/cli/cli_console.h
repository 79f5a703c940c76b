#pragma once

#include "common/outcome.h"
#include "common/ui.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ordalia::cli {

// The window's dialogs and status displays on a console. Messages go to
// standard error as they come; captions and the progress bar are drawn as one
// line rewritten in place, and only on a terminal. Questions are answered
// "OK": the command line itself is the user's confirmation.
//
// With quiet set nothing is written while the command runs; the messages are
// held and written at the end only if the command did not succeed.
class Console final : public Dialogs, public EventPump {
public:
    Console(std::ostream& err, bool terminal, bool quiet);

    void message(std::string_view text, std::string_view title = {}) override;
    bool confirm(std::string_view text, std::string_view title) override;
    // The command line names its files; no operation it runs asks for one.
    std::optional<FileChoice> openFile(const FileDialogRequest& request) override;
    // "Opened COM 1 (/dev/ttyUSB0)." unless quiet.
    void portOpened(std::string_view port) override;
    void processEvents() override {}

    // A line of the command's own, like a message.
    void note(std::string_view text) { message(text); }
    // Ends the progress line and, when quiet, writes the held messages
    // unless the command succeeded.
    void finish(Outcome outcome);

    bool messageShown() const { return m_messages > 0; }
    bool terminal() const { return m_terminal; }
    // Text as it is, for a display of the command's own on the terminal.
    void raw(std::string_view text);

    StatusLabel& label() { return m_label; }
    ProgressBar& bar() { return m_bar; }

private:
    class Label final : public StatusLabel {
    public:
        explicit Label(Console& console) : m_console(console) {}
        void setCaption(std::string_view text) override;
        void setVisible(bool visible) override;

    private:
        Console& m_console;
    };
    class Bar final : public ProgressBar {
    public:
        explicit Bar(Console& console) : m_console(console) {}
        int value() const override { return m_value; }
        void setValue(int value) override;
        void setVisible(bool visible) override;

    private:
        friend class Console;
        Console& m_console;
        int m_value = 0;
    };

    void redraw();
    void endLine();

    std::ostream& m_err;
    bool m_terminal;
    bool m_quiet;
    Label m_label{*this};
    Bar m_bar{*this};
    std::string m_caption;
    bool m_labelVisible = false;
    bool m_barVisible = false;
    std::string m_drawn; // the progress line as it stands on the terminal
    bool m_lineOpen = false;
    int m_messages = 0;
    std::vector<std::string> m_held;
};

} // namespace ordalia::cli
