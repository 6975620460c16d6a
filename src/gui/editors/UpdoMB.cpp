#include "editors/UpdoMB.h"

#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <array>

#include "editors/CellGrid.h"
#include "map/WellKnownPgns.h"
#include "platform/QtPlatform.h"

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
    : QDialog(parent), m_platform(platform), m_project(project) {
    setObjectName(QStringLiteral("FpdoMB"));
    setWindowTitle(QStringLiteral("J1939 Frame"));
    setFont(platform::toolFont());
    resize(710, 555);

    m_grid = makeCellGrid(this, int(kFrameRows), kColumns);
    m_groups = new ChoiceDelegate(m_grid);
    m_grid->setItemDelegateForColumn(kGroupColumn, m_groups);
    m_grid->setItemDelegateForColumn(
        kEraseColumn,
        new CheckBoxDelegate([this](const QModelIndex& index) { EraseDataClick(index.row() + 1); }, m_grid));
    for (int row = 0; row < m_grid->rowCount(); ++row)
        m_grid->item(row, kEraseColumn)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);

    // The PGN's acronym and name follow what the row holds, as loaded or typed.
    connect(m_grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() != kPgnColumn && item->column() != kDataPageColumn) return;
        QTableWidgetItem* pgn = m_grid->item(item->row(), kPgnColumn);
        QTableWidgetItem* dataPage = m_grid->item(item->row(), kDataPageColumn);
        if (!pgn || !dataPage) return;
        const QString tip =
            QString::fromStdString(wellKnownPgnTip(dataPage->text().toStdString(), pgn->text().toStdString()));
        if (pgn->toolTip() != tip) pgn->setToolTip(tip);
    });

    const GridButtons buttons = layOutGridDialog(this, m_grid, {"BitBtn1", "OK"}, {"BitBtn2", "Cancel"},
                                                 {{"BitBtn3", "Export"}, {"BitBtn4", "Import"}});
    // Export and Import have no action yet.
    for (QPushButton* inert : buttons.others) inert->setEnabled(false);
    m_ok = buttons.ok;
    connect(m_ok, &QPushButton::clicked, this, &TFpdoMB::BitBtn1Click);
    platform::centreOnScreen(this);
}

void TFpdoMB::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFpdoMB::FormShow() {
    GridFiller filler(m_grid);
    FrameTableRead loaded = readFrameTable(m_project.groupPath, m_project.frameJ1939Path, filler.sink());
    filler.finish();
    m_groupCaptions = std::move(loaded.captions);
    QStringList items;
    for (const std::string& caption : m_groupCaptions) items << QString::fromStdString(caption);
    m_groups->setItems(items);
    reportTableLoad(m_platform.messages, loaded.table, kFrameTableFileName, kFrameRows);
    m_readGuard.shown(!loaded.table.failure);
    m_ok->setFocus();
}

std::int32_t TFpdoMB::GroupIndexOf(const QString& cellText) const {
    return groupIndexOf(m_groupCaptions, cellText.toStdString());
}

void TFpdoMB::EraseDataClick(int row) {
    QTableWidgetItem* cell = m_grid->item(row - 1, kEraseColumn);
    if (!cell) return;
    const std::string_view next = eraseAfterClick(cell->text().toStdString());
    cell->setText(QString::fromUtf8(next.data(), qsizetype(next.size())));
}

bool TFpdoMB::CheckRows() {
    return passesRowCheck(m_platform.messages, checkFrameRows(gridRows(m_grid)));
}

void TFpdoMB::BitBtn1Click() {
    if (!CheckRows()) return;
    if (const auto warning = m_readGuard.beforeWrite(kFrameTableFileName)) {
        m_platform.messages.plain(QString::fromStdString(*warning));
        return;
    }
    if (saveReported(m_platform.messages,
                     [this] { saveFrameTable(m_project.frameJ1939Path, m_groupCaptions, gridRows(m_grid)); }))
        accept();
}

}  // namespace tessaro
