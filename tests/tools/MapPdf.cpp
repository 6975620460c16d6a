// Writes the printable sheet of "Project Map" for a project folder, as "Save PDF" does, for the user guide:
//   tessaro_map_pdf PROJECT_DIR OUTPUT.pdf [PROJECT_NAME] [DATE]
#include <QDate>
#include <QGuiApplication>
#include <cstdio>

#include "core/documents/Errors.h"
#include "core/map/ProjectMap.h"
#include "core/map/SignalAnalysis.h"
#include "gui/map/UProjectMap.h"

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc < 3) return 2;
    try {
        // With the project's own signal database, as the dialog reads it.
        const tessaro::ProjectMap map = tessaro::buildAnnotatedProjectMap(argv[1], {});
        tessaro::writeProjectMapPdf(
            QString::fromLocal8Bit(argv[2]), map,
            argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("project"),
            argc > 4 ? QString::fromLocal8Bit(argv[4]) : QDate::currentDate().toString(Qt::ISODate));
    } catch (const tessaro::Error& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
