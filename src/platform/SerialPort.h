#pragma once

#include <QSerialPort>
#include <QString>
#include <functional>
#include <string>

#include "platform/Platform.h"

namespace tessaro::platform {

using SerialDeviceMapping = std::function<QString(const QString& listName)>;

// The platform's own mapping: the same names on Windows, /dev/ttyS0 to /dev/ttyS9 elsewhere.
QString defaultSerialDevice(const QString& listName);

// The mapping of the settings file at settingsPath (its section "ports"), read anew at every use.
SerialDeviceMapping settingsMapping(const std::string& settingsPath);

// The serial port on QSerialPort: exclusive open, 9600 baud, 8 data bits, no parity, 1 stop bit, XON 17 and XOFF 19;
// the flow control stays as the port had it. It never sends or reads data.
class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(SerialDeviceMapping mapping = defaultSerialDevice);
    ~QtSerialPort() override;

    bool setDeviceName(const QString& name) override;
    bool open() override;
    bool raiseDtr() override;
    void close() override;
    bool isOpen() const override;
    QString failure() const override { return m_failure; }
    QString deviceOf(const QString& name) const override;
    QStringList presentDevices() const override;

    const QString& deviceName() const { return m_deviceName; }

private:
    SerialDeviceMapping m_mapping;
    QString m_deviceName;
    QString m_failure;
    QSerialPort m_port;
};

}  // namespace tessaro::platform
