#pragma once

#include <QDialog>
#include <functional>

#include "project/ProjectState.h"
#include "platform/Platform.h"
#include "update/UpdateFeedback.h"
#include "update/UpdaterCommand.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tessaro {

// "Update Firmware from Serial (RS232)": proves the chosen port usable, collects the update options and starts the
// maker's updater. Both stages share one window; the options panel covers the connection stage.
class TFBootSer : public QDialog {
    Q_OBJECT
public:
    // The main window's run-and-wait launcher.
    using RunAndWaitFunction =
        std::function<UpdaterRun(const platform::ProgramCall& call, const WaitProgress& progress)>;

    TFBootSer(platform::Platform platform, const ProjectState& project, RunAndWaitFunction runAndWait,
              QWidget* parent = nullptr);

    void FormShow();
    void LbButton1Click();
    void LbButton2Click();
    void LbButton4Click();
    // "Back": from the options to the connection stage, to choose another port.
    void LbButton5Click();
    void CB_ComChange();
    void FormClose();

    bool portReady() const { return m_portReady; }
    UpdateOptions optionsFromControls() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The connection stage, or the options panel over it.
    void showStage(bool options);
    void showImageAndMissingFiles();
    void showRunLine(const std::string& line);

    platform::Platform m_platform;
    const ProjectState& m_project;
    RunAndWaitFunction m_runAndWait;
    bool m_portReady = false;

    QLabel* m_steps[6];
    QComboBox* m_port;
    QPushButton* m_connect;
    QPushButton* m_next;
    QPushButton* m_cancel;
    QLabel* m_device;
    QLabel* m_ready;
    QFrame* m_options;
    QCheckBox* m_firmware;
    QCheckBox* m_readFirmware;
    QCheckBox* m_projectTick;
    QCheckBox* m_readProject;
    QPushButton* m_execute;
    QPushButton* m_back;
    QLabel* m_image;
    QLabel* m_missing;
    QLabel* m_run;
};

}  // namespace tessaro
