#include "gui/editors/CellGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

#include "core/documents/Errors.h"
#include "core/exchange/TabText.h"
#include "gui/forms/Form.h"

namespace tessaro {

namespace {

bool isEnter(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool isPaste(const QEvent* event) {
    return event->type() == QEvent::KeyPress && static_cast<const QKeyEvent*>(event)->matches(QKeySequence::Paste);
}

QString clipboardText() {
    return QGuiApplication::clipboard()->text();
}

QString counted(qsizetype count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

}  // namespace

CellGrid::CellGrid(int rows, int columns, platform::Messages& messages, QWidget* parent)
    : QTableWidget(rows, columns, parent), m_messages(messages), m_rules(std::size_t(columns)) {}

void CellGrid::setPasteRule(int column, PasteRule rule) {
    if (column > 0 && column < int(m_rules.size())) m_rules[std::size_t(column)] = std::move(rule);
}

QModelIndex CellGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    if (!next.isValid() || next.column() > 0 || columnCount() < 2) return next;
    if (action != MovePrevious) return model()->index(next.row(), 1);
    // Shift+Tab from the first data column: the last data column of the row above (of the last row at the top).
    int row = next.row();
    if (currentIndex().column() > 0) --row;
    return model()->index(row < 0 ? rowCount() - 1 : row, columnCount() - 1);
}

// Where a key pressed in a cell's closed list moves: every key that would change the choice without showing it.
std::optional<QAbstractItemView::CursorAction> CellGrid::listMove(const QKeyEvent* event) {
    if (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) return std::nullopt;
    switch (event->key()) {
        case Qt::Key_Up:
            return MoveUp;
        case Qt::Key_Down:
            return MoveDown;
        case Qt::Key_Left:
            return MoveLeft;
        case Qt::Key_Right:
            return MoveRight;
        case Qt::Key_Home:
            return MoveHome;
        case Qt::Key_End:
            return MoveEnd;
        case Qt::Key_PageUp:
            return MovePageUp;
        case Qt::Key_PageDown:
            return MovePageDown;
        default:
            return std::nullopt;
    }
}

bool CellGrid::stepOutOfList(const QKeyEvent* event) {
    const std::optional<CursorAction> action = listMove(event);
    if (!action) return false;
    const QModelIndex next = moveCursor(*action, Qt::NoModifier);
    if (next.isValid()) setCurrentIndex(next);
    return true;
}

void CellGrid::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
    } else if (event->matches(QKeySequence::Cut)) {
        copySelection();
        clearSelectedCells();
    } else if (event->matches(QKeySequence::Paste)) {
        const QModelIndex at = currentIndex();
        if (at.isValid()) paste(clipboardText(), at.row(), at.column());
    } else if (plain && (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        clearSelectedCells();
    } else if (event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier) {
        // On a cell with a list, Alt+Down opens the list, as it does in the cell's editor.
        const QModelIndex at = currentIndex();
        auto* choice = at.isValid() ? qobject_cast<ChoiceDelegate*>(itemDelegateForColumn(at.column())) : nullptr;
        if (!choice) return QTableWidget::keyPressEvent(event);
        edit(at);
        choice->openList();
    } else {
        return QTableWidget::keyPressEvent(event);
    }
    event->accept();
}

QRect CellGrid::selectedBlock() const {
    QRect block;
    for (const QModelIndex& index : selectedIndexes())
        if (index.column() > 0) block |= QRect(index.column(), index.row(), 1, 1);
    const QModelIndex current = currentIndex();
    if (block.isEmpty() && current.isValid() && current.column() > 0)
        block = QRect(current.column(), current.row(), 1, 1);
    return block;
}

void CellGrid::copySelection() const {
    const QRect block = selectedBlock();
    if (block.isEmpty()) return;
    TabRows rows;
    for (int row = block.top(); row <= block.bottom(); ++row) {
        std::vector<std::string>& texts = rows.emplace_back();
        for (int column = block.left(); column <= block.right(); ++column)
            texts.push_back(fromQt(item(row, column)->text()));
    }
    QGuiApplication::clipboard()->setText(toQt(writeTabText(rows)));
}

void CellGrid::clearSelectedCells() {
    const QRect block = selectedBlock();
    for (int row = block.top(); row <= block.bottom(); ++row)
        for (int column = block.left(); column <= block.right(); ++column) item(row, column)->setText(QString());
}

QString CellGrid::pastedCell(int column, const std::string& text) const {
    const PasteRule& rule = m_rules[std::size_t(column)];
    const std::string line = singleLine(text);
    return toQt(rule ? rule(line) : line);
}

bool CellGrid::paste(const QString& text, int row, int column) {
    const TabRows cells = readTabText(fromQt(text));
    if (cells.empty() || row < 0) return true;
    column = std::max(column, 1);
    std::size_t width = 0;
    for (const std::vector<std::string>& line : cells) width = std::max(width, line.size());
    QRect block(column, row, int(width), int(cells.size()));
    // One cell fills every cell of the selection it is pasted into.
    const QRect selected = selectedBlock();
    const bool fill = block.size() == QSize(1, 1) && selected.contains(block.topLeft());
    if (fill) block = selected;
    const int roomDown = rowCount() - block.top();
    const int roomAcross = columnCount() - block.left();
    if (block.height() > roomDown || block.width() > roomAcross) {
        const QTableWidgetItem* title = horizontalHeaderItem(column);
        m_messages.plain(QStringLiteral("Nothing was pasted: the clipboard holds %1 of %2, and from row %3, column "
                                        "\"%4\", the grid has room for %5 of %6.")
                             .arg(counted(qsizetype(cells.size()), "row", "rows"),
                                  counted(qsizetype(width), "cell", "cells"), QString::number(row + 1),
                                  title ? title->text() : QString::number(column), counted(roomDown, "row", "rows"),
                                  counted(roomAcross, "cell", "cells")));
        return false;
    }
    for (int r = 0; r < block.height(); ++r) {
        const std::vector<std::string>& line = cells[fill ? 0 : std::size_t(r)];
        for (int c = 0; c < block.width(); ++c) {
            const std::size_t from = fill ? 0 : std::size_t(c);
            if (from < line.size())
                item(block.top() + r, block.left() + c)->setText(pastedCell(block.left() + c, line[from]));
        }
    }
    // The pasted cells stay selected, as in a spreadsheet.
    setCurrentIndex(model()->index(block.top(), block.left()));
    selectionModel()->select(
        QItemSelection(model()->index(block.top(), block.left()), model()->index(block.bottom(), block.right())),
        QItemSelectionModel::ClearAndSelect);
    return true;
}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QWidget* editor = ClippedTextTips::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        // Paste in the editor's menu pastes as Ctrl+V does.
        line->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(line, &QWidget::customContextMenuRequested, this, [this, line](const QPoint& at) {
            const std::unique_ptr<QMenu> menu(line->createStandardContextMenu());
            // The menu's Paste is the action that calls the line's paste.
            for (QAction* action : menu->actions())
                if (disconnect(action, &QAction::triggered, line, &QLineEdit::paste) ||
                    disconnect(action, SIGNAL(triggered()), line, SLOT(paste())))
                    connect(action, &QAction::triggered, line,
                            [this, line] { const_cast<CellDelegate*>(this)->pasteInto(line); });
            menu->exec(line->mapToGlobal(at));
        });
    }
    return editor;
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    // A middle-click paste may still have brought tabs or line breaks: a cell holds one line, as typed.
    if (const auto* line = qobject_cast<const QLineEdit*>(editor)) {
        model->setData(index, toQt(singleLine(fromQt(line->text()))), Qt::EditRole);
        return;
    }
    ClippedTextTips::setModelData(editor, model, index);
}

