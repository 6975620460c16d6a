#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/desk/DeskRun.h"
#include "core/desk/DeskSource.h"
#include "core/desk/GatewayModel.h"
#include "core/project/ProjectState.h"
#include "core/signals/SignalDatabase.h"
#include "gui/forms/Form.h"
#include "platform/Platform.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;

namespace tessaro {

// "Desk Test": plays the gateway as the project's documents build it, against a values file, the slaves on a COM
// port or a Modbus TCP server, and shows live the frames it sends, their signals and each slave's state. The run
// lives on a thread of its own; the window polls what it has done. Closing the dialog stops it.
class TFDeskTest : public Form {
    Q_OBJECT
public:
    TFDeskTest(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);
    ~TFDeskTest() override;

    void FormShow() override { showProject(); }
    void BtnStartClick() { startRun(); }
    void BtnStopClick() { stopRun(); }
    void BtnBrowseClick() { chooseValuesFile(); }
    void CB_ComChange() { showChosenDevice(); }
    void FormClose() { endRun(); }

    // A run is under way (or its request under way is ending).
    bool running() const { return m_worker != nullptr; }
    // The model of the last show; nothing when the project could not be built.
    const std::optional<desk::GatewayModel>& model() const { return m_model; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    struct Worker;

    void showProject();
    void startRun();
    void stopRun();
    void chooseValuesFile();
    void showChosenDevice();
    // Takes in what the run has done, and its end.
    void refreshRun();
    void endRun();
    void fillFrames(const desk::DeskSnapshot* snapshot);
    void fillSignals(const desk::DeskSnapshot* snapshot);
    void fillSlaves(const desk::DeskSnapshot* snapshot);
    std::optional<desk::DeskSource> chosenSource();
    void showRunning(bool running);

    platform::Platform m_platform;
    const ProjectState& m_project;
    std::optional<desk::GatewayModel> m_model;
    std::optional<SignalDatabase> m_database;
    std::vector<const MessageDefinition*> m_messages;
    std::unique_ptr<Worker> m_worker;

    QRadioButton* m_fromValues = nullptr;
    QRadioButton* m_fromPort = nullptr;
    QRadioButton* m_fromTcp = nullptr;
    QLineEdit* m_valuesFile = nullptr;
    QPushButton* m_browse = nullptr;
    QComboBox* m_port = nullptr;
    QLabel* m_device = nullptr;
    QLineEdit* m_tcpAddress = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_status = nullptr;
    QTableWidget* m_frames = nullptr;
    QLabel* m_signalsTitle = nullptr;
    QTableWidget* m_signals = nullptr;
    QTableWidget* m_slaves = nullptr;
    QTimer* m_refresh = nullptr;
};

}  // namespace tessaro
