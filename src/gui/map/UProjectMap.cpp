#include "gui/map/UProjectMap.h"

#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/image/ConfigurationImage.h"
#include "core/map/MapFormats.h"
#include "core/map/SignalAnalysis.h"
#include "gui/forms/CellTips.h"
#include "gui/map/MapPdf.h"

namespace tessaro {

namespace {

const QColor kFedTwice(255, 205, 205);

QTableWidget* readOnlyTable(QWidget* parent, const char* name) {
    auto* table = new QTableWidget(parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setWordWrap(false);
    table->setItemDelegate(new ClippedTextTips(table));
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

using ItemMaker = std::function<QTableWidgetItem*(std::size_t row, std::size_t column, const std::string& text)>;

// Every cell gets its text, and whatever decorate adds, before it goes into the table. The rows are all as high
// as the tallest cell, up to maxLines lines: one height for all is set once, where a height per row would cost as
// much as the cells themselves in the largest project.
void fillTable(QTableWidget* table, const MapTable& texts, int maxLines,
               const std::function<void(std::size_t, std::size_t, QTableWidgetItem&)>& decorate = {},
               const ItemMaker& make = {}) {
    table->setUpdatesEnabled(false);
    table->clear();
    table->setColumnCount(int(texts.titles.size()));
    table->setRowCount(0);
    QStringList titles;
    for (const std::string& title : texts.titles) titles << toQt(title);
    table->setHorizontalHeaderLabels(titles);
    int lines = 1;
    for (const std::vector<std::string>& cells : texts.rows)
        for (const std::string& text : cells)
            lines = std::max(lines, int(std::count(text.begin(), text.end(), '\n')) + 1);
    table->verticalHeader()->setDefaultSectionSize(std::min(lines, maxLines) * table->fontMetrics().lineSpacing() + 6);
    table->setRowCount(int(texts.rows.size()));
    // The model tells the view once about the whole grid, not once for each of its thousands of cells.
    QAbstractItemModel* model = table->model();
    const bool wasBlocked = model->blockSignals(true);
    for (std::size_t row = 0; row < texts.rows.size(); ++row) {
        const std::vector<std::string>& cells = texts.rows[row];
        for (std::size_t column = 0; column < cells.size(); ++column) {
            QTableWidgetItem* item =
                make ? make(row, column, cells[column]) : new QTableWidgetItem(toQt(cells[column]));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (decorate) decorate(row, column, *item);
            table->setItem(int(row), int(column), item);
        }
    }
    model->blockSignals(wasBlocked);
    if (!texts.rows.empty())
        emit model->dataChanged(model->index(0, 0), model->index(model->rowCount() - 1, model->columnCount() - 1));
    table->setUpdatesEnabled(true);
}

// The widths of a font's characters, looked up: the largest project's grids hold a hundred thousand lines, and
// measuring each costs more than filling its cell.
class CharacterWidths {
public:
    explicit CharacterWidths(const QFontMetrics& metrics) : m_metrics(metrics), m_widths(65536, -1) {}

    int of(std::string_view line) {
        int width = 0;
        for (const char c : line) {
            if (static_cast<unsigned char>(c) >= 0x80) return of(toQt(line));
            width += advance(QChar(c));
        }
        return width;
    }
    int of(const QString& line) {
        int width = 0;
        for (const QChar c : line) {
            if (c.isSurrogate()) return m_metrics.horizontalAdvance(line);
            width += advance(c);
        }
        return width;
    }

private:
    int advance(QChar c) {
        int& width = m_widths[c.unicode()];
        if (width < 0) width = m_metrics.horizontalAdvance(c);
        return width;
    }

    QFontMetrics m_metrics;
    std::vector<int> m_widths;
};

// Each column as wide as its widest line and its title where the table has room for them all; where it has not,
// the widest columns are cut to one width, the one that fills the table, and the others keep theirs. The last
// column stretches over what is left. A cell that still cuts its text has it whole as its tip.
void fitColumns(QTableWidget* table, const MapTable& texts) {
    QStyle* style = table->style();
    const int cellMargin = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1) + 4;
    QHeaderView* header = table->horizontalHeader();
    const int headerMargin = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 4 +
                             (header->isSortIndicatorShown() ? style->pixelMetric(QStyle::PM_HeaderMarkSize) : 0);
    CharacterWidths cells(table->fontMetrics());
    CharacterWidths titles(header->fontMetrics());
    const std::size_t columns = texts.titles.size();
    std::vector<int> natural(columns);
    for (std::size_t column = 0; column < columns; ++column) {
        int& width = natural[column];
        width = titles.of(std::string_view(texts.titles[column])) + headerMargin;
        for (const std::vector<std::string>& row : texts.rows) {
            if (column >= row.size()) continue;
            std::string_view text = row[column];
            for (std::size_t end; !text.empty(); text.remove_prefix(std::min(end + 1, text.size()))) {
                end = std::min(text.find('\n'), text.size());
                width = std::max(width, cells.of(text.substr(0, end)) + cellMargin);
            }
        }
    }
    // The widest width the room allows: the narrow columns whole, the others all cut to it.
    const int room = table->width() - 2 * table->frameWidth() - table->verticalScrollBar()->sizeHint().width();
    std::vector<int> sorted = natural;
    std::sort(sorted.begin(), sorted.end());
    int level = sorted.empty() ? 0 : sorted.back(), whole = 0;
    for (std::size_t k = 0; k < sorted.size(); ++k) {
        const int cut = (room - whole) / int(sorted.size() - k);
        if (cut < sorted[k]) {
            level = std::max(cut, 24);
            break;
        }
        whole += sorted[k];
    }
    // The last column too: stretched, it is never narrower than the width it was given.
    for (std::size_t column = 0; column < columns; ++column)
        table->setColumnWidth(int(column), std::min(natural[column], level));
}

// Sorted by the number it stands for: a finding about no frame after those about one.
class NumberItem : public QTableWidgetItem {
public:
    NumberItem(const std::string& text, int key) : QTableWidgetItem(toQt(text)) { setData(Qt::UserRole, key); }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(Qt::UserRole).toInt() < other.data(Qt::UserRole).toInt();
    }
};

bool fedTwiceCell(const ProjectMap& map, std::size_t row, std::size_t column) {
    return column >= std::size_t(kFirstByteColumn) &&
           map.frames[row].bytes[column - std::size_t(kFirstByteColumn)].fedTwice();
}

QString shownProjectName(const ProjectState& project) {
    QString name = toQt(project.projectName);
    while (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\'))) name.remove(0, 1);
    return name;
}

// "Save PDF" under way: the sheet is made on a thread of its own while this dialog shows how far it has come and
// offers Cancel. The file is written only once the window has said so, on its own thread, so that a Cancel the
// window has taken is never overtaken by the file; Cancel while the file is being written waits for it.
class SavePdfProgress : public Form {
public:
    SavePdfProgress(QWidget* parent, std::shared_ptr<const ProjectMap> map, SheetHeading heading, std::string path)
        : Form("FSavePdf", QStringLiteral("Save PDF"), {380, 110}, Sizing::fixed, parent),
          m_map(std::move(map)),
          m_heading(std::move(heading)),
          m_path(std::move(path)) {
        auto* layout = new QVBoxLayout(this);
        m_label = new QLabel(QStringLiteral("Laying out the pages..."), this);
        m_label->setObjectName(QStringLiteral("LProgress"));
        m_bar = new QProgressBar(this);
        m_bar->setObjectName(QStringLiteral("PbProgress"));
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
        m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
        m_cancel->setObjectName(QStringLiteral("BtnCancel"));
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(m_cancel);
        layout->addWidget(m_label);
        layout->addWidget(m_bar);
        layout->addLayout(buttons);
        connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
        auto* refresh = new QTimer(this);
        connect(refresh, &QTimer::timeout, this, [this] { showProgress(); });
        refresh->start(50);
        m_thread = std::thread([this] { work(); });
    }
    ~SavePdfProgress() override { finish(); }

    // Cancel, Escape and closing the window: the sheet is dropped, unless it is being written already.
    void reject() override {
        if (!settle(Verdict::drop)) return;
        m_progress.cancelled = true;
        QDialog::reject();
    }

    // Once the dialog is closed: waits for the thread; the failure to report, if any.
    std::optional<std::string> finish() {
        settle(Verdict::drop);
        m_progress.cancelled = true;
        if (m_thread.joinable()) m_thread.join();
        return m_failure;
    }

private:
    enum class Verdict { pending, write, drop };

    // The verdict, when none was given before; whether it was.
    bool settle(Verdict verdict) {
        {
            std::lock_guard lock(m_mutex);
            if (m_verdict != Verdict::pending) return false;
            m_verdict = verdict;
        }
        m_decided.notify_all();
        return true;
    }

    // On the sheet's thread.
    void work() {
        std::optional<std::string> failure;
        try {
            if (const std::optional<QByteArray> pdf = projectMapPdf(*m_map, m_heading, &m_progress)) {
                QMetaObject::invokeMethod(
                    this, [this] { sheetMade(); }, Qt::QueuedConnection);
                std::unique_lock lock(m_mutex);
                m_decided.wait(lock, [this] { return m_verdict != Verdict::pending; });
                const bool write = m_verdict == Verdict::write;
                lock.unlock();
                if (write) replaceFile(m_path, std::string_view(pdf->constData(), std::size_t(pdf->size())));
            }
        } catch (const std::exception& problem) {
            failure = problem.what();
        }
        m_failure = std::move(failure);
        QMetaObject::invokeMethod(
            this, [this] { QDialog::accept(); }, Qt::QueuedConnection);
    }

    // On the window's thread: the sheet is whole; it is written unless Cancel came first.
    void sheetMade() {
        if (!settle(Verdict::write)) return;
        m_cancel->setEnabled(false);
        m_label->setText(QStringLiteral("Writing ") + toQt(m_path) + QStringLiteral("..."));
    }

    void showProgress() {
        const int total = m_progress.total.load(), done = m_progress.done.load(), page = m_progress.page.load();
        if (total > 0) {
            m_bar->setRange(0, total);
            m_bar->setValue(std::min(done, total));
        }
        if (page > 0 && m_cancel->isEnabled())
            m_label->setText(QStringLiteral("Page %1 of %2").arg(page).arg(m_progress.pages.load()));
    }

    const std::shared_ptr<const ProjectMap> m_map;
    const SheetHeading m_heading;
    const std::string m_path;
    SheetProgress m_progress;
    std::mutex m_mutex;
    std::condition_variable m_decided;
    Verdict m_verdict = Verdict::pending;
    std::optional<std::string> m_failure;  // written by the thread, read once it has ended
    QLabel* m_label;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    std::thread m_thread;
};

}  // namespace

TFProjectMap::TFProjectMap(platform::Platform platform, const ProjectState& project, QWidget* parent)
    : Form("FProjectMap", QStringLiteral("Project Map"), {1000, 680}, Sizing::resizable, parent),
      m_platform(platform),
      m_project(project) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(placedLabel(this, QString::fromLatin1(kFramesTableTitle), 0, 0, true));
    m_frames = readOnlyTable(this, "sgFrames");
    layout->addWidget(m_frames, 3);
    layout->addWidget(placedLabel(this, QString::fromLatin1(kSlavesTableTitle), 0, 0, true));
    m_polling = readOnlyTable(this, "sgSlaves");
    layout->addWidget(m_polling, 2);
    // Shown when the project has a signal database.
    m_signalsTitle = placedLabel(this, QString::fromLatin1(kSignalTableTitle), 0, 0, true);
    layout->addWidget(m_signalsTitle);
    m_signals = readOnlyTable(this, "sgSignals");
    layout->addWidget(m_signals, 2);
    auto* legend = new QLabel(
        QString::fromLatin1(kShortSourceLegend) + QStringLiteral("; a red cell is fed by more than one register half"),
        this);
    layout->addWidget(legend);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LSummary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    // Every finding, in the order found until a title is clicked.
    m_findings = readOnlyTable(this, "sgFindings");
    m_findings->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_findings->horizontalHeader()->setSortIndicatorShown(true);
    m_findings->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    layout->addWidget(m_findings, 2);

