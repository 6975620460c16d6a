#pragma once

#include "core/editors/PargenDocument.h"
#include "core/editors/PartialReadGuard.h"
#include "core/project/ProjectState.h"
#include "gui/forms/Form.h"
#include "platform/Platform.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tessaro {

// "SET COMMUNICATION": the gateway's J1939 and Modbus RTU line settings, kept in pargen.xml.
class TFpargen : public Form {
    Q_OBJECT
public:
    TFpargen(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);

    void FormShow() override { showStoredSettings(); }
    void BitBtn1Click() { saveAndClose(); }
    bool Controllo_Dati();

    PargenSettings settingsFromControls() const;
    void showSettings(const PargenSettings& settings);

private:
    void showStoredSettings();
    void saveAndClose();

    platform::Platform m_platform;
    const ProjectState& m_project;
    PartialReadGuard m_readGuard;
    // The last show found pargen.xml but could not read its settings.
    bool m_settingsUnread = false;

    QComboBox* m_canBaudRate;
    QLineEdit* m_deviceId;
    QRadioButton* m_rs232;
    QRadioButton* m_rs485;
    QComboBox* m_rtuBaudRate;
    QComboBox* m_parity;
    QComboBox* m_stopBits;
    QLineEdit* m_timeout;
    QLineEdit* m_delay;
    QPushButton* m_ok;
};

}  // namespace tessaro
