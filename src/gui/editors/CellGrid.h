#pragma once

#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>
#include <span>

#include "editors/TableDocument.h"
#include "platform/Platform.h"

class QDialog;
class QPushButton;
class QTableWidget;

namespace tessaro {

// The grids of the table editors: a title row, a fixed column 0 holding the row numbers, free-text data columns.

struct GridColumn {
    const char* title;
    int width;
};

// A grid named sgA with rows data rows and one column per entry; every cell already holds an item. Tab, Shift+Tab
// and the arrow keys move among the data cells only; typing never jumps to another row.
QTableWidget* makeCellGrid(QWidget* parent, int rows, std::span<const GridColumn> columns);
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

// A cell edited as text: Enter ends the edit and keeps what was typed, without reaching the dialog.
class CellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
};

// A cell edited only by choosing one of a fixed list of texts.
class ChoiceDelegate : public CellDelegate {
    Q_OBJECT
public:
    using CellDelegate::CellDelegate;

    void setItems(const QStringList& items) { m_items = items; }
    const QStringList& items() const { return m_items; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    QStringList m_items;
};

// A centred check box, set exactly when the cell text is "Y"; a click or the space key is handed to onClick.
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
