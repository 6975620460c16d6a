#include "map/UProjectMap.h"

#include <QBuffer>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPushButton>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "documents/AtomicFile.h"
#include "documents/Errors.h"
#include "map/MapFormats.h"
#include "signals/SignalAnalysis.h"
#include "update/ConfigurationImage.h"

namespace tessaro {

namespace {

const QColor kFedTwice(255, 205, 205);
constexpr const char* kSignalTableTitle = "Signals fed whole: their registers and how the Modbus side encodes them";

QTableWidget* readOnlyTable(QWidget* parent, const char* name) {
    auto* table = new QTableWidget(parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setWordWrap(false);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// Every cell gets its text, and whatever decorate adds, before it goes into the table. The rows are all as high
// as the tallest cell, up to maxLines lines: one height for all is set once, where a height per row would cost as
// much as the cells themselves in the largest project.
void fillTable(QTableWidget* table, const MapTable& texts, int maxLines,
               const std::function<void(std::size_t, std::size_t, QTableWidgetItem&)>& decorate = {}) {
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
            auto* item = new QTableWidgetItem(toQt(cells[column]));
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

QString htmlCell(const std::string& text, bool marked) {
    QString cell = toQt(text).toHtmlEscaped();
    cell.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return (marked ? QStringLiteral("<td bgcolor=\"#ffcdcd\">") : QStringLiteral("<td>")) + cell +
           QStringLiteral("</td>");
}

QString htmlTable(const MapTable& table, const std::function<bool(std::size_t, std::size_t)>& marked) {
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr>");
    for (const std::string& title : table.titles)
        html += QStringLiteral("<th bgcolor=\"#e8ecf0\">") + toQt(title).toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        html += QStringLiteral("<tr>");
        for (std::size_t column = 0; column < table.rows[row].size(); ++column)
            html += htmlCell(table.rows[row][column], marked(row, column));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

bool fedTwiceCell(const ProjectMap& map, std::size_t row, std::size_t column) {
    return column >= std::size_t(kFirstByteColumn) &&
           map.frames[row].bytes[column - std::size_t(kFirstByteColumn)].fedTwice();
}

QString shownProjectName(const ProjectState& project) {
    QString name = toQt(project.projectName);
    while (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\'))) name.remove(0, 1);
    return name;
}

}  // namespace

TFProjectMap::TFProjectMap(platform::Platform platform, const ProjectState& project, QWidget* parent)
    : Form("FProjectMap", QStringLiteral("Project Map"), {1000, 680}, Sizing::resizable, parent),
      m_platform(platform),
      m_project(project) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(placedLabel(this, QStringLiteral("Frames: the sources of each data byte"), 0, 0, true));
    m_frames = readOnlyTable(this, "sgFrames");
    layout->addWidget(m_frames, 3);
    layout->addWidget(placedLabel(this, QStringLiteral("Slaves: the registers the gateway polls"), 0, 0, true));
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
    try {
        m_map = buildAnnotatedProjectMap(m_project.projectFolder, m_project.toolFolder);
    } catch (const Error& failure) {
        fillTable(m_frames, {}, 1);
        fillTable(m_polling, {}, 1);
        fillTable(m_signals, {}, 1);
        m_summary->setText(QString());
        m_platform.messages.standardError(toQt(failure.what()));
        return;
    }
    const ProjectMap& map = *m_map;
    std::size_t fedTwice = 0;
    fillTable(m_frames, frameTable(map), 4, [&](std::size_t row, std::size_t column, QTableWidgetItem& item) {
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
    for (int column = 0; column < m_frames->columnCount(); ++column)
        m_frames->setColumnWidth(column, column == 0 ? 44 : column < kFirstByteColumn ? 100 : 88);
    fillTable(m_polling, pollingTable(map), 8);
    m_polling->setColumnWidth(0, 48);
    m_polling->setColumnWidth(1, 70);
    m_polling->setColumnWidth(2, 90);
    // Each cell's whole text as its tip: the placement and the encoding run long.
    fillTable(m_signals, signalTable(map), 1,
              [](std::size_t, std::size_t, QTableWidgetItem& item) { item.setToolTip(item.text()); });
    for (const auto& [column, width] : {std::pair{0, 44}, {1, 70}, {2, 160}, {3, 200}, {4, 150}, {5, 360}})
        m_signals->setColumnWidth(column, width);
    m_signalsTitle->setVisible(map.withSignals);
    m_signals->setVisible(map.withSignals);

    QString summary = toQt(plural(map.frames.size(), "frame", "frames") + ", " +
                           plural(fedTwice, "byte fed twice", "bytes fed twice") + ", " +
                           plural(std::size_t(m_polling->rowCount()), "polled range", "polled ranges") + ", " +
                           plural(map.findings.size(), "finding", "findings"));
    const std::size_t shown = std::min<std::size_t>(map.findings.size(), 3);
    for (std::size_t i = 0; i < shown; ++i) summary += QStringLiteral("\n") + toQt(map.findings[i].message);
    if (map.findings.size() > shown) summary += QStringLiteral("\n...");
    m_summary->setText(summary);
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
    try {
        writeProjectMapPdf(*path, *m_map, shownProjectName(m_project), QDate::currentDate().toString(Qt::ISODate));
    } catch (const Error& failure) {
        m_platform.messages.standardError(toQt(failure.what()));
    }
}

void writeProjectMapPdf(const QString& path, const ProjectMap& map, const QString& projectName, const QString& date) {
    // Made in memory and then replaced as the documents are, so that a failed save leaves the previous file whole
    // and a read-only one is refused.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    writer.setTitle(QStringLiteral("Project Map ") + projectName);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                     QPageLayout::Millimeter));
    writer.setResolution(300);

    QString html = QStringLiteral("<h2>Project Map</h2><p>Project: <b>") + projectName.toHtmlEscaped() +
                   QStringLiteral("</b> &nbsp; Date: ") + date.toHtmlEscaped() + QStringLiteral("</p>");
    html += QStringLiteral("<h3>Frames: the sources of each data byte</h3>");
    html +=
        htmlTable(frameTable(map), [&](std::size_t row, std::size_t column) { return fedTwiceCell(map, row, column); });
    html += QStringLiteral("<p>") + QString::fromLatin1(kShortSourceLegend).toHtmlEscaped() +
            QStringLiteral("; a red cell is fed by more than one register half.</p>");
    if (map.withSignals) {
        html +=
            QStringLiteral("<h3>") + QString::fromLatin1(kSignalTableTitle).toHtmlEscaped() + QStringLiteral("</h3>");
        html += htmlTable(signalTable(map), [](std::size_t, std::size_t) { return false; });
    }
    html += QStringLiteral("<h3>Slaves: the registers the gateway polls</h3>");
    html += htmlTable(pollingTable(map), [](std::size_t, std::size_t) { return false; });
    html += QStringLiteral("<h3>Findings</h3>");
    if (map.findings.empty()) html += QStringLiteral("<p>None.</p>");
    for (const MapFinding& finding : map.findings)
        html += QStringLiteral("<p>warning: ") + toQt(finding.message).toHtmlEscaped() + QStringLiteral("</p>");

    QTextDocument document;
    QFont font = toolFont();
    font.setPointSizeF(7);
    document.setDefaultFont(font);
    document.setHtml(html);
    document.print(&writer);
    pdf.close();
    replaceFile(fromQt(path), std::string_view(pdf.data().constData(), std::size_t(pdf.data().size())));
}

}  // namespace tessaro
