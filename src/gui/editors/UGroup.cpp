#include "editors/UGroup.h"

#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <array>

#include "editors/CellGrid.h"
#include "platform/QtPlatform.h"

namespace tessaro {

namespace {

constexpr std::array<GridColumn, 3> kColumns = {GridColumn{"Group", 64}, GridColumn{"Cyclic Time [mS]", 104},
                                                GridColumn{"Mnemonic", 235}};

}  // namespace

TFGroup::TFGroup(platform::Platform platform, const ProjectState& project, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_project(project) {
    setObjectName(QStringLiteral("FGroup"));
    setWindowTitle(QStringLiteral("Groups Setting"));
    setFont(platform::toolFont());
    resize(430, 334);

    m_grid = makeCellGrid(this, int(kGroupRows), kColumns);
    m_ok = layOutGridDialog(this, m_grid, {"bitbtn1", "OK"}, {"bitbtn2", "Cancel"}).ok;
    connect(m_ok, &QPushButton::clicked, this, &TFGroup::bitbtn1Click);
    platform::centreOnScreen(this);
}

void TFGroup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFGroup::FormShow() {
    setGridTitles(m_grid, kColumns);
    GridFiller filler(m_grid);
    const TableRead loaded = readGroupTable(m_project.groupPath, filler.sink());
    filler.finish();
    reportTableLoad(m_platform.messages, loaded, kGroupFileName, kGroupRows);
    m_readGuard.shown(!loaded.failure);
    m_ok->setFocus();
}

bool TFGroup::CheckRows() {
    return passesRowCheck(m_platform.messages, checkGroupRows(gridRows(m_grid)));
}

void TFGroup::bitbtn1Click() {
    if (!CheckRows()) return;
    if (const auto warning = m_readGuard.beforeWrite(kGroupFileName)) {
        m_platform.messages.plain(QString::fromStdString(*warning));
        return;
    }
    if (saveReported(m_platform.messages, [this] { saveGroupTable(m_project.groupPath, gridRows(m_grid)); })) accept();
}

}  // namespace tessaro
