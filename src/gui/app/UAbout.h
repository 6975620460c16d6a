#pragma once

#include <QDialog>

#include "platform/Platform.h"

namespace tessaro {

class TFAbout : public QDialog {
    Q_OBJECT
public:
    TFAbout(platform::Platform platform, QWidget* parent = nullptr);

    void LogoClick();
    void WebLinkClick();
    void MailLinkClick();

private:
    platform::Platform m_platform;
};

}  // namespace tessaro
