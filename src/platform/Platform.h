#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QDialog;
class QWidget;

namespace tessaro::platform {

// Everything that would stop a test or touch the outside world. Production gets the Qt adapters (QtPlatform.h);
// tests get recording fakes.

class Messages {
public:
    virtual ~Messages() = default;
    // Application title, no icon, OK.
    virtual void plain(const QString& text) = 0;
    // Title "Error", error icon, OK.
    virtual void error(const QString& text) = 0;
    // Application title, error icon, OK; the text after the full-stop rule.
    virtual void standardError(const QString& text) = 0;
};

class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Shows the dialog modally and returns its result (QDialog::Accepted or QDialog::Rejected).
    virtual int runModal(QDialog& dialog) = 0;
};

class FolderBrowser {
public:
    virtual ~FolderBrowser() = default;
    // Lets the user choose root or a folder below it, starting at start; the chosen full path, or nothing.
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& title, const QString& root,
                                                const QString& start) = 0;
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Lets the user name a file to write, offering start; the chosen full path, or nothing.
    virtual std::optional<QString> chooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                                                  const QString& filter) = 0;
    // Lets the user choose an existing file to read, starting in the folder start; the chosen full path, or nothing.
    virtual std::optional<QString> chooseOpenFile(QWidget* parent, const QString& title, const QString& start,
                                                  const QString& filter) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a web or "mailto:" address with the user's program for it.
    virtual void open(const QString& address) = 0;
};

// One serial port, used only to prove that a port can be opened and to raise its DTR line; no data passes.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Takes a list name ("COM3"); refused (false) while the port is open under another name.
    virtual bool setDeviceName(const QString& name) = 0;
    // Opens the named device exclusively for reading and writing; refused when already open.
    virtual bool open() = 0;
    virtual bool raiseDtr() = 0;
    // Closes the port when it is open; never fails.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Why the last open() or raiseDtr() failed, in a few words ("No such file or directory"); empty after a success.
    virtual QString failure() const = 0;
    // The device a list name stands for ("/dev/ttyUSB0").
    virtual QString deviceOf(const QString& name) const = 0;
    // The serial devices on the machine, each "device (description)" where the system describes it.
    virtual QStringList presentDevices() const = 0;
};

// A program to start. POSIX hands it the arguments one by one, without a shell; Windows hands it the parameter
// string as its command line, which is where its programs read them from.
struct ProgramCall {
    QString program;
    QStringList arguments;
    QString parameters;
};

// How a program ended: the code it passed to exit (Windows: GetExitCodeProcess), or on POSIX the signal that
// killed it.
struct ExitStatus {
    std::uint32_t code = 0;
    int signal = 0;  // 0 when the program exited by itself
    bool operator==(const ExitStatus&) const = default;
};

// A started program. Letting go of it leaves the program running.
class Process {
public:
    virtual ~Process() = default;
    // False once the program has ended (a finished child is reaped).
    virtual bool running() = 0;
    // How it ended; meaningful once running() has said false.
    virtual ExitStatus exitStatus() const = 0;
};

// The started program, or nothing and the system's reason ("No such file or directory").
struct StartResult {
    std::unique_ptr<Process> process;
    QString failure;
};

class Launcher {
public:
    virtual ~Launcher() = default;
    virtual StartResult start(const ProgramCall& call) = 0;
};

// Tells whether another instance of the tool works on the same tool folder. The lock is the system's, on a lock file
// that stays in place: the system lets go of it when the process ends, however it ends, so no stale lock is left
// behind to clean up.
class InstanceLock {
public:
    enum class Outcome {
        Taken,          // held from now on, until the process ends
        HeldElsewhere,  // another process holds it
        Unavailable,    // the lock file cannot be opened (a folder the user may not write): nothing is known
    };
    virtual ~InstanceLock() = default;
    virtual Outcome acquire(const QString& lockFile) = 0;
};

struct Platform {
    Messages& messages;
    DialogRunner& dialogs;
    FolderBrowser& folders;
    Shell& shell;
    SerialPort& serialPort;
    Launcher& launcher;
    FileChooser& files;
    InstanceLock& instanceLock;
};

}  // namespace tessaro::platform
