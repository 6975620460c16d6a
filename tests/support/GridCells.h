#pragma once

#include <QTableWidget>
#include <functional>
#include <string>

#include "support/FakePlatform.h"

namespace tessaro::testing {

// The grid sgA of a table editor, cells addressed as the user sees them (row 1 is the first data row).
class GridCells {
public:
    explicit GridCells(QWidget& dialog) : m_grid(child<QTableWidget>(dialog, "sgA")) {}

    std::string operator()(int row, int column) const { return m_grid->item(row - 1, column)->text().toStdString(); }
    void set(int row, int column, const std::string& text) const {
        m_grid->item(row - 1, column)->setText(QString::fromStdString(text));
    }
    QTableWidget* grid() const { return m_grid; }

private:
    QTableWidget* m_grid;
};

// Queues a script that acts as the user in the next dialog shown, with the dialog's grid at hand.
template <typename Dialog>
void withGrid(ScriptedDialogs& dialogs, std::function<void(Dialog&, const GridCells&)> script) {
    dialogs.then([script](QDialog& dialog) { script(static_cast<Dialog&>(dialog), GridCells(dialog)); });
}

}  // namespace tessaro::testing
