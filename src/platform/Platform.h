#pragma once

#include <functional>
#include <optional>

#include <QString>

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

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a web or "mailto:" address with the user's program for it.
    virtual void open(const QString& address) = 0;
};

struct Platform {
    Messages& messages;
    DialogRunner& dialogs;
    FolderBrowser& folders;
    Shell& shell;
};

}  // namespace tessaro::platform
