#pragma once

#include <QFont>
#include <QObject>

#include "platform/Launcher.h"
#include "platform/Platform.h"
#include "platform/SerialPort.h"

class QDialog;
class QLabel;
class QPushButton;

namespace tessaro::platform {

inline constexpr const char* kApplicationTitle = "Firmware Tessaro";

// Verdana 8 pt where the font exists, the platform's sans font otherwise.
QFont toolFont();

// Windows of this tool open centred on the screen.
void centreOnScreen(QWidget* window);

// A label of the text's own size at a place of its parent, bold when asked.
QLabel* placedLabel(QWidget* parent, const QString& text, int left, int top, bool bold = false);

// Enter presses a focused push button of the window as Space does.
void pressFocusedButtonsOnEnter(QWidget* window);

// OK is the dialog's default button and stays so wherever the focus moves, so Enter in a field presses OK with its
// checks; the dialog's other buttons never become the default, and a focused one is pressed by Enter. Escape is
// Cancel, as in every dialog. Called once the dialog's buttons exist.
void makeOkTheDefault(QDialog* dialog, QPushButton* ok);

// While it lives, no user input and no close request reaches a window of the tool: they are dropped, not kept for
// later, so that a click made meanwhile cannot act once the block ends. Painting, timers and the window system's
// own messages go on.
class UserInputBlock : public QObject {
public:
    UserInputBlock();
    ~UserInputBlock() override;
    UserInputBlock(const UserInputBlock&) = delete;
    UserInputBlock& operator=(const UserInputBlock&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class QtMessages : public Messages {
public:
    void plain(const QString& text) override;
    void error(const QString& text) override;
    void standardError(const QString& text) override;
};

class QtDialogRunner : public DialogRunner {
public:
    int runModal(QDialog& dialog) override;
};

class QtFolderBrowser : public FolderBrowser {
public:
    std::optional<QString> chooseFolder(QWidget* parent, const QString& title, const QString& root,
                                        const QString& start) override;
};

class QtFileChooser : public FileChooser {
public:
    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                                          const QString& filter) override;
    std::optional<QString> chooseOpenFile(QWidget* parent, const QString& title, const QString& start,
                                          const QString& filter) override;
};

class QtShell : public Shell {
public:
    void open(const QString& address) override;
};

// The adapters of one run of the tool; the port list's names map through the settings file of the tool folder.
struct QtPlatform {
    explicit QtPlatform(const QString& toolFolder);

    QtMessages messages;
    QtDialogRunner dialogs;
    QtFolderBrowser folders;
    QtShell shell;
    QtSerialPort serialPort;
    ProcessLauncher launcher;
    QtFileChooser files;

    Platform platform() { return Platform{messages, dialogs, folders, shell, serialPort, launcher, files}; }
};

}  // namespace tessaro::platform
