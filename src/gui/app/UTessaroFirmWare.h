#pragma once

#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "core/image/ConfigurationImage.h"
#include "core/project/ProjectState.h"
#include "core/update/UpdateFeedback.h"
#include "platform/Platform.h"

class QDialog;
class QLabel;
class QPushButton;
class QTimer;

namespace tessaro {

class TFsaveproj;
class TFAbout;
class TFBootSer;
class TFpargen;
class TFpdoMB;
class TFInfopdoMB;
class TFGroup;
class TFProjectMap;
class TFDeskTest;
class LinkLabel;

// The main window: the five steps, the project state and the settings file.
class TFTessaroFirmWare : public QWidget {
    Q_OBJECT
public:
    // Runs FormCreate with the given tool folder (the executable's folder in production).
    TFTessaroFirmWare(platform::Platform platform, const QString& toolFolder, QWidget* parent = nullptr);
    ~TFTessaroFirmWare() override;

    // Creates the other windows once, in start-up order.
    void createWindows();

    ProjectState& project() { return m_project; }
    const ProjectState& project() const { return m_project; }

    void FormCreate(const std::string& toolFolder) { reopenLastProject(toolFolder); }
    void OpenaClick() { openProject(); }
    void NewaClick() { newProject(); }
    // A step button: its editor, for the open project.
    void btn_str_lng1aClick(QDialog* editor) { runEditor(editor); }
    void CreateBinaClick() { buildImageAndUpdate(); }
    void AboutClick() { showAbout(); }
    void Label6Click() { openWebPage(); }
    void LbButton1Click() { close(); }
    // Writes the settings file; a failure is reported and the window closes all the same.
    void FormClose() { rememberProject(); }

    // Starts the program and waits until it ends or the limit has passed, whichever comes first, polling it every
    // 10 ms and leaving it running at the limit. Meanwhile the windows repaint but take no user input.
    UpdaterRun RunAndWait(const platform::ProgramCall& call, const WaitProgress& progress = {});
    // One updater at a time: while the one RunAndWait started is alive, waited for or left running at the limit,
    // RunAndWait starts no other (StillRunning).
    // Whether that updater is still alive. One left running is polled every 200 ms, so that it is reaped (on
    // Windows, its handle closed) as soon as it ends and the update dialog hears of it.
    bool updaterAlive();
    std::chrono::milliseconds runAndWaitLimit() const { return m_runAndWaitLimit; }
    void setRunAndWaitLimit(std::chrono::milliseconds limit) { m_runAndWaitLimit = limit; }

    TFsaveproj* saveproj() const { return m_saveproj; }
    TFAbout* about() const { return m_about; }
    TFpargen* pargen() const { return m_pargen; }
    TFpdoMB* pdoMB() const { return m_pdoMB; }
    TFInfopdoMB* infopdoMB() const { return m_infopdoMB; }
    TFGroup* group() const { return m_group; }
    TFBootSer* bootSer() const { return m_bootSer; }
    TFProjectMap* projectMap() const { return m_projectMap; }
    TFDeskTest* deskTest() const { return m_deskTest; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void reopenLastProject(const std::string& toolFolder);
    void openProject();
    void newProject();
    // False, after saying so, when no project is open.
    bool projectOpen();
    void runEditor(QDialog* editor);
    void buildImageAndUpdate();
    void showAbout();
    void openWebPage();
    void rememberProject();
    void setCaptionFromProject();

    platform::Platform m_platform;
    ProjectState m_project;
    // What the settings file held at start, and whether the user has opened or created a project since.
    std::optional<std::string> m_storedAtStart;
    bool m_projectChosen = false;

    QPushButton* m_new = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_communication = nullptr;
    QPushButton* m_frames = nullptr;
    QPushButton* m_definitions = nullptr;
    QPushButton* m_groups = nullptr;
    QPushButton* m_updateDevice = nullptr;
    QPushButton* m_mapButton = nullptr;
    QPushButton* m_deskButton = nullptr;

    TFsaveproj* m_saveproj = nullptr;
    TFAbout* m_about = nullptr;
    TFpargen* m_pargen = nullptr;
    TFpdoMB* m_pdoMB = nullptr;
    TFInfopdoMB* m_infopdoMB = nullptr;
    TFGroup* m_group = nullptr;
    TFBootSer* m_bootSer = nullptr;
    TFProjectMap* m_projectMap = nullptr;
    TFDeskTest* m_deskTest = nullptr;
    std::chrono::milliseconds m_runAndWaitLimit = kRunAndWaitLimit;
    // The updater RunAndWait started, until it is seen to have ended.
    std::unique_ptr<platform::Process> m_updater;
    bool m_waitingForUpdater = false;
    QTimer* m_updaterPoll = nullptr;
    // Lives as long as the window: a build rewrites only the bytes its image uses.
    std::unique_ptr<ImageBuffer> m_image = std::make_unique<ImageBuffer>();
};

}  // namespace tessaro
