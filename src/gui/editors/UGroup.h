#pragma once

#include <QDialog>

#include "project/ProjectState.h"
#include "editors/GroupTable.h"
#include "editors/PartialReadGuard.h"
#include "platform/Platform.h"

class QPushButton;
class QTableWidget;

namespace tessaro {

// "Groups Setting": the cyclic time and mnemonic of up to ten groups, kept in Group.xml.
class TFGroup : public QDialog {
    Q_OBJECT
public:
    TFGroup(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);

    void FormShow();
    void bitbtn1Click();
    bool CheckRows();

protected:
    void showEvent(QShowEvent* event) override;

private:
    platform::Platform m_platform;
    const ProjectState& m_project;
    PartialReadGuard m_readGuard;

    QTableWidget* m_grid;
    QPushButton* m_ok;
};

}  // namespace tessaro
