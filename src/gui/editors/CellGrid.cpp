#include "editors/CellGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "documents/Errors.h"
#include "forms/Form.h"

namespace tessaro {

namespace {

bool isEnter(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The keyboard moves among the data cells only, so typed values land in the row the user looks at: column 0 holds
// the row numbers and is never a place to type. Typing never searches for a row either.
class DataCellGrid : public QTableWidget {
public:
    using QTableWidget::QTableWidget;

    void keyboardSearch(const QString&) override {}

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
        if (!next.isValid() || next.column() > 0 || columnCount() < 2) return next;
        if (action != MovePrevious) return model()->index(next.row(), 1);
        // Shift+Tab from the first data column: the last data column of the row above (of the last row at the top).
        int row = next.row();
        if (currentIndex().column() > 0) --row;
        return model()->index(row < 0 ? rowCount() - 1 : row, columnCount() - 1);
    }
};

}  // namespace

bool CellDelegate::eventFilter(QObject* object, QEvent* event) {
    // Enter ends the edit and keeps the value; the dialog stays open, and the next Enter reaches its OK.
    if (auto* editor = qobject_cast<QWidget*>(object); editor && isEnter(event)) {
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

QTableWidget* makeCellGrid(QWidget* parent, int rows, std::span<const GridColumn> columns) {
    QTableWidget* grid = new DataCellGrid(rows, int(columns.size()), parent);
    grid->setItemDelegate(new CellDelegate(grid));
    grid->setObjectName(QStringLiteral("sgA"));
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(grid->fontMetrics().height() + 4);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setSortingEnabled(false);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    setGridTitles(grid, columns);
    const QBrush fixed = grid->palette().button();
    for (int row = 0; row < rows; ++row) {
        auto* number = new QTableWidgetItem(QString::number(row + 1));
        number->setFlags(Qt::ItemIsEnabled);
        number->setBackground(fixed);
        grid->setItem(row, 0, number);
        for (int column = 1; column < int(columns.size()); ++column)
            grid->setItem(row, column, new QTableWidgetItem(QString()));
    }
    for (int column = 0; column < int(columns.size()); ++column) grid->setColumnWidth(column, columns[column].width);
    return grid;
}

void setGridTitles(QTableWidget* grid, std::span<const GridColumn> columns) {
    QStringList titles;
    for (const GridColumn& column : columns) titles << QString::fromLatin1(column.title);
    grid->setHorizontalHeaderLabels(titles);
}

GridFiller::GridFiller(QTableWidget* grid)
    : m_grid(grid),
      m_dataColumns(std::size_t(grid->columnCount() - 1)),
      m_cells(std::size_t(grid->rowCount()) * m_dataColumns) {}

void GridFiller::place(std::size_t cell, const QString& text) {
    const int row = int(cell / m_dataColumns);
    const int column = int(cell % m_dataColumns) + 1;
    if (column == 1) m_grid->item(row, 0)->setText(QString::number(row + 1));
    m_grid->item(row, column)->setText(text);
}

void GridFiller::emptyUpTo(std::size_t cell) {
    for (; m_next < cell && m_next < m_cells; ++m_next) place(m_next, QString());
}

void GridFiller::set(std::size_t row, std::size_t column, std::string_view text) {
    const std::size_t cell = row * m_dataColumns + column;
    if (column >= m_dataColumns || cell >= m_cells || cell < m_next) return;
    emptyUpTo(cell);
    place(cell, toQt(text));
    m_next = cell + 1;
}

void GridFiller::finish() {
    emptyUpTo(m_cells);
}

void fillGrid(QTableWidget* grid, const TableRows& rows) {
    GridFiller filler(grid);
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (std::size_t column = 0; column < rows[row].size(); ++column) filler.set(row, column, rows[row][column]);
    filler.finish();
}

TableRows gridRows(const QTableWidget* grid) {
    TableRows rows(std::size_t(grid->rowCount()));
    for (int row = 0; row < grid->rowCount(); ++row) {
        TableRow& texts = rows[std::size_t(row)];
        texts.reserve(std::size_t(grid->columnCount() - 1));
        for (int column = 1; column < grid->columnCount(); ++column)
            texts.push_back(fromQt(grid->item(row, column)->text()));
    }
    return rows;
}

void reportTableRead(platform::Messages& messages, const std::vector<std::string>& failures, std::size_t documentRows,
                     std::string_view fileName, std::size_t gridRows) {
    for (const std::string& failure : failures) messages.standardError(toQt(failure));
    if (documentRows > gridRows) messages.plain(toQt(overflowMessage(fileName, documentRows, gridRows)));
}

bool passesRowCheck(platform::Messages& messages, const std::optional<std::string>& broken) {
    if (broken) messages.error(toQt(*broken));
    return !broken;
}

bool saveReported(platform::Messages& messages, const std::function<void()>& save) {
    try {
        save();
    } catch (const Error& failure) {
        messages.standardError(toQt(failure.what()));
        return false;
    }
    return true;
}

QWidget* ChoiceDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const {
    auto* list = new QComboBox(parent);
    list->setEditable(false);
    list->addItems(m_items);
    connect(list, &QComboBox::activated, this, [this, list] {
        auto* self = const_cast<ChoiceDelegate*>(this);
        emit self->commitData(list);
        emit self->closeEditor(list);
    });
    return list;
}

void ChoiceDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* list = static_cast<QComboBox*>(editor);
    list->setCurrentIndex(list->findText(index.data(Qt::EditRole).toString(), Qt::MatchExactly));
}

void ChoiceDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    const auto* list = static_cast<QComboBox*>(editor);
    if (list->currentIndex() >= 0) model->setData(index, list->currentText(), Qt::EditRole);
}

void ChoiceDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                          const QModelIndex&) const {
    editor->setGeometry(option.rect);
}

CheckBoxDelegate::CheckBoxDelegate(std::function<void(const QModelIndex&)> onClick, QObject* parent)
    : QStyledItemDelegate(parent), m_onClick(std::move(onClick)) {}

void CheckBoxDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    QStyleOptionButton box;
    box.state = QStyle::State_Enabled;
    box.state |= index.data(Qt::DisplayRole).toString() == QLatin1String("Y") ? QStyle::State_On : QStyle::State_Off;
    const QRect indicator = style->subElementRect(QStyle::SE_CheckBoxIndicator, &box, widget);
    box.rect = QRect(QPoint(), indicator.size());
    box.rect.moveCenter(option.rect.center());
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
}

bool CheckBoxDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) {
    if (!event) return false;
    const bool clicked = event->type() == QEvent::MouseButtonRelease &&
                         static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                         option.rect.contains(static_cast<QMouseEvent*>(event)->position().toPoint());
    const bool spaced = event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space;
    if (!clicked && !spaced) return false;
    m_onClick(index);
    return true;
}

GridButtons layOutGridDialog(QDialog* dialog, QTableWidget* grid, ButtonName ok, ButtonName cancel,
                             std::initializer_list<ButtonName> others) {
    const auto button = [dialog](ButtonName name) {
        auto* result = new QPushButton(QString::fromLatin1(name.caption), dialog);
        result->setObjectName(QString::fromLatin1(name.objectName));
        return result;
    };
    GridButtons buttons{button(ok), button(cancel), {}};
    auto* bar = new QHBoxLayout;
    bar->addWidget(buttons.ok);
    bar->addWidget(buttons.cancel);
    bar->addStretch();
    for (ButtonName other : others) bar->addWidget(buttons.others.emplace_back(button(other)));
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->addWidget(grid);
    layout->addLayout(bar);
    QObject::connect(buttons.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace tessaro
