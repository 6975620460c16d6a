#pragma once

#include <optional>
#include <string>

#include "core/exchange/ExchangeTables.h"
#include "platform/Platform.h"

class QWidget;

namespace tessaro {

// The file choosers of the editors' Export and Import: a CSV file or a workbook, starting in the project folder.

// The file to read a table from, or nothing when the user gives up.
std::optional<std::string> chooseTableToRead(platform::Platform& platform, QWidget* parent, TableKind kind,
                                             const std::string& projectFolder);
// The file to write a table to, suggested as frames.csv (and so on) in the project folder; a name chosen without an
// extension gets ".csv".
std::optional<std::string> chooseTableToWrite(platform::Platform& platform, QWidget* parent, TableKind kind,
                                              const std::string& projectFolder);

// Export: writes the rows to the chosen file, CSV or a workbook by its name; a failure goes to the standard error
// box. Nothing happens when no file is chosen.
void exportTableChosen(platform::Platform& platform, QWidget* parent, TableKind kind, const std::string& projectFolder,
                       const TextRows& rows);

}  // namespace tessaro
