#include "editors/UGroup.h"

#include <array>

#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include "editors/CellGrid.h"
#include "platform/QtPlatform.h"

namespace tessaro {

namespace {

constexpr std::array<GridColumn, 3> kColumns = {
    GridColumn{"Group", 64}, GridColumn{"Cyclic Time [mS]", 104}, GridColumn{"Mnemonic", 235}};

}  // namespace

TFGroup::TFGroup(platform::Platform platform, const ProjectState& project, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_project(project) {
    setObjectName(QStringLiteral("FGroup"));
    setWindowTitle(QStringLiteral("Groups Setting"));
    setFont(platform::toolFont());
    resize(430, 334);

    m_grid = makeCellGrid(this, int(kGroupRows), kColumns);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("bitbtn1"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("bitbtn2"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &TFGroup::bitbtn1Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    centreOnScreen(this);
}

void TFGroup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFGroup::FormShow() {
    setGridTitles(m_grid, kColumns);
    const TableLoad loaded = loadGroupTable(m_project.groupPath);
    fillGrid(m_grid, loaded.rows);
    reportTableLoad(m_platform.messages, loaded, kGroupFileName, kGroupRows);
    m_ok->setFocus();
}

bool TFGroup::CheckRows() { return passesRowCheck(m_platform.messages, checkGroupRows(gridRows(m_grid))); }

void TFGroup::bitbtn1Click() {
    if (!CheckRows()) return;
    if (saveReported(m_platform.messages, [this] { saveGroupTable(m_project.groupPath, gridRows(m_grid)); })) accept();
}

}  // namespace tessaro
