#include "cli/cli_console.h"

#include "common/text.h"

#include <ostream>

namespace ordalia::cli {

Console::Console(std::ostream& err, bool terminal, bool quiet)
    : m_err(err), m_terminal(terminal), m_quiet(quiet) {}

void Console::message(std::string_view text, std::string_view /*title*/) {
    ++m_messages;
    if (m_quiet) {
        m_held.emplace_back(text);
        return;
    }
    endLine();
    m_err << text << '\n' << std::flush;
}

void Console::portOpened(std::string_view port) {
    if (m_quiet)
        return;
    endLine();
    m_err << "Opened " << port << ".\n" << std::flush;
}

bool Console::confirm(std::string_view /*text*/, std::string_view /*title*/) {
    return true;
}

std::optional<FileChoice> Console::openFile(const FileDialogRequest& /*request*/) {
    return std::nullopt;
}

void Console::finish(Outcome outcome) {
    endLine();
    if (m_quiet && outcome != Outcome::Done) {
        for (const std::string& text : m_held)
            m_err << text << '\n';
        m_err << std::flush;
    }
    m_held.clear();
}

void Console::Label::setCaption(std::string_view text) {
    m_console.m_caption = std::string(text);
    m_console.redraw();
}

void Console::Label::setVisible(bool visible) {
    m_console.m_labelVisible = visible;
    m_console.redraw();
}

void Console::Bar::setValue(int value) {
    m_value = value;
    m_console.redraw();
}

void Console::Bar::setVisible(bool visible) {
    m_console.m_barVisible = visible;
    m_console.redraw();
}

void Console::redraw() {
    if (!m_terminal || m_quiet)
        return;
    std::string line;
    if (m_labelVisible && !m_caption.empty())
        line = m_caption;
    else if (m_barVisible)
        // A page that has a bar and no caption (the logo download).
        line = "Status : Transfer Data  " + signedNumberText(m_bar.m_value) + "%";
    if (line.empty()) {
        endLine();
        m_drawn.clear();
        return;
    }
    // A caption is drawn once, even when a message came between.
    if (line == m_drawn)
        return;
    // Blanks over what the previous line had beyond this one; no terminal
    // control sequences, so a plain console shows it too.
    const std::size_t pad =
        m_lineOpen && m_drawn.size() > line.size() ? m_drawn.size() - line.size() : 0;
    m_err << '\r' << line << std::string(pad, ' ') << std::flush;
    m_drawn = line;
    m_lineOpen = true;
}

void Console::endLine() {
    if (m_lineOpen)
        m_err << '\n' << std::flush;
    m_lineOpen = false;
}

void Console::raw(std::string_view text) {
    m_err << text << std::flush;
}

} // namespace ordalia::cli