CellGrid* CellDelegate::grid() const {
    return qobject_cast<CellGrid*>(parent());
}

void CellDelegate::pasteInto(QWidget* editor) {
    const QString text = clipboardText();
    const TabRows cells = readTabText(fromQt(text));
    if (cells.empty()) return;
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line && cells.size() == 1 && cells.front().size() == 1) {
        line->insert(toQt(singleLine(cells.front().front())));
        return;
    }
    // Several cells, or a cell with a list: pasted as cells from the one being edited, whose edit ends then.
    CellGrid* target = grid();
    if (!target) return;
    const QModelIndex at = target->currentIndex();
    if (target->paste(text, at.row(), at.column())) emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool CellDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(object);
    // Enter ends the edit and keeps the value; the dialog stays open, and the next Enter reaches its OK.
    if (editor && isEnter(event)) {
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        return true;
    }
    if (editor && isPaste(event)) {
        pasteInto(editor);
        return true;
    }
    return ClippedTextTips::eventFilter(object, event);
}

CellGrid* makeCellGrid(QWidget* parent, platform::Messages& messages, int rows, std::span<const GridColumn> columns) {
    auto* grid = new CellGrid(rows, int(columns.size()), messages, parent);
    grid->setItemDelegate(new CellDelegate(grid));
    grid->setObjectName(QStringLiteral("sgA"));
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(grid->fontMetrics().height() + 4);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setSortingEnabled(false);
    // A block of cells, as a spreadsheet selects it: dragged, or with Shift and the arrow keys.
    grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
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
    m_editor = list;
    connect(list, &QComboBox::activated, this, [this, list] {
        auto* self = const_cast<ChoiceDelegate*>(this);
        emit self->commitData(list);
        emit self->closeEditor(list);
    });
    return list;
}

void ChoiceDelegate::openList() const {
    if (m_editor) m_editor->showPopup();
}

bool ChoiceDelegate::eventFilter(QObject* object, QEvent* event) {
    // A move key leaves the cell as it was and moves on; only the open list changes the choice.
    if (event->type() == QEvent::KeyPress && object == m_editor && grid() &&
        CellGrid::isListMove(static_cast<QKeyEvent*>(event))) {
        QComboBox* list = m_editor;
        emit closeEditor(list, QAbstractItemDelegate::NoHint);
        grid()->stepOutOfList(static_cast<QKeyEvent*>(event));
        return true;
    }
    return CellDelegate::eventFilter(object, event);
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
    // A click with Shift or Ctrl selects cells, as elsewhere in the grid, and leaves the box as it is.
    const auto* mouse = event->type() == QEvent::MouseButtonRelease ? static_cast<QMouseEvent*>(event) : nullptr;
    const bool clicked = mouse && mouse->button() == Qt::LeftButton &&
                         !(mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) &&
                         option.rect.contains(mouse->position().toPoint());
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
