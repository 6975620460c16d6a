#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include <QDialog>

#include "project/ProjectState.h"
#include "editors/FrameTable.h"
#include "editors/PartialReadGuard.h"
#include "platform/Platform.h"

class QPushButton;
class QTableWidget;

namespace tessaro {

class ChoiceDelegate;

// "J1939 Frame": the frames the gateway handles, kept in FrameJ1939.xml; groups are named from Group.xml.
class TFpdoMB : public QDialog {
    Q_OBJECT
public:
    TFpdoMB(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);

    void FormShow();
    void BitBtn1Click();
    bool CheckRows();
    std::int32_t GroupIndexOf(const QString& cellText) const;
    // A click on the Erase Data check box of grid row row (1 to 250).
    void EraseDataClick(int row);

    // Rebuilt at every show: index 0 "On Request", then groups 1 to 10.
    const std::vector<std::string>& GroupCaptions() const { return m_groupCaptions; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    platform::Platform m_platform;
    const ProjectState& m_project;
    PartialReadGuard m_readGuard;
    std::vector<std::string> m_groupCaptions;

    QTableWidget* m_grid;
    ChoiceDelegate* m_groups;
    QPushButton* m_ok;
};

}  // namespace tessaro
