#pragma once

#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tessaro::testing {

// One message box as the user would see it: its kind ("plain", "error", "standardError") and text.
struct Message {
    std::string kind;
    std::string text;
    bool operator==(const Message&) const = default;
    friend void PrintTo(const Message& message, std::ostream* out) {
        *out << message.kind << " \"" << message.text << "\"";
    }
};

class RecordingMessages : public platform::Messages {
public:
    void plain(const QString& text) override { shown.push_back({"plain", text.toStdString()}); }
    void error(const QString& text) override { shown.push_back({"error", text.toStdString()}); }
    void standardError(const QString& text) override { shown.push_back({"standardError", text.toStdString()}); }

    std::vector<Message> shown;
};

// Shows the dialog (so its FormShow runs), plays the next queued script as the user, and closes the dialog with
// Cancel if the script left it open. Without a script the user closes the dialog at once.
class ScriptedDialogs : public platform::DialogRunner {
public:
    using Script = std::function<void(QDialog&)>;
    int runModal(QDialog& dialog) override;
    void then(Script script) { scripts.push_back(std::move(script)); }

    std::deque<Script> scripts;
    std::vector<QString> shownTitles;
};

class FakeFolderBrowser : public platform::FolderBrowser {
public:
    std::optional<QString> chooseFolder(QWidget*, const QString& title, const QString& root,
                                        const QString& start) override {
        calls.push_back({title, root, start});
        return answer;
    }
    struct Call {
        QString title, root, start;
    };
    std::optional<QString> answer;
    std::vector<Call> calls;
};

// Answers every save-file question with answer, and records the questions.
// Answers each chooser with the next queued answer, or answer when none is queued, and records the calls.
class FakeFileChooser : public platform::FileChooser {
public:
    std::optional<QString> chooseSaveFile(QWidget*, const QString& title, const QString& start,
                                          const QString& filter) override {
        calls.push_back({title, start, filter, "save"});
        return next();
    }
    std::optional<QString> chooseOpenFile(QWidget*, const QString& title, const QString& start,
                                          const QString& filter) override {
        calls.push_back({title, start, filter, "open"});
        return next();
    }
    struct Call {
        QString title, start, filter;
        std::string kind;
    };
    std::deque<std::optional<QString>> answers;
    std::optional<QString> answer;
    std::vector<Call> calls;

private:
    std::optional<QString> next() {
        if (answers.empty()) return answer;
        std::optional<QString> queued = answers.front();
        answers.pop_front();
        return queued;
    }
};

class RecordingShell : public platform::Shell {
public:
    void open(const QString& address) override { opened.push_back(address.toStdString()); }
    std::vector<std::string> opened;
};

// A serial port that records what is done to it ("name COM3", "open", "dtr", "close"); opens and accepts DTR
// unless told otherwise, and then gives the reason it is told.
class FakeSerialPort : public platform::SerialPort {
public:
    bool setDeviceName(const QString& name) override;
    bool open() override;
    bool raiseDtr() override;
    void close() override;
    bool isOpen() const override { return opened; }
    QString failure() const override { return lastFailure; }
    // The device of mapped, or the platform's own.
    QString deviceOf(const QString& name) const override;
    QStringList presentDevices() const override { return present; }

    std::map<QString, QString> mapped;
    QStringList present;
    bool opens = true;
    bool acceptsDtr = true;
    QString openFailure = QStringLiteral("No such file or directory");
    QString dtrFailure = QStringLiteral("DTR cannot be raised (Inappropriate ioctl for device)");
    QString lastFailure;

    QString deviceName;
    bool opened = false;
    bool dtrRaised = false;
    std::vector<std::string> calls;
};

// Records every start. Without a real launcher to forward to, the program starts (unless told otherwise) and
// reports itself running for the given number of polls, then ends with the given status; with one, the real program
// runs and the polls are counted.
class RecordingLauncher : public platform::Launcher {
public:
    platform::StartResult start(const platform::ProgramCall& call) override;

    platform::Launcher* forwardTo = nullptr;
    bool starts = true;
    QString failure = QStringLiteral("No such file or directory");
    int pollsRunning = 0;
    platform::ExitStatus exit;

    std::vector<platform::ProgramCall> started;
    int polls = 0;
};

// Answers every acquire with outcome, and records the lock files asked for.
class FakeInstanceLock : public platform::InstanceLock {
public:
    Outcome acquire(const QString& lockFile) override {
        asked.push_back(lockFile.toStdString());
        return outcome;
    }
    Outcome outcome = Outcome::Taken;
    std::vector<std::string> asked;
};

struct FakePlatform {
    RecordingMessages messages;
    ScriptedDialogs dialogs;
    FakeFolderBrowser folders;
    RecordingShell shell;
    FakeSerialPort serialPort;
    RecordingLauncher launcher;
    FakeFileChooser files;
    FakeInstanceLock instanceLock;

    platform::Platform platform() {
        return platform::Platform{messages, dialogs, folders, shell, serialPort, launcher, files, instanceLock};
    }
};

// A child widget of a dialog by its object name; fails the test when there is none.
template <typename Widget>
Widget* child(QWidget& parent, const char* name) {
    Widget* found = parent.findChild<Widget*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no control named ") + name);
    return found;
}

}  // namespace tessaro::testing
