#include "gui/app/UTessaroFirmWare.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <thread>

#include "core/documents/Errors.h"
#include "core/image/ConfigurationImage.h"
#include "core/project/IniProfile.h"
#include "gui/app/LinkLabel.h"
#include "gui/app/MakerLinks.h"
#include "gui/app/UAbout.h"
#include "gui/app/Unewp.h"
#include "gui/desk/UDeskTest.h"
#include "gui/editors/UGroup.h"
#include "gui/editors/UInfoPdoMB.h"
#include "gui/editors/Upargen.h"
#include "gui/editors/UpdoMB.h"
#include "gui/forms/Form.h"
#include "gui/map/UProjectMap.h"
#include "gui/update/UBootSer.h"

namespace tessaro {

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
                    int height) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->setGeometry(left, top, width, height);
    return result;
}

void stepLabel(QWidget* parent, const QString& text, int top) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: #808080;"));
    label->move(16, top);
    label->adjustSize();
}

}  // namespace

TFTessaroFirmWare::TFTessaroFirmWare(platform::Platform platform, const QString& toolFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_platform(platform) {
    setObjectName(QStringLiteral("FTessaroFirmWare"));
    setFont(toolFont());
    setFixedSize(566, 261);
    setAutoFillBackground(true);
    QPalette light = palette();
    light.setColor(QPalette::Window, QColor(0xf7, 0xf9, 0xfb));
    setPalette(light);
    setWindowTitle(toQt(std::string(kDesignCaption)));

    stepLabel(this, QStringLiteral("Step 1"), 47);
    m_new = button(this, "New", QStringLiteral("New project"), 80, 36, 145, 26);
    m_open = button(this, "open", QStringLiteral("Open project"), 232, 36, 145, 26);
    stepLabel(this, QStringLiteral("Step 2"), 91);
    m_communication = button(this, "btn_Prm_Gen", QStringLiteral("Set Communication"), 80, 80, 146, 26);
    stepLabel(this, QStringLiteral("Step 3"), 135);
    m_frames = button(this, "btn_RCOB", QStringLiteral("Frame J1939"), 80, 124, 146, 26);
    m_definitions = button(this, "btn_Info_RCOB", QStringLiteral("Define J1939"), 232, 124, 146, 26);
    stepLabel(this, QStringLiteral("Step 4"), 179);
    m_groups = button(this, "btn_GROUP", QStringLiteral("Setting Group"), 80, 168, 146, 26);
    stepLabel(this, QStringLiteral("Step 5"), 223);
    m_updateDevice = button(this, "CreateBin", QStringLiteral("Update Device"), 80, 212, 146, 26);
    // Beside the last step, in the place the window leaves free there.
    m_mapButton = button(this, "btn_ProjectMap", QStringLiteral("Project Map"), 232, 212, 146, 26);
    // Right of Project Map stands the web link: the free place above Project Map, beside Setting Group.
    m_deskButton = button(this, "btn_DeskTest", QStringLiteral("Desk Test"), 232, 168, 146, 26);

    auto* aboutButton = button(this, "about", QString(), 493, 21, 21, 19);
    aboutButton->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    aboutButton->setToolTip(QStringLiteral("About"));
    auto* closeButton = button(this, "LbButton1", QStringLiteral("X"), 520, 21, 21, 19);

    auto* webLink = new LinkLabel(QString::fromLatin1(kMakerWebAddress), this);
    webLink->setObjectName(QStringLiteral("Label6"));
    webLink->setStyleSheet(QStringLiteral("color: #1f4e79; text-decoration: underline;"));
    webLink->move(425, 227);
    webLink->adjustSize();

    connect(m_new, &QPushButton::clicked, this, &TFTessaroFirmWare::NewaClick);
    connect(m_open, &QPushButton::clicked, this, &TFTessaroFirmWare::OpenaClick);
    // The editors are made after the window, so each button names its editor when it is pressed.
    connect(m_communication, &QPushButton::clicked, this, [this] { btn_str_lng1aClick(m_pargen); });
    connect(m_frames, &QPushButton::clicked, this, [this] { btn_str_lng1aClick(m_pdoMB); });
    connect(m_definitions, &QPushButton::clicked, this, [this] { btn_str_lng1aClick(m_infopdoMB); });
    connect(m_groups, &QPushButton::clicked, this, [this] { btn_str_lng1aClick(m_group); });
    connect(m_mapButton, &QPushButton::clicked, this, [this] { btn_str_lng1aClick(m_projectMap); });
    connect(m_deskButton, &QPushButton::clicked, this, [this] { btn_str_lng1aClick(m_deskTest); });
    connect(m_updateDevice, &QPushButton::clicked, this, &TFTessaroFirmWare::CreateBinaClick);
    connect(aboutButton, &QPushButton::clicked, this, &TFTessaroFirmWare::AboutClick);
    connect(closeButton, &QPushButton::clicked, this, &TFTessaroFirmWare::LbButton1Click);
    connect(webLink, &LinkLabel::clicked, this, &TFTessaroFirmWare::Label6Click);
    pressFocusedButtonsOnEnter(this);

    m_updaterPoll = new QTimer(this);
    m_updaterPoll->setInterval(200);
    connect(m_updaterPoll, &QTimer::timeout, this, [this] { updaterAlive(); });

    centreOnScreen(this);

    FormCreate(fromQt(toolFolder));
}

TFTessaroFirmWare::~TFTessaroFirmWare() = default;

void TFTessaroFirmWare::createWindows() {
    m_saveproj = new TFsaveproj(m_platform, m_project, this);
    m_about = new TFAbout(m_platform, this);
    m_pargen = new TFpargen(m_platform, m_project, this);
    m_pdoMB = new TFpdoMB(m_platform, m_project, this);
    m_infopdoMB = new TFInfopdoMB(m_platform, m_project, this);
    m_group = new TFGroup(m_platform, m_project, this);
    m_bootSer = new TFBootSer(
        m_platform, m_project,
        [this](const platform::ProgramCall& call, const WaitProgress& progress) { return RunAndWait(call, progress); },
        [this] { return updaterAlive(); }, this);
    m_projectMap = new TFProjectMap(m_platform, m_project, this);
    m_deskTest = new TFDeskTest(m_platform, m_project, this);
}

void TFTessaroFirmWare::reopenLastProject(const std::string& toolFolder) {
    m_project.setToolFolder(toolFolder);
    const std::string lockFile = m_project.settingsFilePath() + std::string(kInstanceLockSuffix);
    if (m_platform.instanceLock.acquire(toQt(lockFile)) == platform::InstanceLock::Outcome::HeldElsewhere)
        m_platform.messages.plain(toQt(anotherInstanceMessage(m_project.toolFolder)));
    m_storedAtStart = readProfileString(m_project.settingsFilePath(), kSettingsSection, kSettingsKey);
    if (m_project.reopen(m_storedAtStart.value_or(std::string()))) setCaptionFromProject();
}

void TFTessaroFirmWare::setCaptionFromProject() {
    setWindowTitle(toQt(std::string(kCaptionPrefix) + m_project.projectName));
}

void TFTessaroFirmWare::openProject() {
    const std::string start = m_project.prepareOpen();
    const std::optional<QString> chosen = m_platform.folders.chooseFolder(
        this, QStringLiteral("Select directory of project"), toQt(m_project.projectsFolder), toQt(start));
    m_project.finishOpen(chosen ? std::optional<std::string>(fromQt(*chosen)) : std::nullopt);
    if (chosen) m_projectChosen = true;
    setCaptionFromProject();
}

void TFTessaroFirmWare::newProject() {
    if (!m_saveproj) return;
    m_saveproj->setDestinationFolder(m_project.projectsFolder);
    // After Cancel the project that was open stays open, and so does its caption.
    if (m_platform.dialogs.runModal(*m_saveproj) == QDialog::Accepted) {
        m_projectChosen = true;
        setCaptionFromProject();
    }
}

bool TFTessaroFirmWare::projectOpen() {
    if (!m_project.projectFolder.empty()) return true;
    m_platform.messages.plain(toQt(projectNotValidMessage(m_project.goneFolder)));
    return false;
}

void TFTessaroFirmWare::runEditor(QDialog* editor) {
    if (!projectOpen()) return;
    if (editor) m_platform.dialogs.runModal(*editor);
}

void TFTessaroFirmWare::buildImageAndUpdate() {
    // Without this guard an empty project folder would put the image at /bin/bank.bin.
    if (!projectOpen()) return;
    try {
        BuildConfigurationImage(m_project.projectFolder, *m_image);
        WriteConfigurationImage(m_project.projectFolder, *m_image);
    } catch (const Error& failure) {
        // The updater must never load a stale image: the update dialog does not open.
        m_platform.messages.standardError(toQt(failure.what()));
        return;
    }
    m_platform.dialogs.runModal(*m_bootSer);
}

void TFTessaroFirmWare::showAbout() {
    if (m_about) m_platform.dialogs.runModal(*m_about);
}

void TFTessaroFirmWare::openWebPage() {
    m_platform.shell.open(QString::fromLatin1(kMakerWebPage));
}

void TFTessaroFirmWare::rememberProject() {
    try {
        const std::string path = m_project.settingsFilePath();
        const std::string name =
            projectNameToStore(m_storedAtStart, readProfileString(path, kSettingsSection, kSettingsKey),
                               m_projectChosen, m_project.projectName);
        writeProfileString(path, kSettingsSection, kSettingsKey, name);
    } catch (const Error& failure) {
        m_platform.messages.standardError(toQt(failure.what()));
    }
}

UpdaterRun TFTessaroFirmWare::RunAndWait(const platform::ProgramCall& call, const WaitProgress& progress) {
    UpdaterRun run;
    if (updaterAlive()) {
        run.ending = UpdaterRun::Ending::StillRunning;
        return run;
    }
    platform::StartResult started = m_platform.launcher.start(call);
    if (!started.process) {
        run.failure = fromQt(started.failure);
        return run;
    }
    m_updater = std::move(started.process);
    const UserInputBlock noInput;
    m_waitingForUpdater = true;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        run.waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        if (!m_updater->running()) break;
        if (run.waited >= m_runAndWaitLimit) {
            m_waitingForUpdater = false;
            m_updaterPoll->start();
            run.ending = UpdaterRun::Ending::LeftRunning;
            return run;
        }
        if (progress) progress(run.waited);
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_waitingForUpdater = false;
    const platform::ExitStatus status = m_updater->exitStatus();
    m_updater.reset();
    run.ending = UpdaterRun::Ending::Ended;
    run.exitCode = status.code;
    run.signal = status.signal;
    return run;
}

bool TFTessaroFirmWare::updaterAlive() {
    if (!m_updater) return false;
    // While RunAndWait waits, it alone polls.
    if (m_waitingForUpdater || m_updater->running()) return true;
    UpdaterRun ended;
    ended.ending = UpdaterRun::Ending::Ended;
    const platform::ExitStatus status = m_updater->exitStatus();
    ended.exitCode = status.code;
    ended.signal = status.signal;
    m_updater.reset();
    m_updaterPoll->stop();
    if (m_bootSer) m_bootSer->updaterEnded(ended);
    return false;
}

void TFTessaroFirmWare::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

}  // namespace tessaro
