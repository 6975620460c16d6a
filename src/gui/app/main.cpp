#include <QApplication>

#include "gui/app/ApplicationIcon.h"
#include "gui/app/UTessaroFirmWare.h"
#include "gui/forms/Form.h"
#include "platform/QtPlatform.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tessaro::platform::kApplicationTitle));
    QApplication::setFont(tessaro::toolFont());
    QApplication::setWindowIcon(tessaro::applicationIcon());

    const QString toolFolder = QCoreApplication::applicationDirPath();
    tessaro::platform::QtPlatform adapters(toolFolder);
    tessaro::TFTessaroFirmWare mainWindow(adapters.platform(), toolFolder);
    mainWindow.createWindows();
    mainWindow.show();
    return QApplication::exec();
}
