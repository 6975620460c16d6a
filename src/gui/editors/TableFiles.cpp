#include "gui/editors/TableFiles.h"

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/exchange/ProjectExchange.h"
#include "core/project/ProjectState.h"
#include "gui/forms/Form.h"

namespace tessaro {

namespace {

const QString kFilter = QStringLiteral("Tables (*.csv *.xlsx);;CSV (*.csv);;Workbook (*.xlsx);;All files (*)");

QString titleOf(const char* verb, TableKind kind) {
    return QStringLiteral("%1 %2").arg(QLatin1String(verb), toQt(tableName(kind)));
}

}  // namespace

std::optional<std::string> chooseTableToRead(platform::Platform& platform, QWidget* parent, TableKind kind,
                                             const std::string& projectFolder) {
    const std::optional<QString> chosen =
        platform.files.chooseOpenFile(parent, titleOf("Import", kind), toQt(projectFolder), kFilter);
    if (!chosen) return std::nullopt;
    return fromQt(*chosen);
}

std::optional<std::string> chooseTableToWrite(platform::Platform& platform, QWidget* parent, TableKind kind,
                                              const std::string& projectFolder) {
    const std::string suggested = joinPath(projectFolder, std::string(tableName(kind)) + ".csv");
    const std::optional<QString> chosen =
        platform.files.chooseSaveFile(parent, titleOf("Export", kind), toQt(suggested), kFilter);
    if (!chosen) return std::nullopt;
    std::string path = fromQt(*chosen);
    // A name typed without an extension gets the CSV one.
    if (path.find('.', path.find_last_of('/') + 1) == std::string::npos) path += ".csv";
    return path;
}

void exportTableChosen(platform::Platform& platform, QWidget* parent, TableKind kind, const std::string& projectFolder,
                       const TextRows& rows) {
    const std::optional<std::string> path = chooseTableToWrite(platform, parent, kind, projectFolder);
    if (!path) return;
    try {
        replaceFile(*path, tableFileBytes(kind, rows, *path));
    } catch (const Error& failure) {
        platform.messages.standardError(toQt(failure.what()));
    }
}

}  // namespace tessaro
