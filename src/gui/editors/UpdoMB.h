#pragma once

#include <string>
#include <vector>

#include "core/editors/FrameTable.h"
#include "core/editors/PartialReadGuard.h"
#include "core/project/ProjectState.h"
#include "gui/forms/Form.h"
#include "platform/Platform.h"

class QPushButton;

namespace tessaro {

class CellGrid;
class ChoiceDelegate;

// "J1939 Frame": the frames the gateway handles, kept in FrameJ1939.xml; groups are named from Group.xml.
class TFpdoMB : public Form {
    Q_OBJECT
public:
    TFpdoMB(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);

    void FormShow() override { showFrames(); }
    void BitBtn1Click() { saveAndClose(); }
    bool CheckRows();
    std::int32_t GroupIndexOf(const QString& cellText) const;
    // "Export": every row the grid holds, as it stands, to a CSV file or a workbook chosen through the seam.
    void BitBtn3Click() { exportFrames(); }
    // "Import": a frames table from a CSV file or a workbook into the grid, written only at OK.
    void BitBtn4Click() { importFrames(); }
    // A click on the Erase Data check box of grid row row (1 to 250).
    void EraseDataClick(int row) { toggleErase(row); }

    // Rebuilt at every show: index 0 "On Request", then groups 1 to 10.
    const std::vector<std::string>& GroupCaptions() const { return m_groupCaptions; }

private:
    void showFrames();
    void saveAndClose();
    void exportFrames();
    void importFrames();
    void toggleErase(int row);

    platform::Platform m_platform;
    const ProjectState& m_project;
    PartialReadGuard m_readGuard;
    std::vector<std::string> m_groupCaptions;
    bool m_imported = false;  // the grid holds a file's table since the show

    CellGrid* m_grid;
    ChoiceDelegate* m_groups;
    QPushButton* m_ok;
};

}  // namespace tessaro
