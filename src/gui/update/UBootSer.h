#pragma once

#include <functional>

#include "core/project/ProjectState.h"
#include "core/update/UpdateFeedback.h"
#include "core/update/UpdaterCommand.h"
#include "gui/forms/Form.h"
#include "platform/Platform.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tessaro {

// "Update Firmware from Serial (RS232)": proves the chosen port usable, collects the update options and starts the
// maker's updater. Both stages share one window; the options panel covers the connection stage.
class TFBootSer : public Form {
    Q_OBJECT
public:
    // The main window's run-and-wait launcher.
    using RunAndWaitFunction =
        std::function<UpdaterRun(const platform::ProgramCall& call, const WaitProgress& progress)>;
    // Whether the updater that run-and-wait started is still alive.
    using UpdaterAliveFunction = std::function<bool()>;

    TFBootSer(platform::Platform platform, const ProjectState& project, RunAndWaitFunction runAndWait,
              UpdaterAliveFunction updaterAlive = {}, QWidget* parent = nullptr);

    void FormShow() override { showConnectionStage(); }
    void LbButton1Click() { connectPort(); }
    void LbButton2Click() { showOptions(); }
    void LbButton4Click() { runUpdater(); }
    // "Back": from the options to the connection stage, to choose another port.
    void LbButton5Click() { backToConnection(); }
    void CB_ComChange() { showChosenDevice(); }
    void FormClose() { releasePort(); }
    // The updater left running has ended: Execute is on again, and the run line says how it ended.
    void updaterEnded(const UpdaterRun& run);

    bool portReady() const { return m_portReady; }
    UpdateOptions optionsFromControls() const;

protected:
    void hideEvent(QHideEvent* event) override;
    // Back from another window (a file manager that put the updater in place, an adapter plugged in): what the
    // dialog shows is read again.
    void changeEvent(QEvent* event) override;

private:
    void showConnectionStage();
    void connectPort();
    void showOptions();
    void runUpdater();
    void backToConnection();
    void showChosenDevice();
    void showPresentDevices();
    void refreshShown();
    void releasePort();
    // The connection stage, or the options panel over it.
    void showStage(bool options);
    void showImageAndMissingFiles();
    // Execute is off while an updater runs, and the red row above it says so; otherwise that row names what is
    // missing.
    void showExecuteState();
    bool updaterRunning() const;
    void showRunLine(const std::string& line);

    platform::Platform m_platform;
    const ProjectState& m_project;
    RunAndWaitFunction m_runAndWait;
    UpdaterAliveFunction m_updaterAlive;
    bool m_portReady = false;
    // The list name whose last Connect failed, until another is chosen or the stage is shown anew.
    QString m_failedPort;

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
