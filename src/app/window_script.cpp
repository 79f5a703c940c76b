#include "app/window_script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>
#include <QWidget>

namespace ordalia::app {
namespace {

// How often the script looks for message boxes to accept and sees the window
// process its events; the gaps it measures are this fine.
constexpr int kWatchMs = 5;
// How long a message box stays up before the script accepts it.
constexpr int kReadMs = 150;

} // namespace

std::filesystem::path WindowScript::fromEnvironment() {
    const QString script = qEnvironmentVariable("ORDALIA_WINDOW_SCRIPT");
    return std::filesystem::path(script.toStdU16String());
}

WindowScript::WindowScript(const std::filesystem::path& script) {
    QFile file(QString::fromStdU16String(script.u16string()));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            const QString step = line.trimmed();
            if (!step.isEmpty() && !step.startsWith(QLatin1Char('#')))
                m_steps.push_back(step);
        }
    }
    std::filesystem::path logPath = script;
    logPath += ".log";
    m_log.open(logPath, std::ios::binary | std::ios::trunc);
    if (!file.isOpen())
        log(QStringLiteral("error: cannot read the script"));
    m_watch.setInterval(kWatchMs);
    connect(&m_watch, &QTimer::timeout, this, &WindowScript::watch);
}

void WindowScript::log(const QString& line) {
    m_log << line.toUtf8().toStdString() << '\n';
    m_log.flush();
}

void WindowScript::start(QWidget& window) {
    m_window = &window;
    m_lastWatch.start();
    m_watch.start();
    QTimer::singleShot(0, this, &WindowScript::next);
}

void WindowScript::watch() {
    if (m_click.isValid() && m_dialogs.m_open == 0)
        m_longestGap = std::max(m_longestGap, m_lastWatch.elapsed());
    m_lastWatch.restart();
    // A box that is up is read, then accepted.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible())
            continue;
        const QVariant shownAt = box->property("ordaliaShownAt");
        if (!shownAt.isValid()) {
            box->setProperty("ordaliaShownAt", sinceClick());
            continue;
        }
        if (sinceClick() - shownAt.toLongLong() >= kReadMs || !m_click.isValid())
            if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                ok->click();
    }
}

void WindowScript::next() {
    while (!m_steps.empty()) {
        const QString step = m_steps.front();
        m_steps.pop_front();
        const QStringList words = step.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        log(step);
        if (!runStep(words))
            log(QStringLiteral("error: cannot run \"%1\"").arg(step));
        if (words.value(0) == QLatin1String("click")) {
            // The next step after the window has caught up with the click.
            QTimer::singleShot(50, this, &WindowScript::next);
            return;
        }
    }
}

bool WindowScript::runStep(const QStringList& words) {
    const QString verb = words.value(0);
    const QString name = words.value(1);
    const QString value = words.mid(2).join(QLatin1Char(' '));
    if (verb == QLatin1String("title")) {
        log(QStringLiteral("title: ") + m_window->windowTitle());
        return true;
    }
    if (verb == QLatin1String("quit")) {
        m_window->close();
        return true;
    }
    if (verb == QLatin1String("file")) {
        m_files.push_back(
            std::filesystem::path(words.mid(1).join(QLatin1Char(' ')).toStdU16String()));
        return true;
    }
    QWidget* widget = m_window->findChild<QWidget*>(name);
    if (!widget)
        return false;
    if (verb == QLatin1String("show")) {
        QString shown;
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            shown = combo->currentText();
        else if (auto* edit = qobject_cast<QLineEdit*>(widget))
            shown = edit->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            shown = button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        log(QStringLiteral("%1: %2").arg(name, shown));
        return true;
    }
    if (verb == QLatin1String("set")) {
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            const int index = combo->findText(value);
            if (index >= 0)
                combo->setCurrentIndex(index);
            else if (combo->isEditable())
                combo->setEditText(value);
            else
                return false;
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            edit->setText(value);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->setChecked(value == QLatin1String("1"));
        } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
            tabs->setCurrentIndex(value.toInt());
        } else {
            return false;
        }
        return true;
    }
    if (verb == QLatin1String("click")) {
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if (!button)
            return false;
        m_longestGap = 0;
        m_click.start();
        m_lastWatch.restart();
        button->click();
        log(QStringLiteral("done %1 after %2 ms, longest gap %3 ms")
                .arg(name)
                .arg(m_click.elapsed())
                .arg(m_longestGap));
        m_click.invalidate();
        return true;
    }
    return false;
}

void WindowScript::ScriptedDialogs::message(std::string_view text, std::string_view title) {
    m_script.log(QStringLiteral("%1 ms message: %2")
                     .arg(m_script.sinceClick())
                     .arg(toQString(text).replace(QLatin1Char('\n'), QLatin1String("\\n"))));
    const ShownBox shown(*this);
    m_real.message(text, title);
}

void WindowScript::ScriptedDialogs::notice(std::string_view text) {
    m_script.log(
        QStringLiteral("%1 ms notice: %2").arg(m_script.sinceClick()).arg(toQString(text)));
    m_real.notice(text);
}

bool WindowScript::ScriptedDialogs::confirm(std::string_view text, std::string_view title) {
    m_script.log(
        QStringLiteral("%1 ms confirm: %2").arg(m_script.sinceClick()).arg(toQString(text)));
    const ShownBox shown(*this);
    return m_real.confirm(text, title);
}

std::optional<FileChoice>
WindowScript::ScriptedDialogs::openFile(const FileDialogRequest& request) {
    if (m_script.m_files.empty()) {
        m_script.log(QStringLiteral("error: an open-file dialog (%1) and no file given")
                         .arg(toQString(request.filter)));
        return std::nullopt;
    }
    FileChoice choice;
    choice.fullPath = m_script.m_files.front();
    m_script.m_files.pop_front();
    choice.name = toStdString(QString::fromStdU16String(choice.fullPath.filename().u16string()));
    m_script.log(QStringLiteral("file: ") + QString::fromStdU16String(choice.fullPath.u16string()));
    return choice;
}

} // namespace ordalia::app
