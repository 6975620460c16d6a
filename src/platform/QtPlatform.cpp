#include "platform/QtPlatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>

#include "project/ProjectState.h"
#include "documents/Errors.h"
#include "platform/FolderBrowserDialog.h"

namespace tessaro::platform {

QFont toolFont() {
    if (QFontDatabase::families().contains(QStringLiteral("Verdana"))) return QFont(QStringLiteral("Verdana"), 8);
    QFont sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    sans.setPointSize(8);
    return sans;
}

QLabel* placedLabel(QWidget* parent, const QString& text, int left, int top, bool bold) {
    auto* label = new QLabel(text, parent);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    label->move(left, top);
    label->adjustSize();
    return label;
}

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

UserInputBlock::UserInputBlock() {
    QCoreApplication::instance()->installEventFilter(this);
}

UserInputBlock::~UserInputBlock() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool UserInputBlock::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
        case QEvent::Close:
            event->ignore();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

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

void QtShell::open(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

}  // namespace tessaro::platform
