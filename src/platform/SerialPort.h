#pragma once

#include <functional>

#include <QSerialPort>
#include <QString>

#include "platform/Platform.h"

namespace tessaro::platform {

// The platform's device for a list name: Windows uses the name itself; elsewhere "COM1" to "COM10" are /dev/ttyS0
// to /dev/ttyS9, and any other name is taken as it is.
QString serialDeviceOf(const QString& listName);

using SerialDeviceMapping = std::function<QString(const QString& listName)>;

// The serial port on QSerialPort: exclusive open, 9600 baud, 8 data bits, no parity, 1 stop bit; it never sends or
// reads data.
class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(SerialDeviceMapping mapping = serialDeviceOf);
    ~QtSerialPort() override;

    bool setDeviceName(const QString& name) override;
    bool open() override;
    bool raiseDtr() override;
    void close() override;
    bool isOpen() const override;

    const QString& deviceName() const { return m_deviceName; }

private:
    SerialDeviceMapping m_mapping;
    QString m_deviceName;
    QSerialPort m_port;
};

}  // namespace tessaro::platform
