#include "app/Unewp.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "platform/QtPlatform.h"

namespace tessaro {

TFsaveproj::TFsaveproj(platform::Platform platform, ProjectState& project, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_platform(platform),
      m_project(project) {
    setObjectName(QStringLiteral("Fsaveproj"));
    setWindowTitle(QStringLiteral("New project"));
    setFont(platform::toolFont());
    setFixedSize(319, 91);

    m_label = new QLabel(QStringLiteral("Project name"), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->move(16, 2);
    m_label->adjustSize();
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("E_Name"));
    m_name->setFrame(false);
    m_name->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #7a7a7a; background: white; }"));
    m_name->setGeometry(16, 16, 297, 21);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setGeometry(92, 59, 69, 23);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    cancel->setGeometry(164, 59, 69, 23);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &TFsaveproj::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &TFsaveproj::BitBtn2Click);

    platform::centreOnScreen(this);
    FormCreate();
}

void TFsaveproj::FormCreate() {
    m_enteredName.clear();
    m_destinationFolder.clear();
}

void TFsaveproj::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFsaveproj::FormShow() {
    setWindowTitle(QStringLiteral("New project"));
    m_name->clear();
    m_enteredName.clear();
    m_label->show();
    m_name->setFocus();
}

void TFsaveproj::BitBtn1Click() {
    m_closePermission = true;
    m_enteredName = m_name->text().toStdString();
    const NewProjectOutcome outcome = m_project.createProject(m_destinationFolder, m_enteredName);
    for (const std::string& message : outcome.messages) m_platform.messages.plain(QString::fromStdString(message));
    m_closePermission = outcome.created;
    requestClose(QDialog::Accepted);
}

void TFsaveproj::BitBtn2Click() {
    m_closePermission = true;
    requestClose(QDialog::Rejected);
}

void TFsaveproj::reject() { BitBtn2Click(); }

void TFsaveproj::requestClose(int result) {
    if (FormCloseQuery()) done(result);
}

}  // namespace tessaro
