#pragma once

#include "editors/GroupTable.h"
#include "editors/PartialReadGuard.h"
#include "forms/Form.h"
#include "platform/Platform.h"
#include "project/ProjectState.h"

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

private:
    void showGroups();
    void saveAndClose();

    platform::Platform m_platform;
    const ProjectState& m_project;
    PartialReadGuard m_readGuard;

    CellGrid* m_grid;
    QPushButton* m_ok;
};

}  // namespace tessaro
