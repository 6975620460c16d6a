#pragma once

#include <QString>

#include "core/project/ProjectState.h"
#include "gui/forms/Form.h"
#include "platform/Platform.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaro {

// "New project": asks for a name, creates the project folder and its bin folder below the destination folder and
// makes it the current project.
class TFsaveproj : public Form {
    Q_OBJECT
public:
    TFsaveproj(platform::Platform platform, ProjectState& project, QWidget* parent = nullptr);

    // Set by the main window before every show (the PROJECTS folder).
    void setDestinationFolder(const std::string& folder) { m_destinationFolder = folder; }
    const std::string& destinationFolder() const { return m_destinationFolder; }
    const std::string& enteredName() const { return m_enteredName; }

    void FormCreate() { forgetEntries(); }
    void FormShow() override { startEmpty(); }
    void BitBtn1Click() { createAndClose(); }
    void BitBtn2Click() { cancel(); }
    // Whether a request to close the dialog is granted.
    bool FormCloseQuery() const { return m_closePermission; }

    // Escape and the window's close ask to close as Cancel does.
    void reject() override { BitBtn2Click(); }

private:
    void forgetEntries();
    void startEmpty();
    void createAndClose();
    void cancel();
    void requestClose(int result);

    platform::Platform m_platform;
    ProjectState& m_project;
    std::string m_destinationFolder;
    std::string m_enteredName;
    bool m_closePermission = false;

    QLabel* m_label;
    QLineEdit* m_name;
};

}  // namespace tessaro
