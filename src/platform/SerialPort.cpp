#include "platform/SerialPort.h"

#include <QRegularExpression>

namespace tessaro::platform {

QString serialDeviceOf(const QString& listName) {
#ifdef _WIN32
    return listName;
#else
    static const QRegularExpression listEntry(QStringLiteral("^COM([1-9]|10)$"));
    const QRegularExpressionMatch match = listEntry.match(listName);
    if (!match.hasMatch()) return listName;
    return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
#endif
}

QtSerialPort::QtSerialPort(SerialDeviceMapping mapping) : m_mapping(std::move(mapping)) {
    // What the device might send is not wanted; a small buffer keeps it from piling up while the port is open.
    m_port.setReadBufferSize(4096);
}

QtSerialPort::~QtSerialPort() { close(); }

bool QtSerialPort::setDeviceName(const QString& name) {
    if (m_port.isOpen() && name != m_deviceName) return false;
    m_deviceName = name;
    return true;
}

bool QtSerialPort::open() {
    if (m_port.isOpen() || m_deviceName.isEmpty()) return false;
    m_port.setPortName(m_mapping(m_deviceName));
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // QSerialPort locks the device and asks for exclusive use; it refuses what is no terminal device.
    return m_port.open(QIODevice::ReadWrite);
}

bool QtSerialPort::raiseDtr() { return m_port.isOpen() && m_port.setDataTerminalReady(true); }

void QtSerialPort::close() {
    if (m_port.isOpen()) m_port.close();
}

bool QtSerialPort::isOpen() const { return m_port.isOpen(); }

}  // namespace tessaro::platform
