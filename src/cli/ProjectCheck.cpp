#include "cli/ProjectCheck.h"

#include <array>
#include <map>
#include <optional>

#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/documents/Paths.h"
#include "core/documents/XmlDocument.h"
#include "core/editors/FrameTable.h"
#include "core/editors/GroupTable.h"
#include "core/editors/PargenDocument.h"
#include "core/editors/RowRules.h"
#include "core/image/ConfigurationImage.h"
#include "core/map/ProjectMap.h"
#include "core/map/SignalAnalysis.h"

namespace tessaro::cli {

namespace {

// The findings of one document, and the reading of its values as the builder reads them.
class DocumentFindings {
public:
    DocumentFindings(std::string file, std::vector<Finding>& findings)
        : m_file(std::move(file)), m_findings(findings) {}

    void add(const std::string& place, Severity severity, std::string message) {
        m_findings.push_back({m_file, place, severity, std::move(message)});
    }

    // The attribute's text, or nothing (and the builder's failure) when it is absent.
    std::optional<std::string> text(const std::string& place, const XmlElement& row, std::string_view name,
                                    std::string_view wantedType) {
        if (const char* value = RowReader(row).find(name)) return value;
        add(place, Severity::error, nullConversionMessage(wantedType));
        return std::nullopt;
    }

    std::optional<std::int32_t> integer(const std::string& place, std::string_view text) {
        try {
            return toInteger(text);
        } catch (const Error& failure) {
            add(place, Severity::error, failure.what());
            return std::nullopt;
        }
    }

    std::optional<std::int32_t> integer(const std::string& place, const XmlElement& row, std::string_view name) {
        const std::optional<std::string> value = text(place, row, name, "Integer");
        return value ? integer(place, *value) : std::nullopt;
    }

    // Warns when the value does not fit in the field's bits as an unsigned number; true when it fits.
    bool fits(const std::string& place, const ImageField& field, std::int32_t value) {
        const std::string_view name = field.name;
        const auto bits = int(8 * field.width);
        const std::int64_t limit = std::int64_t(1) << bits;
        if (value >= 0 && value < limit) return true;
        const std::uint32_t stored = static_cast<std::uint32_t>(value) & std::uint32_t(limit - 1);
        add(place, Severity::warning,
            std::string(name) + " " + std::to_string(value) + " does not fit in its " + std::to_string(bits) +
                " bits: the image holds " + std::to_string(stored));
        return false;
    }

private:
    std::string m_file;
    std::vector<Finding>& m_findings;
};

struct LoadedDocument {
    bool present = false;
    std::optional<XmlDocument> document;  // nothing when missing or unreadable
};

class ProjectChecker {
public:
    explicit ProjectChecker(const std::string& folder) : m_folder(folder) {}

    std::vector<Finding> run() {
        std::vector<Finding> frames, definitions, groups, pargen, image;
        const LoadedDocument frameDocument = load(kFrameTableFileName, frames);
        const LoadedDocument definitionDocument = load(kDefinitionsFileName, definitions);
        const LoadedDocument groupDocument = load(kGroupFileName, groups);
        const LoadedDocument pargenDocument = load(kPargenFileName, pargen);

        const std::size_t groupCount = groupDocument.document ? rowsOf(groupDocument).size() : 0;
        std::optional<std::size_t> frameCount;
        if (frameDocument.document)
            frameCount = checkFrames(rowsOf(frameDocument), groupCount, frames);
        else if (!frameDocument.present)
            frameCount = 0;
        if (definitionDocument.document) checkDefinitions(rowsOf(definitionDocument), frameCount, definitions);
        if (groupDocument.document) checkGroups(rowsOf(groupDocument), groups);
        if (pargenDocument.document) checkPargen(*pargenDocument.document, pargen);

        const std::size_t needed = kHeaderSize + kFrameEntrySize * frameCount.value_or(0) +
                                   kDefinitionEntrySize * m_definitionsInImage + kGroupEntrySize * groupCount +
                                   (pargenDocument.present ? kGeneralBlockSize : 0);
        if (needed > kImageCapacity)
            image.push_back({imageFilePath(m_folder), "", Severity::error, imageTooLargeMessage(needed)});

        std::vector<Finding> all;
        for (auto* part : {&frames, &definitions, &groups, &pargen, &image})
            all.insert(all.end(), part->begin(), part->end());
        return all;
    }

private:
    std::string path(std::string_view name) const { return joinPath(m_folder, name); }

    LoadedDocument load(std::string_view name, std::vector<Finding>& findings) {
        LoadedDocument loaded;
        const std::string file = path(name);
        loaded.present = XmlDocument::exists(file);
        if (!loaded.present) return loaded;
        loaded.document.emplace();
        try {
            loaded.document->load(file);
        } catch (const Error& failure) {
            findings.push_back({file, "", Severity::error, failure.what()});
            loaded.document.reset();
        }
        return loaded;
    }

