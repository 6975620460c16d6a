#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "core/map/ProjectMap.h"
#include "core/project/ProjectState.h"
#include "gui/forms/Form.h"
#include "platform/Platform.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace tessaro {

// "Project Map": read-only, the frames' bytes as a grid, the slaves' polling list and every finding, built from the
// stored documents at every show; "Export" writes the CSV of tessaro-cli map, "Save PDF" a printable sheet of them,
// made off the window's thread while a progress dialog offers Cancel.
class TFProjectMap : public Form {
    Q_OBJECT
public:
    TFProjectMap(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);

    void FormShow() override { showMap(); }
    void ExportClick() { exportMap(); }
    void SavePdfClick() { saveMapPdf(); }

    // The map of the last show; nothing when its documents could not be read.
    const ProjectMap* map() const { return m_map.get(); }

private:
    void showMap();
    void exportMap();
    void saveMapPdf();
    // The file the user names, starting in the project folder; nothing on cancel.
    std::optional<QString> chooseFile(const QString& title, const char* fileName, const QString& filter);

    platform::Platform m_platform;
    const ProjectState& m_project;
    // Shared with Save PDF's thread, which reads it while the window goes on.
    std::shared_ptr<const ProjectMap> m_map;

    QTableWidget* m_frames = nullptr;
    QTableWidget* m_polling = nullptr;
    QLabel* m_signalsTitle = nullptr;
    QTableWidget* m_signals = nullptr;
    QTableWidget* m_findings = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_close = nullptr;
};

// The printable sheet (projectMapPdf) written to path at once. Throws tessaro::Error when the file cannot be
// written.
void writeProjectMapPdf(const QString& path, const ProjectMap& map, const QString& projectName, const QString& date);

}  // namespace tessaro
