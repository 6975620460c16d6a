#include "gui/app/Unewp.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessaro {

TFsaveproj::TFsaveproj(platform::Platform platform, ProjectState& project, QWidget* parent)
    : Form("Fsaveproj", QStringLiteral("New project"), {319, 91}, Sizing::fixed, parent,
           Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_platform(platform),
      m_project(project) {
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
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    cancel->setGeometry(164, 59, 69, 23);
    connect(ok, &QPushButton::clicked, this, &TFsaveproj::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &TFsaveproj::BitBtn2Click);
    makeOkTheDefault(this, ok);
    FormCreate();
}

void TFsaveproj::forgetEntries() {
    m_enteredName.clear();
    m_destinationFolder.clear();
}

void TFsaveproj::startEmpty() {
    setWindowTitle(QStringLiteral("New project"));
    m_name->clear();
    m_enteredName.clear();
    m_label->show();
    m_name->setFocus();
}

void TFsaveproj::createAndClose() {
    m_closePermission = true;
    m_enteredName = fromQt(m_name->text());
    const NewProjectOutcome outcome = m_project.createProject(m_destinationFolder, m_enteredName);
    for (const std::string& message : outcome.messages) m_platform.messages.plain(toQt(message));
    m_closePermission = outcome.created;
    requestClose(QDialog::Accepted);
}

void TFsaveproj::cancel() {
    m_closePermission = true;
    requestClose(QDialog::Rejected);
}

void TFsaveproj::requestClose(int result) {
    if (FormCloseQuery()) done(result);
}

}  // namespace tessaro
