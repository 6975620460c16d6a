#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>
#include <QString>

#include "platform/Platform.h"

namespace tessaro::testing {

// One message box as the user would see it: its kind ("plain", "error", "standardError") and text.
struct Message {
    std::string kind;
    std::string text;
    bool operator==(const Message&) const = default;
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

class RecordingShell : public platform::Shell {
public:
    void open(const QString& address) override { opened.push_back(address.toStdString()); }
    std::vector<std::string> opened;
};

struct FakePlatform {
    RecordingMessages messages;
    ScriptedDialogs dialogs;
    FakeFolderBrowser folders;
    RecordingShell shell;

    platform::Platform platform() { return platform::Platform{messages, dialogs, folders, shell}; }
};

// A child widget of a dialog by its object name; fails the test when there is none.
template <typename Widget>
Widget* child(QWidget& parent, const char* name) {
    Widget* found = parent.findChild<Widget*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no control named ") + name);
    return found;
}

}  // namespace tessaro::testing
