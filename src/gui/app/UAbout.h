#pragma once

#include <QDialog>

#include "platform/Platform.h"

namespace tessaro {

class TFAbout : public QDialog {
    Q_OBJECT
public:
    TFAbout(platform::Platform platform, QWidget* parent = nullptr);

    void LogoClick() { openWebPage(); }
    void WebLinkClick() { openWebPage(); }
    void MailLinkClick() { writeMail(); }

private:
    void openWebPage();
    void writeMail();

    platform::Platform m_platform;
};

}  // namespace tessaro
