#pragma once

#include <QDialog>
#include <QSortFilterProxyModel>

class QFileSystemModel;
class QTreeView;
class QPushButton;

namespace tessaro::platform {

// Shows only the root folder and the folders below it.
class BelowRootFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit BelowRootFilter(QString root, QObject* parent = nullptr);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_root;
};

// A folder browser rooted at one folder: nothing above or beside it can be chosen.
class FolderBrowserDialog : public QDialog {
    Q_OBJECT
public:
    FolderBrowserDialog(QWidget* parent, const QString& title, const QString& root, const QString& start);

    // The chosen folder's full path (native separators), or empty text when nothing is chosen.
    QString chosenFolder() const;
    bool select(const QString& folder);

private:
    QString m_root;
    QFileSystemModel* m_model;
    BelowRootFilter* m_filter;
    QTreeView* m_tree;
    QPushButton* m_ok;
};

}  // namespace tessaro::platform
