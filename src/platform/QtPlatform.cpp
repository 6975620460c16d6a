#include "platform/QtPlatform.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "core/documents/Errors.h"
#include "core/project/ProjectState.h"
#include "platform/FolderBrowserDialog.h"

namespace tessaro::platform {

namespace {

void showBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    box.exec();
}

}  // namespace

void QtMessages::plain(const QString& text) {
    showBox(QMessageBox::NoIcon, kApplicationTitle, text);
}

void QtMessages::error(const QString& text) {
    showBox(QMessageBox::Critical, QStringLiteral("Error"), text);
}

void QtMessages::standardError(const QString& text) {
    showBox(QMessageBox::Critical, kApplicationTitle,
            QString::fromStdString(tessaro::standardErrorText(text.toStdString())));
}

QtPlatform::QtPlatform(const QString& toolFolder)
    : serialPort(settingsMapping(settingsFileIn(toolFolder.toStdString()))) {}

int QtDialogRunner::runModal(QDialog& dialog) {
    return dialog.exec();
}

std::optional<QString> QtFolderBrowser::chooseFolder(QWidget* parent, const QString& title, const QString& root,
                                                     const QString& start) {
    FolderBrowserDialog browser(parent, title, root, start);
    if (browser.exec() != QDialog::Accepted || browser.chosenFolder().isEmpty()) return std::nullopt;
    return browser.chosenFolder();
}

std::optional<QString> QtFileChooser::chooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                                                     const QString& filter) {
    const QString chosen = QFileDialog::getSaveFileName(parent, title, start, filter);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

std::optional<QString> QtFileChooser::chooseOpenFile(QWidget* parent, const QString& title, const QString& start,
                                                     const QString& filter) {
    const QString chosen = QFileDialog::getOpenFileName(parent, title, start, filter);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

void QtShell::open(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

}  // namespace tessaro::platform
