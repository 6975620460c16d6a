#pragma once

#include "core/editors/GroupTable.h"
#include "core/editors/PartialReadGuard.h"
#include "core/project/ProjectState.h"
#include "gui/forms/Form.h"
#include "platform/Platform.h"

class QPushButton;

namespace tessaro {

class CellGrid;

// "Groups Setting": the cyclic time and mnemonic of up to ten groups, kept in Group.xml.
class TFGroup : public Form {
    Q_OBJECT
public:
    TFGroup(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);

    void FormShow() override { showGroups(); }
    void bitbtn1Click() { saveAndClose(); }
    bool CheckRows();
    // "Export": every row the grid holds, as it stands, to a CSV file or a workbook chosen through the seam.
    void bitbtn3Click() { exportGroups(); }
    // "Import": a groups table from a CSV file or a workbook into the grid, written only at OK.
    void bitbtn4Click() { importGroups(); }

private:
    void showGroups();
    void saveAndClose();
    void exportGroups();
    void importGroups();

    platform::Platform m_platform;
    const ProjectState& m_project;
    PartialReadGuard m_readGuard;

    CellGrid* m_grid;
    QPushButton* m_ok;
};

}  // namespace tessaro
