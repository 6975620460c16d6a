#pragma once

#include "platform/InstanceLock.h"
#include "platform/Launcher.h"
#include "platform/Platform.h"
#include "platform/SerialPort.h"

namespace tessaro::platform {

inline constexpr const char* kApplicationTitle = "Firmware Tessaro";

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
    FileInstanceLock instanceLock;

    Platform platform() {
        return Platform{messages, dialogs, folders, shell, serialPort, launcher, files, instanceLock};
    }
};

}  // namespace tessaro::platform
