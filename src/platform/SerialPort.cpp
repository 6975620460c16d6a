#include "platform/SerialPort.h"

#include <QFile>
#include <QSerialPortInfo>
#include <optional>

#include "core/update/PortMapping.h"
#include "core/update/UpdateFeedback.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace tessaro::platform {

namespace {

constexpr char kXon = 17;
constexpr char kXoff = 19;

// QSerialPort sets a flow control of its own when it opens a port; the tool leaves the port's as it found it. The
// settings are read before the open, and put back on the open port together with the XON and XOFF characters.
#ifdef _WIN32

using LineSettings = DCB;

std::optional<LineSettings> readLineSettings(const QString& device) {
    const std::wstring name = device.toStdWString();
    const std::wstring path = name.starts_with(L"\\\\.\\") ? name : L"\\\\.\\" + name;
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    DCB settings{};
    settings.DCBlength = sizeof(settings);
    const bool read = GetCommState(handle, &settings);
    CloseHandle(handle);
    if (!read) return std::nullopt;
    return settings;
}

bool keepFlowControl(HANDLE handle, const std::optional<LineSettings>& before) {
    DCB settings{};
    settings.DCBlength = sizeof(settings);
    if (!GetCommState(handle, &settings)) return false;
    if (before) {
        settings.fOutxCtsFlow = before->fOutxCtsFlow;
        settings.fOutxDsrFlow = before->fOutxDsrFlow;
        settings.fDtrControl = before->fDtrControl;
        settings.fRtsControl = before->fRtsControl;
        settings.fOutX = before->fOutX;
        settings.fInX = before->fInX;
    }
    settings.fDsrSensitivity = FALSE;
    settings.fTXContinueOnXoff = FALSE;
    settings.XonChar = kXon;
    settings.XoffChar = kXoff;
    return SetCommState(handle, &settings) && SetupComm(handle, 4096, 2048);
}

#else

using LineSettings = termios;

std::optional<LineSettings> readLineSettings(const QString& device) {
    const int descriptor = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) return std::nullopt;
    termios settings{};
    const bool read = ::tcgetattr(descriptor, &settings) == 0;
    ::close(descriptor);
    if (!read) return std::nullopt;
    return settings;
}

bool keepFlowControl(int descriptor, const std::optional<LineSettings>& before) {
    termios settings{};
    if (::tcgetattr(descriptor, &settings) != 0) return false;
    if (before) {
        constexpr tcflag_t kSoftware = IXON | IXOFF | IXANY;
        settings.c_cflag = (settings.c_cflag & ~tcflag_t(CRTSCTS)) | (before->c_cflag & CRTSCTS);
        settings.c_iflag = (settings.c_iflag & ~kSoftware) | (before->c_iflag & kSoftware);
    }
    settings.c_cc[VSTART] = kXon;
    settings.c_cc[VSTOP] = kXoff;
    return ::tcsetattr(descriptor, TCSANOW, &settings) == 0;
}

#endif

QString fromCore(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// What cannot be a serial device is refused before the port is tried, in plainer words than the "Inappropriate
// ioctl for device" that trying gives; empty when the device may be one. Windows names its ports, not files.
QString whyNoSerialDevice([[maybe_unused]] const QString& device) {
#ifndef _WIN32
    struct stat status {};
    if (::stat(QFile::encodeName(device).constData(), &status) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISREG(status.st_mode)) return fromCore(kRegularFileReason);
    if (S_ISDIR(status.st_mode)) return fromCore(kFolderReason);
    if (!S_ISCHR(status.st_mode)) return fromCore(kNotCharacterDeviceReason);
#endif
    return {};
}

}  // namespace

QString defaultSerialDevice(const QString& listName) {
    return QString::fromStdString(tessaro::defaultSerialDevice(listName.toStdString()));
}

SerialDeviceMapping settingsMapping(const std::string& settingsPath) {
    return [settingsPath](const QString& listName) {
        return QString::fromStdString(mappedSerialDevice(settingsPath, listName.toStdString()));
    };
}

QtSerialPort::QtSerialPort(SerialDeviceMapping mapping) : m_mapping(std::move(mapping)) {
    // What the device might send is not wanted; a small buffer keeps it from piling up while the port is open.
    m_port.setReadBufferSize(4096);
}

QtSerialPort::~QtSerialPort() {
    close();
}

bool QtSerialPort::setDeviceName(const QString& name) {
    if (m_port.isOpen() && name != m_deviceName) return false;
    m_deviceName = name;
    return true;
}

bool QtSerialPort::open() {
    m_failure.clear();
    if (m_port.isOpen()) {
        m_failure = QStringLiteral("already open");
        return false;
    }
    if (m_deviceName.isEmpty()) {
        m_failure = QStringLiteral("no port named");
        return false;
    }
    const QString device = deviceOf(m_deviceName);
    m_failure = whyNoSerialDevice(device);
    if (!m_failure.isEmpty()) return false;
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    const std::optional<LineSettings> before = readLineSettings(device);
    // QSerialPort locks the device and asks for exclusive use; it refuses what is no terminal device.
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_failure = m_port.errorString();
        return false;
    }
    if (!keepFlowControl(m_port.handle(), before)) {
        m_failure = QStringLiteral("the line settings cannot be set (%1)").arg(qt_error_string(-1));
        m_port.close();
        return false;
    }
    return true;
}

bool QtSerialPort::raiseDtr() {
    m_failure.clear();
    if (!m_port.isOpen()) {
        m_failure = QStringLiteral("not open");
        return false;
    }
    if (m_port.setDataTerminalReady(true)) return true;
    m_failure = fromCore(dtrRefusedReason(m_port.errorString().toStdString()));
    return false;
}

void QtSerialPort::close() {
    if (m_port.isOpen()) m_port.close();
}

bool QtSerialPort::isOpen() const {
    return m_port.isOpen();
}

QString QtSerialPort::deviceOf(const QString& name) const {
    return m_mapping(name);
}

QStringList QtSerialPort::presentDevices() const {
    QStringList devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        QString device = port.systemLocation();
        if (!port.description().isEmpty()) device += QStringLiteral(" (%1)").arg(port.description());
        devices.push_back(device);
    }
    return devices;
}

}  // namespace tessaro::platform