    static std::vector<XmlElement> rowsOf(const LoadedDocument& loaded) {
        return loaded.document->documentElement().children();
    }

    std::size_t checkFrames(const std::vector<XmlElement>& rows, std::size_t groupCount,
                            std::vector<Finding>& findings) {
        DocumentFindings out(path(kFrameTableFileName), findings);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const XmlElement& row = rows[i];
            const std::string place = std::to_string(i + 1);
            if (i == kFrameRows)
                out.add(place, Severity::warning,
                        "FrameJ1939.xml holds " + std::to_string(rows.size()) + " frames, more than the " +
                            std::to_string(kFrameRows) + " rows of the frame table");
            const auto priority = out.text(place, row, kFrameEntry.priority.name, "Integer");
            const auto dataPage = out.text(place, row, kFrameEntry.dataPage.name, "Integer");
            const auto pgn = out.text(place, row, kFrameEntry.pgn.name, "Integer");
            if (priority && dataPage && pgn)
                if (auto broken = checkFrameRow(int(i + 1), *priority, *dataPage, *pgn))
                    out.add(place, Severity::error, std::move(*broken));
            if (const auto group = out.integer(place, row, kFrameEntry.group.name))
                if (out.fits(place, kFrameEntry.group, *group) && std::size_t(*group) > groupCount)
                    out.add(place, Severity::warning,
                            "group " + std::to_string(*group) + " does not exist: Group.xml holds " +
                                std::to_string(groupCount) + (groupCount == 1 ? " group" : " groups"));
            if (const auto erase = out.text(place, row, kFrameEntry.erase.name, "String"))
                if (*erase != "Y" && *erase != "N" && !erase->empty()) {
                    const bool set = *erase == "y";
                    out.add(place, Severity::warning,
                            "Erase '" + *erase + "' is neither Y nor N: the image holds " + (set ? "1" : "0") +
                                (set ? ", while the frame table shows it cleared" : ""));
                }
        }
        return rows.size();
    }

    void checkDefinitions(const std::vector<XmlElement>& rows, std::optional<std::size_t> frameCount,
                          std::vector<Finding>& findings) {
        DocumentFindings out(path(kDefinitionsFileName), findings);
        // Per frame, the first row that maps each of the frame bytes B1 to B8.
        std::map<std::int32_t, std::array<std::size_t, 9>> mappedBy;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const XmlElement& row = rows[i];
            const std::size_t rowNumber = i + 1;
            const std::string place = std::to_string(rowNumber);
            const auto frame = out.integer(place, row, kDefinitionEntry.frame.name);
            if (!frame) continue;
            if (*frame < 1) {
                out.add(place, Severity::error, frameNumberBelowOneMessage(rowNumber, *frame));
                continue;
            }
            if (frameCount && std::size_t(*frame) > *frameCount) {
                out.add(place, Severity::warning,
                        "frame " + std::to_string(*frame) + " does not exist (FrameJ1939.xml holds " +
                            std::to_string(*frameCount) + (*frameCount == 1 ? " frame" : " frames") +
                            "): the definition is left out of the image");
                continue;
            }
            if (frameCount) ++m_definitionsInImage;
            out.fits(place, kDefinitionEntry.frame, *frame);
            const auto deviceId = out.text(place, row, kDefinitionEntry.deviceId.name, "Integer");
            const auto index = out.text(place, row, kDefinitionEntry.index.name, "Integer");
            if (deviceId && index)
                if (auto broken = checkDefinition(*index, *deviceId))
                    out.add(place, Severity::error, std::move(*broken));
            const auto registerCount = out.integer(place, row, kDefinitionEntry.registerCount.name);
            if (registerCount && out.fits(place, kDefinitionEntry.registerCount, *registerCount) && *registerCount > 7)
                out.add(
                    place, Severity::warning,
                    "Num_Reg " + std::to_string(*registerCount) + " is more than 7: a definition has at most 8 points");
            if (const auto kind = out.integer(place, row, kDefinitionEntry.typeReg.name))
                if (out.fits(place, kDefinitionEntry.typeReg, *kind) && *kind != 3 && *kind != 4)
                    out.add(place, Severity::warning,
                            "Type_Reg " + std::to_string(*kind) +
                                " is neither 3 (holding registers) nor 4 (input registers)");
            if (!registerCount) continue;
            const unsigned lastRead = static_cast<std::uint8_t>(*registerCount);
            auto& frameBytes = mappedBy[*frame];
            std::array<bool, 9> warned{};
            for (unsigned k = 0; k < 8 && k <= lastRead; ++k) {
                const ImageField& field = kDefinitionEntry.positions[k];
                const std::string name(field.name);
                const auto position = out.integer(place, row, field.name);
                if (!position || !out.fits(place, field, *position)) continue;
                for (const unsigned nibble : {unsigned(*position) >> 4, unsigned(*position) & 0x0F}) {
                    if (nibble > 8) {
                        out.add(place, Severity::warning,
                                name + " " + std::to_string(*position) + " holds the nibble " + std::to_string(nibble) +
                                    ", which names no frame byte (B1 to B8)");
                    } else if (nibble > 0) {
                        const std::size_t first = frameBytes[nibble];
                        if (first == 0) {
                            frameBytes[nibble] = rowNumber;
                        } else if (first != rowNumber && !warned[nibble]) {
                            warned[nibble] = true;
                            out.add(place, Severity::warning,
                                    "frame byte B" + std::to_string(nibble) + " of frame " + std::to_string(*frame) +
                                        " is already mapped by row " + std::to_string(first));
                        }
                    }
                }
            }
        }
    }

