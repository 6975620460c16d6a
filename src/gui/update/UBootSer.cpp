#include "gui/update/UBootSer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>

namespace tessaro {

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top, bool bold = false) {
    QLabel* result = placedLabel(parent, text, left, top, bold);
    result->setObjectName(QString::fromLatin1(name));
    return result;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QRect& place) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->setGeometry(place);
    return result;
}

QCheckBox* tick(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* result = new QCheckBox(caption, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->setChecked(true);
    result->move(left, top);
    result->adjustSize();
    return result;
}

// A line of a fixed place and width for texts that change.
QLabel* line(QWidget* parent, const char* name, const QRect& place, const QString& colour = {}) {
    auto* result = new QLabel(parent);
    result->setObjectName(QString::fromLatin1(name));
    result->setGeometry(place);
    if (!colour.isEmpty()) result->setStyleSheet(QStringLiteral("color: %1;").arg(colour));
    return result;
}

// A path cut at its front to the label's width, whole in the tooltip.
void showPath(QLabel* label, const QString& path, int width) {
    label->setToolTip(path);
    label->setText(label->fontMetrics().elidedText(path, Qt::ElideLeft, width));
}

}  // namespace

TFBootSer::TFBootSer(platform::Platform platform, const ProjectState& project, RunAndWaitFunction runAndWait,
                     UpdaterAliveFunction updaterAlive, QWidget* parent)
    : Form("FBootSer", QStringLiteral("Update Firmware from Serial (RS232)"), {358, 210}, Sizing::fixed, parent,
           Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_platform(platform),
      m_project(project),
      m_runAndWait(std::move(runAndWait)),
      m_updaterAlive(std::move(updaterAlive)) {
    m_steps[0] =
        label(this, "Label1", QStringLiteral("Follow this step to update the DO48213 from RS232:"), 12, 10, true);
    m_steps[1] = label(this, "Label2", QStringLiteral("1 - Turn OFF the Device"), 24, 36);
    m_steps[2] = label(this, "Label3", QStringLiteral("2 - Insert the Boot Jumper (see the manual)"), 24, 56);
    m_steps[3] = label(this, "Label4", QStringLiteral("3 - Select the  COM port and press the connect button"), 24, 76);
    m_port = new QComboBox(this);
    m_port->setObjectName(QStringLiteral("CB_Com"));
    for (int number = 1; number <= 10; ++number) m_port->addItem(QStringLiteral("COM%1").arg(number));
    m_port->setCurrentIndex(0);
    m_port->setGeometry(40, 98, 89, 23);
    m_connect = button(this, "LbButton1", QStringLiteral("Connect"), QRect(140, 97, 89, 25));
    m_steps[4] = label(this, "Label5", QStringLiteral("4 - Turn ON the Device"), 24, 132);
    m_steps[5] = label(this, "Label6", QStringLiteral("5 - Check the BOOT led. It must blink quickly"), 24, 152);
    m_next = button(this, "LbButton2", QStringLiteral("Next"), QRect(172, 176, 80, 25));
    m_cancel = button(this, "LbButton3", QStringLiteral("Cancel"), QRect(262, 176, 80, 25));
    // Beside the list, right of "Connect": the device the chosen name stands for, and the outcome of "Connect".
    m_device = line(this, "L_Device", QRect(238, 97, 114, 13));
    m_ready = line(this, "L_Ready", QRect(238, 111, 114, 13), QStringLiteral("#1b7a2e"));

    m_options = new QFrame(this);
    m_options->setObjectName(QStringLiteral("Panel1"));
    m_options->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    m_options->setAutoFillBackground(true);
    m_options->setGeometry(0, 0, 353, 209);
    label(m_options, "Label7", QStringLiteral("Update Device Options"), 12, 10, true);
    m_firmware = tick(m_options, "CB_Firm", QStringLiteral("Firmware"), 40, 40);
    m_readFirmware = tick(m_options, "CB_RFirm", QStringLiteral("Read Firmware when finish"), 40, 64);
    m_projectTick = tick(m_options, "CB_Proj", QStringLiteral("Project"), 40, 96);
    m_readProject = tick(m_options, "CB_RProj", QStringLiteral("Read Project when finish"), 40, 120);
    m_execute = button(m_options, "LbButton4", QStringLiteral("Execute update firmware"), QRect(96, 160, 161, 29));
    m_back = button(m_options, "LbButton5", QStringLiteral("Back"), QRect(268, 162, 74, 25));
    // The right-hand column beside the ticks, the row above "Execute" and the row below it.
    m_image = line(m_options, "L_Image", QRect(216, 40, 130, 94));
    m_image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_missing = line(m_options, "L_Missing", QRect(12, 141, 334, 14), QStringLiteral("#b00020"));
    m_run = line(m_options, "L_Run", QRect(12, 192, 334, 14));
    m_options->hide();

    connect(m_connect, &QPushButton::clicked, this, &TFBootSer::LbButton1Click);
    connect(m_next, &QPushButton::clicked, this, &TFBootSer::LbButton2Click);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_execute, &QPushButton::clicked, this, &TFBootSer::LbButton4Click);
    connect(m_back, &QPushButton::clicked, this, &TFBootSer::LbButton5Click);
    connect(m_port, &QComboBox::currentIndexChanged, this, &TFBootSer::CB_ComChange);
}

// Every way of closing the dialog hides it, so the port is let go of there.
void TFBootSer::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) FormClose();
}

