#include "app/qt_ui.h"

#include "link/transfer_gate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QStringList>
#include <algorithm>

namespace ordalia::app {

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Ordalia"));
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toStdString(const QString& text) {
    return text.toUtf8().toStdString();
}

namespace {

// "*.CP" -> "*.CP *.cp"; "*.firm" -> "*.firm *.FIRM".
QString bothCases(const QString& patterns) {
    QStringList out;
    for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        for (const QString& variant : {p.trimmed(), p.trimmed().toLower(), p.trimmed().toUpper()})
            if (!variant.isEmpty() && !out.contains(variant))
                out << variant;
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

QString qtFileFilter(std::string_view filter) {
    const QStringList parts = toQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        // The shown name often carries its own pattern in parentheses; Qt
        // reads the pattern from there, so it is replaced by the real one.
        const qsizetype open = name.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && name.endsWith(QLatin1Char(')')))
            name = name.left(open).trimmed();
        const QString patterns = bothCases(parts[i + 1]);
        filters << (name.isEmpty() ? QStringLiteral("(%1)").arg(patterns)
                                   : QStringLiteral("%1 (%2)").arg(name, patterns));
    }
    if (filters.isEmpty())
        filters << QStringLiteral("(*)");
    return filters.join(QStringLiteral(";;"));
}

QString QtDialogs::titleOr(std::string_view title) const {
    return title.empty() ? QGuiApplication::applicationDisplayName() : toQString(title);
}

void QtDialogs::message(std::string_view text, std::string_view title) {
    QMessageBox box(QMessageBox::NoIcon, titleOr(title), toQString(text), QMessageBox::Ok,
                    m_parent);
    box.exec();
}

void QtDialogs::notice(std::string_view text) {
    if (!m_notice) {
        m_notice =
            new QMessageBox(QMessageBox::NoIcon, titleOr({}), QString(), QMessageBox::Ok, m_parent);
        m_notice->setAttribute(Qt::WA_DeleteOnClose);
        // A message box is modal unless told otherwise.
        m_notice->setModal(false);
    }
    m_notice->setText(toQString(text));
    m_notice->show();
    m_notice->raise();
}

bool QtDialogs::confirm(std::string_view text, std::string_view title) {
    QMessageBox box(QMessageBox::NoIcon, titleOr(title), toQString(text),
                    QMessageBox::Ok | QMessageBox::Cancel, m_parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

std::optional<FileChoice> QtDialogs::openFile(const FileDialogRequest& request) {
    QString folder = request.initialFolder.empty()
                         ? m_lastFolder[request.dialog]
                         : QString::fromStdU16String(request.initialFolder.u16string());
    const QString chosen =
        QFileDialog::getOpenFileName(m_parent, QString(), folder, qtFileFilter(request.filter));
    if (chosen.isEmpty())
        return std::nullopt;
    const QFileInfo info(chosen);
    m_lastFolder[request.dialog] = info.absolutePath();
    FileChoice choice;
    choice.fullPath = std::filesystem::path(QDir::toNativeSeparators(chosen).toStdU16String());
    choice.name = toStdString(info.fileName());
    return choice;
}

void QtStatusLabel::setCaption(std::string_view text) {
    m_label->setText(toQString(text));
}

void QtStatusLabel::setVisible(bool visible) {
    m_label->setVisible(visible);
}

int QtProgressBar::value() const {
    return std::max(m_bar->value(), 0);
}

void QtProgressBar::setValue(int value) {
    m_bar->setValue(std::clamp(value, 0, 100));
}

void QtProgressBar::setVisible(bool visible) {
    m_bar->setVisible(visible);
}

void QtEventPump::processEvents() {
    ++m_depth;
    QCoreApplication::processEvents();
    --m_depth;
}

bool RememberingDialogs::refused() {
    if (!m_transferWaiting || !m_transferWaiting())
        return false;
    m_inner.notice(kTransferBusyMessage);
    return true;
}

} // namespace ordalia::app
