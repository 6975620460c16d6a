#pragma once

#include <functional>

#include <QDialog>

#include "app/ProjectState.h"
#include "platform/Platform.h"
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
    using RunAndWaitFunction = std::function<void(const platform::ProgramCall& call)>;

    TFBootSer(platform::Platform platform, const ProjectState& project, RunAndWaitFunction runAndWait,
              QWidget* parent = nullptr);

    void FormShow();
    void LbButton1Click();
    void LbButton2Click();
    void LbButton4Click();
    void FormClose();

    bool portReady() const { return m_portReady; }
    UpdateOptions optionsFromControls() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The connection stage, or the options panel over it.
    void showStage(bool options);

    platform::Platform m_platform;
    const ProjectState& m_project;
    RunAndWaitFunction m_runAndWait;
    bool m_portReady = false;

    QLabel* m_steps[6];
    QComboBox* m_port;
    QPushButton* m_connect;
    QPushButton* m_next;
    QPushButton* m_cancel;
    QFrame* m_options;
    QCheckBox* m_firmware;
    QCheckBox* m_readFirmware;
    QCheckBox* m_projectTick;
    QCheckBox* m_readProject;
    QPushButton* m_execute;
};

}  // namespace tessaro