void TFBootSer::showStage(bool options) {
    if (options) {
        m_options->move(0, 0);
        m_options->raise();
    }
    m_options->setVisible(options);
    for (QLabel* step : m_steps) step->setVisible(!options);
    // The panel covers these; neither the keyboard nor Enter may reach them under it.
    for (QWidget* covered : std::initializer_list<QWidget*>{m_port, m_connect, m_next, m_cancel})
        covered->setEnabled(!options);
    if (options) {
        showImageAndMissingFiles();
        showRunLine({});
        m_execute->setFocus();
    } else {
        m_ready->clear();
        m_port->setFocus();
    }
}

void TFBootSer::showImageAndMissingFiles() {
    const ImageToLoad image = imageToLoad(m_project.projectFolder);
    QStringList lines{QStringLiteral("Image to load:"),
                      m_image->fontMetrics().elidedText(toQt(image.folder), Qt::ElideLeft, m_image->width()),
                      toQt(image.inFolder)};
    for (const std::string& text : image.lines) lines.push_back(toQt(text));
    m_image->setText(lines.join(QLatin1Char('\n')));
    m_image->setToolTip(toQt(image.path));
    showExecuteState();
}

bool TFBootSer::updaterRunning() const {
    return m_updaterAlive && m_updaterAlive();
}

void TFBootSer::showExecuteState() {
    const bool running = updaterRunning();
    m_execute->setEnabled(!running);
    if (running) {
        m_missing->setText(toQt(updaterStillRunsLine()));
        return;
    }
    const std::optional<std::string> missing = missingFilesWarning(m_project);
    m_missing->setText(missing ? toQt(*missing) : QString());
}

void TFBootSer::updaterEnded(const UpdaterRun& run) {
    showRunLine(runOutcomeLine(run));
    showImageAndMissingFiles();
}

void TFBootSer::showRunLine(const std::string& text) {
    const QString shown = toQt(text);
    if (m_run->text() != shown) m_run->setText(shown);
}

void TFBootSer::showConnectionStage() {
    showStage(false);
    m_portReady = false;
    m_failedPort.clear();
    CB_ComChange();
    showPresentDevices();
    // The options' lines are read again now, not at the first Next only.
    showImageAndMissingFiles();
}

void TFBootSer::changeEvent(QEvent* event) {
    Form::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && isActiveWindow()) refreshShown();
}

void TFBootSer::refreshShown() {
    if (m_options->isVisible()) {
        showImageAndMissingFiles();
        return;
    }
    showPresentDevices();
    // Once connected, the line names the device that was opened.
    if (!m_portReady) showPath(m_device, m_platform.serialPort.deviceOf(m_port->currentText()), m_device->width());
}

void TFBootSer::showPresentDevices() {
    std::vector<std::string> devices;
    for (const QString& device : m_platform.serialPort.presentDevices()) devices.push_back(fromQt(device));
    m_port->setToolTip(toQt(presentDevicesTip(devices)));
}

void TFBootSer::showChosenDevice() {
    showPath(m_device, m_platform.serialPort.deviceOf(m_port->currentText()), m_device->width());
    m_ready->clear();
    m_failedPort.clear();
}

void TFBootSer::connectPort() {
    m_portReady = false;
    m_platform.serialPort.close();
    const bool ready = m_platform.serialPort.setDeviceName(m_port->currentText()) && m_platform.serialPort.open() &&
                       m_platform.serialPort.raiseDtr();
    if (!ready) {
        // Read before close, which may clear it.
        const QString reason = m_platform.serialPort.failure();
        // A port whose DTR cannot be raised is of no use: it is not kept from other programs.
        m_platform.serialPort.close();
        m_ready->clear();
        m_failedPort = m_port->currentText();
        m_platform.messages.error(toQt(portNotOpenMessage(
            fromQt(m_failedPort), fromQt(m_platform.serialPort.deviceOf(m_failedPort)), fromQt(reason))));
        return;
    }
    m_failedPort.clear();
    m_portReady = true;
    m_ready->setText(toQt(std::string(kPortReadyLine)));
}

void TFBootSer::showOptions() {
    if (!m_portReady) {
        const QString chosen = m_port->currentText();
        m_platform.messages.error(toQt(selectOnePortMessage(fromQt(chosen), chosen == m_failedPort)));
        return;
    }
    showStage(true);
    // The updater opens the port itself.
    m_platform.serialPort.close();
}

UpdateOptions TFBootSer::optionsFromControls() const {
    return UpdateOptions{m_firmware->isChecked(), m_readFirmware->isChecked(), m_projectTick->isChecked(),
                         m_readProject->isChecked()};
}

void TFBootSer::runUpdater() {
    const UpdaterCommand command = updaterCommand(m_project, fromQt(m_port->currentText()), optionsFromControls());
    platform::ProgramCall call{toQt(command.program), {}, toQt(command.parameters)};
    for (const std::string& argument : command.arguments) call.arguments.push_back(toQt(argument));
    if (!m_runAndWait) return;
    // Refused while one runs, wherever the click came from; run-and-wait refuses it too.
    if (updaterRunning()) {
        showExecuteState();
        return;
    }
    m_execute->setEnabled(false);
    showRunLine(waitingLine(std::chrono::milliseconds(0)));
    const UpdaterRun run = m_runAndWait(call, [this](std::chrono::milliseconds waited) {
        showRunLine(waitingLine(waited));
        showExecuteState();
    });
    if (run.ending != UpdaterRun::Ending::StillRunning) showRunLine(runOutcomeLine(run));
    showImageAndMissingFiles();
    if (run.ending == UpdaterRun::Ending::NotStarted)
        m_platform.messages.error(toQt(startFailureMessage(command.program, run.failure)));
}

void TFBootSer::backToConnection() {
    m_portReady = false;
    showStage(false);
}

void TFBootSer::releasePort() {
    m_platform.serialPort.close();
}

}  // namespace tessaro
