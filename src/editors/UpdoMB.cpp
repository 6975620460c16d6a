#include "editors/UpdoMB.h"

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

constexpr std::array<GridColumn, 7> kColumns = {
    GridColumn{"N", 64},     GridColumn{"Priority", 60},   GridColumn{"Data Page", 75}, GridColumn{"PGN", 128},
    GridColumn{"Group", 107}, GridColumn{"Erase Data", 64}, GridColumn{"Mnemonic", 147}};

constexpr int kGroupColumn = int(FrameColumn::Group) + 1;
constexpr int kEraseColumn = int(FrameColumn::Erase) + 1;

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QString::fromLatin1(name));
    return result;
}

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
        kEraseColumn, new CheckBoxDelegate([this](const QModelIndex& index) { EraseDataClick(index.row() + 1); }, m_grid));
    for (int row = 0; row < m_grid->rowCount(); ++row)
        m_grid->item(row, kEraseColumn)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);

    m_ok = button(this, "BitBtn1", QStringLiteral("OK"));
    QPushButton* cancel = button(this, "BitBtn2", QStringLiteral("Cancel"));
    QPushButton* exportButton = button(this, "BitBtn3", QStringLiteral("Export"));
    QPushButton* importButton = button(this, "BitBtn4", QStringLiteral("Import"));
    // Neither has an action yet.
    exportButton->setEnabled(false);
    importButton->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(exportButton);
    buttons->addWidget(importButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &TFpdoMB::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    centreOnScreen(this);
}

void TFpdoMB::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFpdoMB::FormShow() {
    FrameTableLoad loaded = loadFrameTable(m_project.groupPath, m_project.frameJ1939Path);
    m_groupCaptions = std::move(loaded.captions);
    QStringList items;
    for (const std::string& caption : m_groupCaptions) items << QString::fromStdString(caption);
    m_groups->setItems(items);
    fillGrid(m_grid, loaded.table.rows);
    reportTableLoad(m_platform.messages, loaded.table, kFrameFileName, kFrameRows);
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

bool TFpdoMB::CheckRows() { return passesRowCheck(m_platform.messages, checkFrameRows(gridRows(m_grid))); }

void TFpdoMB::BitBtn1Click() {
    if (!CheckRows()) return;
    if (saveReported(m_platform.messages,
                     [this] { saveFrameTable(m_project.frameJ1939Path, m_groupCaptions, gridRows(m_grid)); }))
        accept();
}

}  // namespace tessaro
