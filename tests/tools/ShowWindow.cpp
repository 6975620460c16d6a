// Shows the main window over a tool folder and, optionally, one of its dialogs by object name, for a screenshot:
//   tessaro_show TOOL_FOLDER [DIALOG_OBJECT_NAME] [MILLISECONDS] [LIST_OBJECT_NAME=ROW | EDIT_OBJECT_NAME=TEXT |
//                BUTTON_OBJECT_NAME | GRID_OBJECT_NAME=ROW,COLUMN | paste=FILE | chosen=FILE ...]
// In the order given, each LIST_OBJECT_NAME=ROW selects that row of the dialog's list, each EDIT_OBJECT_NAME=TEXT
// types the text into the field, each BUTTON_OBJECT_NAME clicks the button, as the user would; a grid's
// GRID_OBJECT_NAME=ROW,COLUMN makes that cell (from 0) current, paste=FILE puts the file's text on the
// clipboard and presses Ctrl+V in the dialog's grid, and chosen=FILE is the file the next file chooser gives, as if
// the user had chosen it there. A message box that a click opens is shown until the time is up.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QTimer>
#include <memory>
#include <optional>
#include <utility>

#include "gui/app/ApplicationIcon.h"
#include "gui/app/UTessaroFirmWare.h"
#include "gui/forms/Form.h"
#include "platform/FolderBrowserDialog.h"
#include "platform/QtPlatform.h"

namespace {

// The files the user would choose: the next one given, else the real chooser.
class ChosenFiles : public tessaro::platform::QtFileChooser {
public:
    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                                          const QString& filter) override {
        return next() ? std::exchange(m_next, std::nullopt)
                      : QtFileChooser::chooseSaveFile(parent, title, start, filter);
    }
    std::optional<QString> chooseOpenFile(QWidget* parent, const QString& title, const QString& start,
                                          const QString& filter) override {
        return next() ? std::exchange(m_next, std::nullopt)
                      : QtFileChooser::chooseOpenFile(parent, title, start, filter);
    }
    void choose(const QString& file) { m_next = file; }

private:
    bool next() const { return m_next.has_value(); }
    std::optional<QString> m_next;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tessaro::platform::kApplicationTitle));
    QApplication::setFont(tessaro::toolFont());
    QApplication::setWindowIcon(tessaro::applicationIcon());
    if (argc < 2) return 2;
    tessaro::platform::QtPlatform adapters(QString::fromLocal8Bit(argv[1]));
    ChosenFiles files;
    tessaro::platform::Platform platform = adapters.platform();
    tessaro::platform::Platform shown{platform.messages,
                                      platform.dialogs,
                                      platform.folders,
                                      platform.shell,
                                      platform.serialPort,
                                      platform.launcher,
                                      files,
                                      platform.instanceLock};
    tessaro::TFTessaroFirmWare window(shown, QString::fromLocal8Bit(argv[1]));
    // Started first, so that a message box a click opens ends with the time too.
    bool timeUp = false;
    QTimer::singleShot(argc > 3 ? std::atoi(argv[3]) : 3000, &application, [&timeUp] {
        timeUp = true;
        // Ends a message box's loop as well as the application's.
        QApplication::exit(0);
    });
    window.createWindows();
    window.show();
    std::unique_ptr<tessaro::platform::FolderBrowserDialog> browser;
    if (argc > 2 && QString::fromLocal8Bit(argv[2]) == QLatin1String("browser")) {
        const auto& project = window.project();
        browser = std::make_unique<tessaro::platform::FolderBrowserDialog>(
            &window, QStringLiteral("Select directory of project"), QString::fromStdString(project.projectsFolder),
            QString::fromStdString(project.projectFolder));
        browser->show();
    } else if (argc > 2 && *argv[2]) {
        auto* dialog = window.findChild<QDialog*>(QString::fromLocal8Bit(argv[2]));
        if (!dialog) return 3;
        dialog->show();
        dialog->activateWindow();
        for (int i = 4; i < argc; ++i) {
            const QString word = QString::fromLocal8Bit(argv[i]);
            const qsizetype equals = word.indexOf(QLatin1Char('='));
            if (equals < 0) {
                auto* button = dialog->findChild<QAbstractButton*>(word);
                if (!button) return 4;
                button->click();
                continue;
            }
            const QString name = word.left(equals), value = word.mid(equals + 1);
            auto* grid = dialog->findChild<QTableWidget*>(QStringLiteral("sgA"));
            if (name == QLatin1String("chosen")) {
                files.choose(value);
            } else if (name == QLatin1String("paste")) {
                QFile text(value);
                if (!grid || !text.open(QIODevice::ReadOnly)) return 4;
                QGuiApplication::clipboard()->setText(QString::fromUtf8(text.readAll()));
                QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
                QApplication::sendEvent(grid, &paste);
            } else if (grid && name == grid->objectName()) {
                const QStringList cell = value.split(QLatin1Char(','));
                if (cell.size() != 2) return 4;
                grid->setFocus();
                grid->setCurrentCell(cell[0].toInt(), cell[1].toInt());
            } else if (auto* list = dialog->findChild<QListWidget*>(name)) {
                list->setCurrentRow(value.toInt());
            } else if (auto* field = dialog->findChild<QLineEdit*>(name)) {
                field->setText(value);
            } else {
                return 4;
            }
        }
    }
    if (timeUp) return 0;
    return QApplication::exec();
}
