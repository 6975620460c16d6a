// Shows the main window over a tool folder and, optionally, one of its dialogs by object name, for a screenshot:
//   tessaro_show TOOL_FOLDER [DIALOG_OBJECT_NAME] [MILLISECONDS] [LIST_OBJECT_NAME=ROW | EDIT_OBJECT_NAME=TEXT |
//                BUTTON_OBJECT_NAME | GRID_OBJECT_NAME=ROW,COLUMN | paste=FILE ...]
// In the order given, each LIST_OBJECT_NAME=ROW selects that row of the dialog's list, each EDIT_OBJECT_NAME=TEXT
// types the text into the field, each BUTTON_OBJECT_NAME clicks the button, as the user would; a grid's
// GRID_OBJECT_NAME=ROW,COLUMN makes that cell (from 0) current, and paste=FILE puts the file's text on the
// clipboard and presses Ctrl+V in the dialog's grid.
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

#include "app/ApplicationIcon.h"
#include "app/UTessaroFirmWare.h"
#include "forms/Form.h"
#include "platform/FolderBrowserDialog.h"
#include "platform/QtPlatform.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tessaro::platform::kApplicationTitle));
    QApplication::setFont(tessaro::toolFont());
    QApplication::setWindowIcon(tessaro::applicationIcon());
    if (argc < 2) return 2;
    tessaro::platform::QtPlatform adapters(QString::fromLocal8Bit(argv[1]));
    tessaro::TFTessaroFirmWare window(adapters.platform(), QString::fromLocal8Bit(argv[1]));
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
            if (name == QLatin1String("paste")) {
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
    QTimer::singleShot(argc > 3 ? std::atoi(argv[3]) : 3000, &application, &QApplication::quit);
    return QApplication::exec();
}
