#pragma once

#include <QDialog>

#include "project/ProjectState.h"
#include "editors/PargenDocument.h"
#include "platform/Platform.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tessaro {

// "SET COMMUNICATION": the gateway's J1939 and Modbus RTU line settings, kept in pargen.xml.
class TFpargen : public QDialog {
    Q_OBJECT
public:
    TFpargen(platform::Platform platform, const ProjectState& project, QWidget* parent = nullptr);

    void FormShow();
    void BitBtn1Click();
    bool Controllo_Dati();

    PargenSettings settingsFromControls() const;
    void showSettings(const PargenSettings& settings);

protected:
    void showEvent(QShowEvent* event) override;

private:
    platform::Platform m_platform;
    const ProjectState& m_project;

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
