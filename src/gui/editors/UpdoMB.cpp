#include "gui/editors/UpdoMB.h"

#include <QPushButton>
#include <QTableWidget>
#include <array>

#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/exchange/ProjectExchange.h"
#include "core/j1939/WellKnownPgns.h"
#include "gui/editors/CellGrid.h"
#include "gui/editors/TableFiles.h"

namespace tessaro {

namespace {

constexpr std::array<GridColumn, 7> kColumns = {
    GridColumn{"N", 64},      GridColumn{"Priority", 60},   GridColumn{"Data Page", 75}, GridColumn{"PGN", 128},
    GridColumn{"Group", 107}, GridColumn{"Erase Data", 64}, GridColumn{"Mnemonic", 147}};

constexpr int kDataPageColumn = int(FrameColumn::DataPage) + 1;
constexpr int kPgnColumn = int(FrameColumn::Pgn) + 1;
constexpr int kGroupColumn = int(FrameColumn::Group) + 1;
constexpr int kEraseColumn = int(FrameColumn::Erase) + 1;

}  // namespace

TFpdoMB::TFpdoMB(platform::Platform platform, const ProjectState& project, QWidget* parent)
    : Form("FpdoMB", QStringLiteral("J1939 Frame"), {710, 555}, Sizing::resizable, parent),
      m_platform(platform),
      m_project(project) {
    m_grid = makeCellGrid(this, m_platform.messages, int(kFrameRows), kColumns);
    m_groups = new ChoiceDelegate(m_grid);
    m_grid->setItemDelegateForColumn(kGroupColumn, m_groups);
    m_grid->setItemDelegateForColumn(
        kEraseColumn,
        new CheckBoxDelegate([this](const QModelIndex& index) { EraseDataClick(index.row() + 1); }, m_grid));
    for (int row = 0; row < m_grid->rowCount(); ++row)
        m_grid->item(row, kEraseColumn)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    // Pasted texts become what the cells could show: a group's caption, a ticked or empty box.
    m_grid->setPasteRule(kGroupColumn,
                         [this](std::string_view text) { return pastedGroupCell(m_groupCaptions, text); });
    m_grid->setPasteRule(kEraseColumn, [](std::string_view text) { return std::string(pastedEraseCell(text)); });

    // The PGN's acronym and name follow what the row holds, as loaded or typed.
    connect(m_grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() != kPgnColumn && item->column() != kDataPageColumn) return;
        QTableWidgetItem* pgn = m_grid->item(item->row(), kPgnColumn);
        QTableWidgetItem* dataPage = m_grid->item(item->row(), kDataPageColumn);
        if (!pgn || !dataPage) return;
        const QString tip = toQt(wellKnownPgnTip(fromQt(dataPage->text()), fromQt(pgn->text())));
        if (pgn->toolTip() != tip) pgn->setToolTip(tip);
    });

    const GridButtons buttons = layOutGridDialog(this, m_grid, {"BitBtn1", "OK"}, {"BitBtn2", "Cancel"},
                                                 {{"BitBtn3", "Export"}, {"BitBtn4", "Import"}});
    m_ok = buttons.ok;
    connect(buttons.others[0], &QPushButton::clicked, this, &TFpdoMB::BitBtn3Click);
    connect(buttons.others[1], &QPushButton::clicked, this, &TFpdoMB::BitBtn4Click);
    connect(m_ok, &QPushButton::clicked, this, &TFpdoMB::BitBtn1Click);
    makeOkTheDefault(this, m_ok);
}

void TFpdoMB::showFrames() {
    // Group.xml only names the groups: OK stores their numbers, whatever it holds by then.
    m_readGuard.watch({{m_project.frameJ1939Path, kFrameTableFileName}});
    GridFiller filler(m_grid);
    ShowRead<tessaro::GroupCaptions> read =
        readFrameTable(m_project.groupPath, m_project.frameJ1939Path, filler.sink());
    filler.finish();
    m_groupCaptions = std::move(read.content);
    QStringList items;
    for (const std::string& caption : m_groupCaptions) items << toQt(caption);
    m_groups->setItems(items);
    reportTableRead(m_platform.messages, read, kFrameTableFileName, kFrameRows);
    m_readGuard.shown(read.unreadFiles);
    m_imported = false;
    m_ok->setFocus();
}

std::int32_t TFpdoMB::GroupIndexOf(const QString& cellText) const {
    return groupIndexOf(m_groupCaptions, fromQt(cellText));
}

void TFpdoMB::toggleErase(int row) {
    QTableWidgetItem* cell = m_grid->item(row - 1, kEraseColumn);
    if (!cell) return;
    cell->setText(toQt(eraseAfterClick(fromQt(cell->text()))));
}

bool TFpdoMB::CheckRows() {
    return passesRowCheck(m_platform.messages, checkFrameRows(gridRows(m_grid)));
}

void TFpdoMB::exportFrames() {
    exportTableChosen(m_platform, this, TableKind::frames, m_project.projectFolder,
                      frameTableRows(heldFrameRows(m_groupCaptions, gridRows(m_grid))));
}

void TFpdoMB::importFrames() {
    const std::optional<std::string> path =
        chooseTableToRead(m_platform, this, TableKind::frames, m_project.projectFolder);
    if (!path) return;
    TableRows rows;
    try {
        rows = importedFrameRows(*path);
        if (const auto refusal = imageTooLarge(m_project.projectFolder, {.frames = rows.size()}))
            throw Error(*path + ": " + *refusal);
    } catch (const Error& refusal) {
        m_platform.messages.error(toQt(refusal.what()));
        return;
    }
    for (TableRow& row : rows)
        row[FrameColumn::Group] = groupCaptionOf(m_groupCaptions, toInteger(row[FrameColumn::Group]));
    fillGrid(m_grid, rows);
    // The grid now holds the file's table whole; OK may replace the document with it.
    m_readGuard.shown();
    m_imported = true;
}

void TFpdoMB::saveAndClose() {
    if (!CheckRows()) return;
    const TableRows rows = gridRows(m_grid);
    std::optional<std::string> loss = frameRowsDropped(rows);
    // An imported table may hold fewer frames than the definitions use; OK says which it would leave without one.
    if (m_imported)
        if (const DefinitionsWithoutFrame left =
                definitionsLeftWithoutFrame(m_project.projectFolder, usedRowCount(rows));
            !left.empty())
            loss = (loss ? *loss + "\n\n" : std::string()) + definitionsWithoutFrameMessage(left);
    if (const auto warning = m_readGuard.beforeWrite(kFrameTableFileName, loss)) {
        m_platform.messages.plain(toQt(*warning));
        return;
    }
    if (!saveReported(m_platform.messages,
                      [this] { saveFrameTable(m_project.frameJ1939Path, m_groupCaptions, gridRows(m_grid)); }))
        return;
    m_readGuard.wrote(kFrameTableFileName);
    accept();
}

}  // namespace tessaro
