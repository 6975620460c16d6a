#include "gui/app/UAbout.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "gui/app/LinkLabel.h"
#include "gui/app/MakerLinks.h"
#include "gui/forms/Form.h"

namespace tessaro {

namespace {

// The maker's logo: drawn, so that no picture file has to travel with the tool.
QPixmap makerLogo() {
    QPixmap logo(96, 64);
    logo.fill(QColor(0x1f, 0x4e, 0x79));
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0xf2, 0xa9, 0x00), 4));
    painter.drawEllipse(QPointF(48, 26), 16, 16);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(12);
    painter.setFont(font);
    painter.drawText(QRect(0, 44, 96, 18), Qt::AlignCenter, QStringLiteral("ORVANE"));
    return logo;
}

}  // namespace

TFAbout::TFAbout(platform::Platform platform, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_platform(platform) {
    setObjectName(QStringLiteral("FAbout"));
    setWindowTitle(QStringLiteral("About..."));
    setFont(toolFont());
    setFixedSize(389, 152);

    auto* logo = new LinkLabel(QString(), this);
    logo->setObjectName(QStringLiteral("Image1"));
    logo->setPixmap(makerLogo());
    logo->setGeometry(12, 12, 96, 64);
    connect(logo, &LinkLabel::clicked, this, &TFAbout::LogoClick);

    placedLabel(this, QStringLiteral("Software Tessaro "), 124, 12, true);
    placedLabel(this, QStringLiteral("Gateway J1939 To Modbus RTU Master "), 124, 30);
    placedLabel(this, QStringLiteral("Software Code : "), 124, 52);
    placedLabel(this, QStringLiteral("RA48213"), 234, 52, true);
    placedLabel(this, QStringLiteral("Version :"), 124, 68);
    placedLabel(this, QStringLiteral("1.001"), 234, 68, true);
    placedLabel(this, QStringLiteral("Document Code :"), 124, 84);
    placedLabel(this, QStringLiteral("VU48213"), 234, 84, true);

    auto* web = new LinkLabel(QString::fromLatin1(kMakerWebAddress), this);
    web->setObjectName(QStringLiteral("LbWeb"));
    web->setStyleSheet(QStringLiteral("color: #1f4e79; text-decoration: underline;"));
    web->move(12, 108);
    web->adjustSize();
    connect(web, &LinkLabel::clicked, this, &TFAbout::WebLinkClick);

    auto* mail = new LinkLabel(QString::fromLatin1(kMakerMail), this);
    mail->setObjectName(QStringLiteral("LbMail"));
    mail->setStyleSheet(QStringLiteral("color: #1f4e79; text-decoration: underline;"));
    mail->move(12, 126);
    mail->adjustSize();
    connect(mail, &LinkLabel::clicked, this, &TFAbout::MailLinkClick);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setGeometry(300, 118, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TFAbout::openWebPage() {
    m_platform.shell.open(QString::fromLatin1(kMakerWebPage));
}

void TFAbout::writeMail() {
    m_platform.shell.open(QStringLiteral("mailto:") + QString::fromLatin1(kMakerMail));
}

}  // namespace tessaro