    auto* buttons = new QHBoxLayout;
    auto* exportButton = new QPushButton(QStringLiteral("Export"), this);
    exportButton->setObjectName(QStringLiteral("BtnExport"));
    auto* pdfButton = new QPushButton(QStringLiteral("Save PDF"), this);
    pdfButton->setObjectName(QStringLiteral("BtnSavePdf"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("BtnClose"));
    buttons->addWidget(exportButton);
    buttons->addWidget(pdfButton);
    buttons->addStretch();
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    connect(exportButton, &QPushButton::clicked, this, &TFProjectMap::ExportClick);
    connect(pdfButton, &QPushButton::clicked, this, &TFProjectMap::SavePdfClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

void TFProjectMap::showMap() {
    m_map.reset();
    m_findings->setSortingEnabled(false);
    try {
        m_map =
            std::make_shared<const ProjectMap>(buildAnnotatedProjectMap(m_project.projectFolder, m_project.toolFolder));
    } catch (const Error& failure) {
        for (QTableWidget* table : {m_frames, m_polling, m_signals, m_findings}) fillTable(table, {}, 1);
        m_summary->setText(QString());
        m_platform.messages.standardError(toQt(failure.what()));
        return;
    }
    const ProjectMap& map = *m_map;
    std::size_t fedTwice = 0;
    const MapTable frames = frameTable(map);
    fillTable(m_frames, frames, 4, [&](std::size_t row, std::size_t column, QTableWidgetItem& item) {
        const FrameMap& frame = map.frames[row];
        if (column == 1) item.setToolTip(toQt(pgnTip(frame)));
        // The signals at the byte in full, which a narrow cell cuts: their bits, SPN, multiplexer and encoding.
        if (column >= std::size_t(kFirstByteColumn))
            item.setToolTip(toQt(byteSignalsTip(frame.signalInfo, unsigned(column - kFirstByteColumn + 1))));
        if (!fedTwiceCell(map, row, column)) return;
        ++fedTwice;
        item.setBackground(kFedTwice);
        const QString signalsTip = item.toolTip();
        item.setToolTip(QStringLiteral("Fed by %1 register halves")
                            .arg(frame.bytes[column - std::size_t(kFirstByteColumn)].sources.size()) +
                        (signalsTip.isEmpty() ? QString() : QStringLiteral("\n") + signalsTip));
    });
    fitColumns(m_frames, frames);
    const MapTable polling = pollingTable(map);
    fillTable(m_polling, polling, 8);
    fitColumns(m_polling, polling);
    // Each cell's whole text as its tip: the placement and the encoding run long.
    const MapTable signalList = signalTable(map);
    fillTable(m_signals, signalList, 1,
              [](std::size_t, std::size_t, QTableWidgetItem& item) { item.setToolTip(item.text()); });
    fitColumns(m_signals, signalList);
    m_signalsTitle->setVisible(map.withSignals);
    m_signals->setVisible(map.withSignals);
    const MapTable findings = findingTable(map);
    fillTable(m_findings, findings, 1, {},
              [&map](std::size_t row, std::size_t column, const std::string& text) -> QTableWidgetItem* {
                  if (column == 0) return new NumberItem(text, int(row + 1));
                  if (column == 1)
                      return new NumberItem(text, map.findings[row].frame ? map.findings[row].frame : INT_MAX);
                  return new QTableWidgetItem(toQt(text));
              });
    fitColumns(m_findings, findings);
    m_findings->setSortingEnabled(true);

    m_summary->setText(toQt(plural(map.frames.size(), "frame", "frames") + ", " +
                            plural(fedTwice, "byte fed twice", "bytes fed twice") + ", " +
                            plural(std::size_t(m_polling->rowCount()), "polled range", "polled ranges") + ", " +
                            plural(map.findings.size(), "finding", "findings")));
    m_close->setFocus();
}

std::optional<QString> TFProjectMap::chooseFile(const QString& title, const char* fileName, const QString& filter) {
    return m_platform.files.chooseSaveFile(this, title, toQt(joinPath(m_project.projectFolder, fileName)), filter);
}

void TFProjectMap::exportMap() {
    if (!m_map) return;
    const std::optional<QString> path =
        chooseFile(QStringLiteral("Export"), "ProjectMap.csv", QStringLiteral("CSV files (*.csv)"));
    if (!path) return;
    try {
        replaceFile(fromQt(*path), mapCsv(*m_map));
    } catch (const Error& failure) {
        m_platform.messages.standardError(toQt(failure.what()));
    }
}

void TFProjectMap::saveMapPdf() {
    if (!m_map) return;
    const std::optional<QString> path =
        chooseFile(QStringLiteral("Save PDF"), "ProjectMap.pdf", QStringLiteral("PDF files (*.pdf)"));
    if (!path) return;
    SavePdfProgress progress(this, m_map,
                             {shownProjectName(m_project), QDate::currentDate().toString(Qt::ISODate), toolFont()},
                             fromQt(*path));
    m_platform.dialogs.runModal(progress);
    if (const std::optional<std::string> failure = progress.finish()) m_platform.messages.standardError(toQt(*failure));
}

void writeProjectMapPdf(const QString& path, const ProjectMap& map, const QString& projectName, const QString& date) {
    // Made in memory and then replaced as the documents are, so that a failed save leaves the previous file whole
    // and a read-only one is refused.
    const std::optional<QByteArray> pdf = projectMapPdf(map, {projectName, date, toolFont()});
    replaceFile(fromQt(path), std::string_view(pdf->constData(), std::size_t(pdf->size())));
}

}  // namespace tessaro
