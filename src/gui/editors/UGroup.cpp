#include "gui/editors/UGroup.h"

#include <QPushButton>
#include <QTableWidget>
#include <array>

#include "core/documents/Errors.h"
#include "core/exchange/ProjectExchange.h"
#include "gui/editors/CellGrid.h"
#include "gui/editors/TableFiles.h"

namespace tessaro {

namespace {

constexpr std::array<GridColumn, 3> kColumns = {GridColumn{"Group", 64}, GridColumn{"Cyclic Time [mS]", 104},
                                                GridColumn{"Mnemonic", 235}};

}  // namespace

TFGroup::TFGroup(platform::Platform platform, const ProjectState& project, QWidget* parent)
    : Form("FGroup", QStringLiteral("Groups Setting"), {430, 334}, Sizing::resizable, parent),
      m_platform(platform),
      m_project(project) {
    m_grid = makeCellGrid(this, m_platform.messages, int(kGroupRows), kColumns);
    const GridButtons buttons = layOutGridDialog(this, m_grid, {"bitbtn1", "OK"}, {"bitbtn2", "Cancel"},
                                                 {{"bitbtn3", "Export"}, {"bitbtn4", "Import"}});
    m_ok = buttons.ok;
    connect(buttons.others[0], &QPushButton::clicked, this, &TFGroup::bitbtn3Click);
    connect(buttons.others[1], &QPushButton::clicked, this, &TFGroup::bitbtn4Click);
    connect(m_ok, &QPushButton::clicked, this, &TFGroup::bitbtn1Click);
    makeOkTheDefault(this, m_ok);
}

void TFGroup::showGroups() {
    setGridTitles(m_grid, kColumns);
    m_readGuard.watch({{m_project.groupPath, kGroupFileName}});
    GridFiller filler(m_grid);
    const ShowRead<> read = readGroupTable(m_project.groupPath, filler.sink());
    filler.finish();
    reportTableRead(m_platform.messages, read, kGroupFileName, kGroupRows);
    m_readGuard.shown(read.unreadFiles);
    m_ok->setFocus();
}

bool TFGroup::CheckRows() {
    return passesRowCheck(m_platform.messages, checkGroupRows(gridRows(m_grid)));
}

void TFGroup::saveAndClose() {
    if (!CheckRows()) return;
    if (const auto warning = m_readGuard.beforeWrite(kGroupFileName, groupRowsDropped(gridRows(m_grid)))) {
        m_platform.messages.plain(toQt(*warning));
        return;
    }
    if (!saveReported(m_platform.messages, [this] { saveGroupTable(m_project.groupPath, gridRows(m_grid)); })) return;
    m_readGuard.wrote(kGroupFileName);
    accept();
}

void TFGroup::exportGroups() {
    exportTableChosen(m_platform, this, TableKind::groups, m_project.projectFolder,
                      groupTableRows(heldRows(gridRows(m_grid))));
}

void TFGroup::importGroups() {
    const std::optional<std::string> path =
        chooseTableToRead(m_platform, this, TableKind::groups, m_project.projectFolder);
    if (!path) return;
    TableRows rows;
    try {
        rows = importedGroupRows(*path);
        if (const auto refusal = imageTooLarge(m_project.projectFolder, {.groups = rows.size()}))
            throw Error(*path + ": " + *refusal);
    } catch (const Error& refusal) {
        m_platform.messages.error(toQt(refusal.what()));
        return;
    }
    fillGrid(m_grid, rows);
    // The grid now holds the file's table whole; OK may replace the document with it.
    m_readGuard.shown();
}

}  // namespace tessaro
