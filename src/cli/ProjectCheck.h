#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaro::cli {

enum class Severity { error, warning };

// One finding about a stored document. An empty place stands for the document as a whole; otherwise it is the
// row number (from 1) of a table document or the element name in pargen.xml.
struct Finding {
    std::string file;
    std::string place;
    Severity severity = Severity::error;
    std::string message;

    bool operator==(const Finding&) const = default;
};

// Applies the editors' rules at OK to the documents of the project folder, and reports the build's failures and
// what the build would leave out or cut. Errors: what an editor would refuse or what stops the build. Warnings:
// what the build drops, cuts to its field's width, or maps twice, and values outside the editors' choices. With a
// signal database (the file given, else signals.dbc in the project or the tool folder), also warnings for the
// signals that are swapped, partly fed or not one value, placed at the definition that feeds them, and for the
// database's malformed lines, placed at their line. Throws tessaro::Error when the database cannot be read.
std::vector<Finding> checkProject(const std::string& projectFolder, const std::string& toolFolder = {},
                                  const std::optional<std::string>& databaseFile = std::nullopt);

// "FILE:ROW: error: MESSAGE" (or "FILE: warning: MESSAGE" for the document as a whole).
std::string formatFinding(const Finding& finding);

}  // namespace tessaro::cli
