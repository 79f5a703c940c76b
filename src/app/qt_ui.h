#pragma once

#include "common/ui.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

class QLabel;
class QMessageBox;
class QProgressBar;
class QWidget;

namespace ordalia::app {

// Names the application: message boxes take its name as their title. No
// display name is set, since the desktop would append it to every window title
// (" — Ordalia") and the window's caption is "Ordalia v13" exactly.
void nameApplication();

// Texts cross between the core (UTF-8 std::string) and Qt here only.
QString toQString(std::string_view text);
std::string toStdString(const QString& text);

// "Firmware Files(*.firm) | *.firm" -> "Firmware Files (*.firm *.FIRM)". The
// patterns take both letter cases, since file names that came from a
// case-blind system keep whatever case they were given.
QString qtFileFilter(std::string_view filter);

// Message boxes and open-file dialogs of the window.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : m_parent(parent) {}

    void message(std::string_view text, std::string_view title) override;
    // A message box that is shown and returns at once; a newer notice
    // replaces the text of one still open.
    void notice(std::string_view text) override;
    bool confirm(std::string_view text, std::string_view title) override;
    std::optional<FileChoice> openFile(const FileDialogRequest& request) override;

private:
    QString titleOr(std::string_view title) const;

    QWidget* m_parent = nullptr;
    QPointer<QMessageBox> m_notice;
    // Each dialog opens where it was last left, as the two dialogs of the
    // window are separate controls.
    std::map<FileDialogId, QString> m_lastFolder;
};

// Passes everything on to another Dialogs and keeps the last file chosen with
// each dialog: the burn file reads whatever was picked last with CommonDialog,
// whichever page picked it.
//
// A modal dialog asked for while a transfer waits (a click on "Add" or "Open
// Firmware File" handled by one of its pumps) would stall the transfer until
// it is closed: while `transferWaiting` says so, it is refused with the same
// note as a second start, and the control does nothing.
class RememberingDialogs final : public Dialogs {
public:
    RememberingDialogs(Dialogs& inner, std::function<bool()> transferWaiting)
        : m_inner(inner), m_transferWaiting(std::move(transferWaiting)) {}

    void message(std::string_view text, std::string_view title) override {
        if (!refused())
            m_inner.message(text, title);
    }
    void notice(std::string_view text) override { m_inner.notice(text); }
    bool confirm(std::string_view text, std::string_view title) override {
        return !refused() && m_inner.confirm(text, title);
    }
    std::optional<FileChoice> openFile(const FileDialogRequest& request) override {
        if (refused())
            return std::nullopt;
        auto choice = m_inner.openFile(request);
        if (choice && !choice->fullPath.empty())
            m_last[request.dialog] = *choice;
        return choice;
    }

    // The file picked last with `dialog`; nothing before the first pick.
    std::optional<FileChoice> lastChoice(FileDialogId dialog) const {
        const auto it = m_last.find(dialog);
        if (it == m_last.end())
            return std::nullopt;
        return it->second;
    }

private:
    bool refused();

    Dialogs& m_inner;
    std::function<bool()> m_transferWaiting;
    std::map<FileDialogId, FileChoice> m_last;
};

class QtStatusLabel final : public StatusLabel {
public:
    explicit QtStatusLabel(QLabel* label) : m_label(label) {}
    void setCaption(std::string_view text) override;
    void setVisible(bool visible) override;

private:
    QLabel* m_label = nullptr;
};

class QtProgressBar final : public ProgressBar {
public:
    explicit QtProgressBar(QProgressBar* bar) : m_bar(bar) {}
    int value() const override;
    void setValue(int value) override;
    void setVisible(bool visible) override;

private:
    QProgressBar* m_bar = nullptr;
};

class QtEventPump final : public EventPump {
public:
    void processEvents() override;
    // Whether the events being handled came through processEvents(): a
    // transfer is waiting beneath them.
    bool pumping() const { return m_depth > 0; }

private:
    int m_depth = 0;
};

} // namespace ordalia::app
