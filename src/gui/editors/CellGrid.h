#pragma once

#include <QPointer>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <functional>
#include <optional>
#include <span>

#include "core/editors/TableDocument.h"
#include "gui/forms/CellTips.h"
#include "platform/Platform.h"

class QComboBox;
class QDialog;
class QKeyEvent;
class QPushButton;

namespace tessaro {

// The grids of the table editors: a title row, a fixed column 0 holding the row numbers, free-text data columns.

struct GridColumn {
    const char* title;
    int width;
};

// The keys of a spreadsheet over the data cells: the keyboard moves among them only (column 0 holds the row numbers
// and is never a place to type), typing never searches for a row, Delete and Backspace empty the selected cells,
// Ctrl+C and Ctrl+X copy them as tab-separated text, and Ctrl+V pastes such text from the current cell.
class CellGrid : public QTableWidget {
    Q_OBJECT
public:
    CellGrid(int rows, int columns, platform::Messages& messages, QWidget* parent);

    // What a text pasted into the column becomes; without a rule, the text on one line, as typing gives it.
    using PasteRule = std::function<std::string(std::string_view)>;
    void setPasteRule(int column, PasteRule rule);

    // Pastes tab-separated text, one row per line, into the cells from (row, column), never into column 0; a single
    // cell fills every selected cell. A block that would not fit says so and pastes nothing (false).
    bool paste(const QString& text, int row, int column);
    void copySelection() const;
    void clearSelectedCells();
    // The keys that would change a closed list's choice without showing it; each moves the current cell instead.
    static bool isListMove(const QKeyEvent* event) { return listMove(event).has_value(); }
    bool stepOutOfList(const QKeyEvent* event);

    void keyboardSearch(const QString&) override {}

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static std::optional<CursorAction> listMove(const QKeyEvent* event);
    // The data cells selected, as one rectangle; the current one when none is.
    QRect selectedBlock() const;
    QString pastedCell(int column, const std::string& text) const;

    platform::Messages& m_messages;
    std::vector<PasteRule> m_rules;
};

// A grid named sgA with rows data rows and one column per entry; every cell already holds an item.
CellGrid* makeCellGrid(QWidget* parent, platform::Messages& messages, int rows, std::span<const GridColumn> columns);
void setGridTitles(QTableWidget* grid, std::span<const GridColumn> columns);

// Sets every cell of the grid once as a reader hands the data cells over in order: the cells it skips and, at
// finish, those after the last one are emptied; column 0 gets the row number.
class GridFiller {
public:
    explicit GridFiller(QTableWidget* grid);
    void set(std::size_t row, std::size_t column, std::string_view text);
    void finish();
    CellSink sink() {
        return [this](std::size_t row, std::size_t column, std::string_view text) { set(row, column, text); };
    }

private:
    void place(std::size_t cell, const QString& text);
    void emptyUpTo(std::size_t cell);

    QTableWidget* m_grid;
    std::size_t m_dataColumns;
    std::size_t m_cells;
    std::size_t m_next = 0;
};

// Sets every cell once: column 0 the row number, the data columns the texts of rows, empty beyond them.
void fillGrid(QTableWidget* grid, const TableRows& rows);
// The data columns of every row.
TableRows gridRows(const QTableWidget* grid);

// Show: the read's failures in the standard error box, then the note on the rows beyond the grid.
void reportTableRead(platform::Messages& messages, const std::vector<std::string>& failures, std::size_t documentRows,
                     std::string_view fileName, std::size_t gridRows);
template <class Content>
void reportTableRead(platform::Messages& messages, const ShowRead<Content>& read, std::string_view fileName,
                     std::size_t gridRows) {
    reportTableRead(messages, read.failures, read.documentRows, fileName, gridRows);
}
// A row check's message in an error box; true when there is none.
bool passesRowCheck(platform::Messages& messages, const std::optional<std::string>& broken);
// OK: runs the save; its failure goes to the standard error box. True when written.
bool saveReported(platform::Messages& messages, const std::function<void()>& save);

// A cell edited as text: Enter ends the edit and keeps what was typed, without reaching the dialog. Ctrl+V of a
// single cell inserts its text; of several cells, pastes them into the grid from this cell and ends the edit. What
// the edit keeps is one line. A cell too narrow for its text gives it whole as its tip.
class CellDelegate : public ClippedTextTips {
    Q_OBJECT
public:
    using ClippedTextTips::ClippedTextTips;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    CellGrid* grid() const;

private:
    void pasteInto(QWidget* editor);
};

// A cell edited only by choosing one of a fixed list of texts. The arrow keys in it move to another cell and leave
// this one as it was; Alt+Down (or F4) opens the list.
class ChoiceDelegate : public CellDelegate {
    Q_OBJECT
public:
    using CellDelegate::CellDelegate;

    void setItems(const QStringList& items) { m_items = items; }
    const QStringList& items() const { return m_items; }
    // Opens the list of the cell being edited.
    void openList() const;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    QStringList m_items;
    mutable QPointer<QComboBox> m_editor;
};

// A centred check box, set exactly when the cell text is "Y"; a click (without Shift or Ctrl, which select) or the
// space key is handed to onClick.
class CheckBoxDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    CheckBoxDelegate(std::function<void(const QModelIndex&)> onClick, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override { return nullptr; }
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    std::function<void(const QModelIndex&)> m_onClick;
};

// A button bar below the grid: OK and Cancel at the left, the others at the right. Cancel rejects the dialog.
struct GridButtons {
    QPushButton* ok;
    QPushButton* cancel;
    std::vector<QPushButton*> others;
};
struct ButtonName {
    const char* objectName;
    const char* caption;
};
GridButtons layOutGridDialog(QDialog* dialog, QTableWidget* grid, ButtonName ok, ButtonName cancel,
                             std::initializer_list<ButtonName> others = {});

}  // namespace tessaro