    void checkGroups(const std::vector<XmlElement>& rows, std::vector<Finding>& findings) {
        DocumentFindings out(path(kGroupFileName), findings);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string place = std::to_string(i + 1);
            if (i == kGroupRows)
                out.add(place, Severity::warning,
                        "Group.xml holds " + std::to_string(rows.size()) + " groups, more than the " +
                            std::to_string(kGroupRows) + " rows of the groups editor");
            if (const auto cyclicTime = out.text(place, rows[i], kGroupEntry.cyclicTime.name, "Integer"))
                if (auto broken = checkGroupRow(int(i + 1), *cyclicTime))
                    out.add(place, Severity::error, std::move(*broken));
        }
    }

    void checkPargen(const XmlDocument& document, std::vector<Finding>& findings) {
        DocumentFindings out(path(kPargenFileName), findings);
        const std::optional<XmlElement> root = document.findTopLevel(kPargenRoot);
        if (!root) {
            out.add("", Severity::error, missingGeneralParameterMessage());
            return;
        }
        struct ListRule {
            std::string_view element;
            std::int32_t last;
            const char* list;
        };
        const ListRule lists[] = {{"BR_CAN", std::int32_t(kCanBaudRates.size()) - 1, "the J1939 baud-rate list"},
                                  {"Select_Ser", 1, "0 (RS485) and 1 (RS232)"},
                                  {"Baud_Ser", std::int32_t(kRtuBaudRates.size()) - 1, "the Modbus baud-rate list"},
                                  {"Par_Ser", std::int32_t(kParities.size()) - 1, "the parity list"},
                                  {"Stop_Ser", std::int32_t(kStopBits.size()) - 1, "the stop-bit list"}};
        for (const std::string_view name : kPargenElements) {
            const std::string place(name);
            const std::optional<XmlElement> element = root->findChild(name);
            if (!element) {
                out.add(place, Severity::error, missingPargenElementMessage(name));
                continue;
            }
            const auto value = out.integer(place, element->text());
            if (!value) continue;
            for (const ListRule& rule : lists)
                if (rule.element == name && (*value < 0 || *value > rule.last))
                    out.add(place, Severity::warning,
                            place + " " + std::to_string(*value) + " is not among " + rule.list + " (0 to " +
                                std::to_string(rule.last) + ")");
        }
        if (const std::optional<PargenSettings> settings = readPargen(path(kPargenFileName)).content)
            if (auto broken = validatePargen(*settings)) out.add("", Severity::error, std::move(*broken));
    }

    std::string m_folder;
    std::size_t m_definitionsInImage = 0;
};

}  // namespace

namespace {

void checkSignals(const std::string& projectFolder, const std::string& databasePath, std::vector<Finding>& findings) {
    const SignalDatabase database = loadSignalDatabase(databasePath);
    for (const DatabaseNote& note : database.malformed)
        findings.push_back({databasePath, std::to_string(note.line), Severity::warning, note.text});
    std::optional<ProjectMap> map;
    try {
        map = buildProjectMap(projectFolder);
    } catch (const Error&) {
        // The documents' own findings say why; without a map there are no bytes to look at.
        return;
    }
    const std::string definitions = joinPath(projectFolder, kDefinitionsFileName);
    for (const FrameMap& frame : map->frames)
        for (const SignalFinding& finding : analyseFrameSignals(database, frame).findings)
            if (finding.kind != SignalFindingKind::uncoveredByte)
                findings.push_back(
                    {definitions, std::to_string(finding.definitionRow), Severity::warning, finding.message});
}

}  // namespace

std::vector<Finding> checkProject(const std::string& projectFolder, const std::string& toolFolder,
                                  const std::optional<std::string>& databaseFile) {
    std::vector<Finding> findings = ProjectChecker(projectFolder).run();
    const std::optional<std::string> database =
        databaseFile ? databaseFile : signalDatabasePath(projectFolder, toolFolder);
    if (database) checkSignals(projectFolder, *database, findings);
    return findings;
}

std::string formatFinding(const Finding& finding) {
    std::string line = finding.file;
    if (!finding.place.empty()) line += ":" + finding.place;
    line += finding.severity == Severity::error ? ": error: " : ": warning: ";
    return line + finding.message;
}

}  // namespace tessaro::cli
