#include "platform/FolderBrowserDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace tessaro::platform {

namespace {

QString cleanPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isSameOrBelow(const QString& path, const QString& root) {
    return path == root || path.startsWith(root.endsWith('/') ? root : root + '/');
}

}  // namespace

BelowRootFilter::BelowRootFilter(QString root, QObject* parent)
    : QSortFilterProxyModel(parent), m_root(std::move(root)) {}

bool BelowRootFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const auto* model = static_cast<const QFileSystemModel*>(sourceModel());
    const QString path = cleanPath(model->filePath(model->index(sourceRow, 0, sourceParent)));
    // Ancestors of the root must pass so that the view can reach it.
    return isSameOrBelow(path, m_root) || isSameOrBelow(m_root, path);
}

FolderBrowserDialog::FolderBrowserDialog(QWidget* parent, const QString& title, const QString& root,
                                         const QString& start)
    : QDialog(parent), m_root(cleanPath(root)) {
    setWindowTitle(title);
    resize(420, 360);
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(m_root);
    m_filter = new BelowRootFilter(m_root, this);
    m_filter->setSourceModel(m_model);

    m_tree = new QTreeView(this);
    m_tree->setModel(m_filter);
    m_tree->setHeaderHidden(true);
    for (int column = 1; column < m_model->columnCount(); ++column) m_tree->hideColumn(column);
    const QModelIndex rootIndex = m_filter->mapFromSource(m_model->index(m_root));
    m_tree->setRootIndex(rootIndex.parent());
    m_tree->expand(rootIndex);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { m_ok->setEnabled(!chosenFolder().isEmpty()); });
    // A double-click on a folder below the root is OK on it; on the root it only opens or closes the root.
    m_tree->setExpandsOnDoubleClick(false);
    connect(m_tree, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (cleanPath(m_model->filePath(m_filter->mapToSource(index))) == m_root) {
            m_tree->setExpanded(index, !m_tree->isExpanded(index));
            return;
        }
        m_tree->setCurrentIndex(index);
        if (!chosenFolder().isEmpty()) accept();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addWidget(buttons);

    if (!select(start)) select(m_root);
}

bool FolderBrowserDialog::select(const QString& folder) {
    if (folder.isEmpty()) return false;
    const QString path = cleanPath(folder);
    if (!isSameOrBelow(path, m_root) || !QFileInfo(path).isDir()) return false;
    const QModelIndex index = m_filter->mapFromSource(m_model->index(path));
    if (!index.isValid()) return false;
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
    return true;
}

QString FolderBrowserDialog::chosenFolder() const {
    const QModelIndex index = m_filter->mapToSource(m_tree->currentIndex());
    if (!index.isValid()) return {};
    const QString path = cleanPath(m_model->filePath(index));
    return isSameOrBelow(path, m_root) ? QDir::toNativeSeparators(path) : QString();
}

}  // namespace tessaro::platform
