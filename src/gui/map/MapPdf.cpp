#include "gui/map/MapPdf.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "core/map/MapFormats.h"
#include "gui/forms/Form.h"

namespace tessaro {

namespace {

// The sheet is laid out in points, on A4 across with margins of 12 mm.
constexpr qreal kBodySize = 6.5;
constexpr qreal kTitleSize = 14;
constexpr qreal kSectionSize = 9;
constexpr qreal kHeadingSize = 7.5;
constexpr qreal kFooterSize = 6;
constexpr qreal kPadX = 2;
constexpr qreal kPadY = 1.2;
constexpr qreal kEntryGap = 9;  // between the entries of a flowing column
constexpr qreal kBandGap = 14;  // between the bands of a narrow table
const QColor kBorder(150, 156, 162);
const QColor kHeaderFill(232, 236, 240);
const QColor kMarkedFill(255, 205, 205);
const QColor kGrey(110, 110, 110);

// The widths of one font's characters, looked up rather than measured: the largest sheet has a few hundred
// thousand short texts, and measuring each costs more than painting it. The sheet's fonts have no kerning, so a
// text is as wide as its characters.
class Widths {
public:
    Widths(const QFont& font, QPaintDevice* device) : m_metrics(font, device), m_advances(65536, -1.f) {}

    qreal at(QStringView text, qsizetype i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size()) return m_metrics.horizontalAdvance(text.mid(i, 2).toString());
        if (c.isLowSurrogate()) return 0;
        float& advance = m_advances[c.unicode()];
        if (advance < 0) advance = float(m_metrics.horizontalAdvance(c));
        return advance;
    }
    qreal of(QStringView text) {
        qreal width = 0;
        for (qsizetype i = 0; i < text.size(); ++i) width += at(text, i);
        return width;
    }
    const QFontMetricsF& metrics() const { return m_metrics; }

private:
    QFontMetricsF m_metrics;
    std::vector<float> m_advances;
};

// Word edges: after a blank, a slash or an underscore, after a dash that follows a letter, and between a small
// letter and a capital, where a name written in CamelCase joins its words.
bool breaksBefore(QStringView text, qsizetype i) {
    const QChar before = text[i - 1], c = text[i];
    if (c == QLatin1Char(' ') || c.isLowSurrogate()) return false;
    if (before == QLatin1Char(' ') || before == QLatin1Char('/') || before == QLatin1Char('_')) return true;
    if (before == QLatin1Char('-')) return i >= 2 && text[i - 2].isLetter();
    return before.isLower() && c.isUpper();
}

// The widest piece between two word edges.
qreal widestWord(QStringView text, Widths& widths) {
    qreal widest = 0, piece = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i > 0 && breaksBefore(text, i)) piece = 0;
        if (text[i] != QLatin1Char(' ')) piece += widths.at(text, i);
        widest = std::max(widest, piece);
    }
    return widest;
}

QString withoutTrailingBlanks(QStringView text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' ')) --end;
    return text.first(end).toString();
}

// The line in pieces no wider than width, broken at the last word edge that fits; a word wider than the width
// alone is cut where it must be.
void wrap(const QString& line, qreal width, Widths& widths, std::vector<QString>& out) {
    if (widths.of(line) <= width) {
        out.push_back(line);
        return;
    }
    const QStringView text(line);
    qsizetype start = 0;
    while (start < text.size()) {
        while (start < text.size() && text[start] == QLatin1Char(' ')) ++start;
        if (start == text.size()) break;
        qreal used = 0;
        qsizetype lastEdge = -1, i = start;
        for (; i < text.size(); ++i) {
            if (i > start && breaksBefore(text, i)) lastEdge = i;
            used += widths.at(text, i);
            if (used > width && i > start) break;
        }
        if (i == text.size()) {
            out.push_back(withoutTrailingBlanks(text.sliced(start)));
            break;
        }
        qsizetype end = lastEdge > start ? lastEdge : i;
        if (text[end].isLowSurrogate()) ++end;
        out.push_back(withoutTrailingBlanks(text.sliced(start, end - start)));
        start = end;
    }
}

std::vector<QString> linesOf(const std::string& text) {
    std::vector<QString> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(toQt(std::string_view(text).substr(start, end == std::string::npos ? end : end - start)));
        if (end == std::string::npos) return lines;
        start = end + 1;
    }
}

// A cell as painted: its lines within the column. The entries of a flowing column stand side by side, perLine to
// a line, pitch apart.
struct SheetCell {
    std::vector<QString> lines;
    int perLine = 1;
    qreal pitch = 0;
    bool marked = false;

    int height() const { return std::max(1, (int(lines.size()) + perLine - 1) / perLine); }
};

struct SheetRow {
    std::vector<SheetCell> cells;
    int lines = 1;
};

struct SheetTable {
    QString title;
    std::vector<qreal> widths;
    std::vector<SheetCell> header;
    int headerLines = 1;
    std::vector<SheetRow> rows;
};

// The texts of a table and how to lay them out.
struct TableSource {
    QString title;
    MapTable texts;
    std::function<bool(std::size_t, std::size_t)> marked;
    int flowingColumn = -1;  // its lines are entries that may stand side by side
};

// Visual lines [from, to) of a row, at y.
struct RowPiece {
    std::size_t row;
    int from;
    int to;
    qreal y;
};

struct TableSlice {
    const SheetTable* table;
    qreal x;
    qreal y;
    std::vector<RowPiece> pieces;
};

struct PageText {
    int font;  // a FontRole
    QPointF at;
    QString text;
};

struct Page {
    std::vector<PageText> texts;
    std::vector<TableSlice> slices;
};

enum FontRole { body, bold, title, section, heading, headingBold, footer };

class Sheet {
public:
    Sheet(const SheetHeading& heading, QPdfWriter& writer, SheetProgress* progress)
        : m_heading(heading), m_writer(writer), m_progress(progress) {
        const QRectF area = writer.pageLayout().paintRect(QPageLayout::Point);
        m_width = area.width();
        m_bottom = area.height() - 2 * kFooterSize;
        const auto font = [&](qreal size, bool isBold) {
            QFont made(heading.font.family());
            made.setPointSizeF(size);
            made.setBold(isBold);
            made.setKerning(false);
            return made;
        };
        m_fonts = {font(kBodySize, false),   font(kBodySize, true),     font(kTitleSize, true),
                   font(kSectionSize, true), font(kHeadingSize, false), font(kHeadingSize, true),
                   font(kFooterSize, false)};
        m_bodyWidths.emplace_back(m_fonts[body], &writer);
        m_bodyWidths.emplace_back(m_fonts[bold], &writer);
        m_lineHeight = std::max(widths(body).metrics().lineSpacing(), widths(bold).metrics().lineSpacing());
        m_ascent = widths(body).metrics().ascent();
    }

    bool cancelled() const { return m_progress && m_progress->cancelled.load(std::memory_order_relaxed); }

    // Lays out every table; false when cancelled meanwhile.
    bool build(std::vector<TableSource>& sources) {
        std::size_t rows = 0;
        for (const TableSource& source : sources) rows += source.texts.rows.size();
        if (m_progress) m_progress->total = int(2 * rows);
        m_tables.reserve(sources.size());
        for (TableSource& source : sources) {
            if (!layOut(source)) return false;
            // The texts are copied into the table's lines: what is no longer needed goes now.
            source.texts = {};
        }
        placeAll();
        if (m_progress) m_progress->pages = int(m_pages.size());
        return !cancelled();
    }

    // Paints every page; false when cancelled meanwhile.
    bool paint() {
        QPainter painter(&m_writer);
        const QFontMetricsF foot(m_fonts[footer], &m_writer);
        const qreal baseline = m_writer.pageLayout().paintRect(QPageLayout::Point).height() - foot.descent();
        const QString sheet =
            QStringLiteral("Project Map · ") + m_heading.projectName + QStringLiteral(" · ") + m_heading.date;
        for (std::size_t p = 0; p < m_pages.size(); ++p) {
            if (cancelled()) return false;
            if (m_progress) m_progress->page = int(p + 1);
            if (p > 0) m_writer.newPage();
            paintPage(painter, m_pages[p]);
            painter.setFont(m_fonts[footer]);
            painter.setPen(kGrey);
            painter.drawText(QPointF(0, baseline), sheet);
            const QString number = QStringLiteral("Page %1 of %2").arg(p + 1).arg(m_pages.size());
            painter.drawText(QPointF(m_width - foot.horizontalAdvance(number), baseline), number);
        }
        return painter.end() && !cancelled();
    }

private:
    Widths& widths(FontRole role) { return m_bodyWidths[role == bold ? 1 : 0]; }
    qreal rowHeight(int lines) const { return lines * m_lineHeight + 2 * kPadY; }
    void step() {
        if (m_progress) m_progress->done.fetch_add(1, std::memory_order_relaxed);
    }

    // Each column as wide as its texts need; when they do not all fit, the columns that need more than their share
    // give up room in proportion to what they would like beyond it, and their texts wrap. A flowing column needs
    // the whole width, and takes what the others leave.
    std::vector<qreal> columnWidths(const TableSource& source,
                                    const std::vector<std::vector<std::vector<QString>>>& cells) {
        const std::size_t columns = source.texts.titles.size();
        std::vector<qreal> natural(columns, 0), word(columns, 0);
        for (std::size_t c = 0; c < columns; ++c) {
            const QString title = toQt(source.texts.titles[c]);
            natural[c] = widths(bold).of(title);
            word[c] = widestWord(title, widths(bold));
        }
        for (const std::vector<std::vector<QString>>& row : cells)
            for (std::size_t c = 0; c < row.size() && c < columns; ++c) {
                qreal widest = 0;
                for (const QString& line : row[c]) {
                    const qreal width = widths(body).of(line);
                    widest = std::max(widest, width);
                    if (width > word[c]) word[c] = std::max(word[c], widestWord(line, widths(body)));
                }
                natural[c] = std::max(natural[c], widest);
                // The entries of a flowing cell all on one line, as far apart as the widest needs.
                if (int(c) == source.flowingColumn && row[c].size() > 1)
                    natural[c] = std::max(natural[c],
                                          std::min(qreal(row[c].size()) * (widest + kEntryGap) - kEntryGap, m_width));
            }
        const qreal share = m_width / qreal(columns);
        std::vector<qreal> least(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            natural[c] += 2 * kPadX;
            word[c] = std::min(word[c] + 2 * kPadX, m_width);
            least[c] = std::max(word[c], std::min(natural[c], share));
        }
        const auto sum = [](const std::vector<qreal>& values) {
            qreal total = 0;
            for (const qreal value : values) total += value;
            return total;
        };
        // Between from and to, as much of the way as the room allows.
        const auto between = [&](const std::vector<qreal>& from, const std::vector<qreal>& to) {
            const qreal low = sum(from), high = sum(to);
            const qreal part = high > low ? (m_width - low) / (high - low) : 0;
            std::vector<qreal> result(columns);
            for (std::size_t c = 0; c < columns; ++c) result[c] = from[c] + (to[c] - from[c]) * part;
            return result;
        };
        if (sum(natural) <= m_width) return natural;
        if (sum(least) <= m_width) return between(least, natural);
        if (sum(word) <= m_width) return between(word, least);
        std::vector<qreal> result = word;
        const qreal shrink = m_width / sum(word);
        for (qreal& width : result) width *= shrink;
        return result;
    }

    SheetCell cellOf(std::vector<QString>& lines, qreal width, bool flowing, FontRole role) {
        SheetCell cell;
        const qreal room = width - 2 * kPadX;
        if (flowing && lines.size() > 1) {
            qreal widest = 0;
            for (const QString& line : lines) widest = std::max(widest, widths(role).of(line));
            if (widest <= room) {
                cell.pitch = widest + kEntryGap;
                cell.perLine = std::max(1, int((room + kEntryGap) / cell.pitch));
                cell.lines = std::move(lines);
                return cell;
            }
        }
        cell.lines.reserve(lines.size());
        for (const QString& line : lines) wrap(line, room, widths(role), cell.lines);
        return cell;
    }

    bool layOut(const TableSource& source) {
        const std::size_t columns = source.texts.titles.size();
        std::vector<std::vector<std::vector<QString>>> cells;
        cells.reserve(source.texts.rows.size());
        for (const std::vector<std::string>& row : source.texts.rows) {
            if (cancelled()) return false;
            std::vector<std::vector<QString>>& lines = cells.emplace_back();
            lines.reserve(columns);
            for (const std::string& text : row) lines.push_back(linesOf(text));
        }
        SheetTable& table = m_tables.emplace_back();
        table.title = source.title;
        table.widths = columnWidths(source, cells);
        for (std::size_t c = 0; c < columns; ++c) {
            std::vector<QString> title{toQt(source.texts.titles[c])};
            table.header.push_back(cellOf(title, table.widths[c], false, bold));
            table.headerLines = std::max(table.headerLines, table.header.back().height());
        }
        table.rows.reserve(cells.size());
        for (std::size_t r = 0; r < cells.size(); ++r) {
            if (cancelled()) return false;
            SheetRow& row = table.rows.emplace_back();
            row.cells.reserve(columns);
            for (std::size_t c = 0; c < columns; ++c) {
                std::vector<QString> none;
                std::vector<QString>& lines = c < cells[r].size() ? cells[r][c] : none;
                row.cells.push_back(cellOf(lines, table.widths[c], int(c) == source.flowingColumn, body));
                row.cells.back().marked = source.marked && source.marked(r, c);
                row.lines = std::max(row.lines, row.cells.back().height());
            }
            std::vector<std::vector<QString>>().swap(cells[r]);
            step();
        }
        return true;
    }

    qreal bottomOf(const TableSlice& slice) const {
        if (slice.pieces.empty()) return slice.y + rowHeight(slice.table->headerLines);
        const RowPiece& last = slice.pieces.back();
        return last.y + rowHeight(last.to - last.from);
    }

    qreal sectionTitleHeight() const { return QFontMetricsF(m_fonts[section], &m_writer).lineSpacing() + 3; }

    void addText(FontRole font, qreal y, const QString& text, qreal x = 0) {
        m_pages.back().texts.push_back({font, QPointF(x, y + QFontMetricsF(m_fonts[font], &m_writer).ascent()), text});
    }

    void newPage() {
        m_pages.emplace_back();
        m_y = 0;
    }

    // The table's title at the cursor, on a page of its own when not even its first row would fit below it.
    void startTablePage(const SheetTable& table, bool continued) {
        if (continued || m_y + sectionTitleHeight() + rowHeight(table.headerLines) + rowHeight(1) > m_bottom) newPage();
        addText(section, m_y, continued ? table.title + QStringLiteral(" (continued)") : table.title);
        m_y += sectionTitleHeight();
        m_tableTop = m_y;
    }

    // The header row at the cursor: a new slice of the table, in band of the page.
    TableSlice* startSlice(const SheetTable& table, int band, qreal bandWidth) {
        TableSlice& slice = m_pages.back().slices.emplace_back();
        slice.table = &table;
        slice.x = band * (bandWidth + kBandGap);
        slice.y = m_y;
        m_y += rowHeight(table.headerLines);
        return &slice;
    }

    void placeHeading() {
        newPage();
        addText(title, m_y, QStringLiteral("Project Map"));
        m_y += QFontMetricsF(m_fonts[title], &m_writer).lineSpacing() + 4;
        const QString project = QStringLiteral("Project: ");
        addText(heading, m_y, project);
        const qreal nameAt = QFontMetricsF(m_fonts[heading], &m_writer).horizontalAdvance(project);
        addText(headingBold, m_y, m_heading.projectName, nameAt);
        addText(heading, m_y, QStringLiteral("Date: ") + m_heading.date,
                nameAt + QFontMetricsF(m_fonts[headingBold], &m_writer).horizontalAdvance(m_heading.projectName) + 18);
        m_y += QFontMetricsF(m_fonts[heading], &m_writer).lineSpacing() + 2;
        addText(body, m_y,
                QString::fromLatin1(kShortSourceLegend) +
                    QStringLiteral("; a red cell is fed by more than one register half."));
        m_y += m_lineHeight + 8;
    }

    // A table narrow enough runs in bands side by side, each down the page before the next.
    void placeAll() {
        placeHeading();
        const qreal pageRoom = m_bottom - sectionTitleHeight();
        for (const SheetTable& table : m_tables) {
            const qreal header = rowHeight(table.headerLines);
            qreal tableWidth = 0;
            for (const qreal width : table.widths) tableWidth += width;
            const int bands = std::max(1, int((m_width + kBandGap) / (tableWidth + kBandGap)));
            int band = 0;
            startTablePage(table, false);
            TableSlice* slice = startSlice(table, band, tableWidth);
            const auto nextBand = [&] {
                if (++band < bands) {
                    m_y = m_tableTop;
                } else {
                    band = 0;
                    startTablePage(table, true);
                }
                slice = startSlice(table, band, tableWidth);
            };
            if (table.rows.empty()) {
                addText(body, m_y + kPadY, QStringLiteral("None."), kPadX);
                m_y += rowHeight(1);
            }
            for (std::size_t r = 0; r < table.rows.size(); ++r) {
                const int lines = table.rows[r].lines;
                int from = 0;
                while (from < lines) {
                    const int room = int(std::floor((m_bottom - m_y - 2 * kPadY) / m_lineHeight));
                    const int left = lines - from;
                    // A row that fits whole on a page and is not long goes to the next band rather than in two.
                    const bool whole = from == 0 && rowHeight(left) <= (pageRoom - header) / 4;
                    if (left <= room || (room >= 1 && !whole)) {
                        const int to = from + std::min(left, room);
                        slice->pieces.push_back({r, from, to, m_y});
                        m_y += rowHeight(to - from);
                        from = to;
                        if (from == lines) break;
                    }
                    nextBand();
                }
            }
            for (const TableSlice& placed : m_pages.back().slices)
                if (placed.table == &table) m_y = std::max(m_y, bottomOf(placed));
            m_y += 10;
        }
    }

    void paintPage(QPainter& painter, const Page& page) {
        painter.setPen(Qt::black);
        int font = -1;
        for (const PageText& text : page.texts) {
            if (text.font != font) painter.setFont(m_fonts[text.font]);
            font = text.font;
            painter.drawText(text.at, text.text);
        }
        for (const TableSlice& slice : page.slices) paintSlice(painter, slice);
    }

    void paintCellLines(QPainter& painter, const SheetCell& cell, qreal x, qreal top, int from, int to) {
        for (int line = from; line < to; ++line) {
            const qreal baseline = top + kPadY + (line - from) * m_lineHeight + m_ascent;
            for (int k = 0; k < cell.perLine; ++k) {
                const std::size_t at = std::size_t(line) * std::size_t(cell.perLine) + std::size_t(k);
                if (at >= cell.lines.size()) return;
                painter.drawText(QPointF(x + kPadX + k * cell.pitch, baseline), cell.lines[at]);
            }
        }
    }

    void paintSlice(QPainter& painter, const TableSlice& slice) {
        const SheetTable& table = *slice.table;
        std::vector<qreal> left(table.widths.size() + 1, slice.x);
        for (std::size_t c = 0; c < table.widths.size(); ++c) left[c + 1] = left[c] + table.widths[c];
        const qreal right = left.back();
        const qreal header = rowHeight(table.headerLines);
        painter.fillRect(QRectF(slice.x, slice.y, right - slice.x, header), kHeaderFill);
        for (const RowPiece& piece : slice.pieces) {
            const SheetRow& row = table.rows[piece.row];
            for (std::size_t c = 0; c < row.cells.size(); ++c)
                if (row.cells[c].marked)
                    painter.fillRect(QRectF(left[c], piece.y, table.widths[c], rowHeight(piece.to - piece.from)),
                                     kMarkedFill);
        }
        painter.setPen(Qt::black);
        painter.setFont(m_fonts[bold]);
        for (std::size_t c = 0; c < table.header.size(); ++c)
            paintCellLines(painter, table.header[c], left[c], slice.y, 0, table.headerLines);
        painter.setFont(m_fonts[body]);
        for (const RowPiece& piece : slice.pieces) {
            const SheetRow& row = table.rows[piece.row];
            for (std::size_t c = 0; c < row.cells.size(); ++c)
                paintCellLines(painter, row.cells[c], left[c], piece.y, piece.from, piece.to);
            // A row continued from the page before names itself again, in grey.
            if (piece.from > 0 && !row.cells.empty() && row.cells[0].height() <= piece.from &&
                !row.cells[0].lines.empty()) {
                painter.setPen(kGrey);
                painter.drawText(QPointF(slice.x + kPadX, piece.y + kPadY + m_ascent), row.cells[0].lines.front());
                painter.setPen(Qt::black);
            }
            if (piece.to == row.lines) step();
        }
        const qreal bottom = bottomOf(slice);
        std::vector<QLineF> lines;
        lines.reserve(slice.pieces.size() + left.size() + 2);
        lines.emplace_back(slice.x, slice.y, right, slice.y);
        lines.emplace_back(slice.x, slice.y + header, right, slice.y + header);
        for (const RowPiece& piece : slice.pieces) {
            const qreal below = piece.y + rowHeight(piece.to - piece.from);
            lines.emplace_back(slice.x, below, right, below);
        }
        for (const qreal x : left) lines.emplace_back(x, slice.y, x, bottom);
        painter.setPen(QPen(kBorder, 0.4));
        painter.drawLines(lines.data(), int(lines.size()));
    }

    const SheetHeading& m_heading;
    QPdfWriter& m_writer;
    SheetProgress* m_progress;
    std::vector<QFont> m_fonts;
    std::vector<Widths> m_bodyWidths;
    qreal m_width = 0;
    qreal m_bottom = 0;
    qreal m_lineHeight = 0;
    qreal m_ascent = 0;
    std::vector<SheetTable> m_tables;
    std::vector<Page> m_pages;
    qreal m_y = 0;
    qreal m_tableTop = 0;  // below the title of the table on this page
};

bool fedTwiceCell(const ProjectMap& map, std::size_t row, std::size_t column) {
    return column >= std::size_t(kFirstByteColumn) &&
           map.frames[row].bytes[column - std::size_t(kFirstByteColumn)].fedTwice();
}

}  // namespace

std::optional<QByteArray> projectMapPdf(const ProjectMap& map, const SheetHeading& heading, SheetProgress* progress) {
    // About the size of the largest project's sheet, so that the PDF is not copied as it grows.
    QByteArray bytes;
    bytes.reserve(qsizetype(4) << 20);
    QBuffer pdf(&bytes);
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setTitle(QStringLiteral("Project Map ") + heading.projectName);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                         QPageLayout::Millimeter));
        writer.setResolution(72);

        std::vector<TableSource> sources;
        sources.push_back({QString::fromLatin1(kFramesTableTitle), frameTable(map),
                           [&map](std::size_t row, std::size_t column) { return fedTwiceCell(map, row, column); }});
        if (map.withSignals) sources.push_back({QString::fromLatin1(kSignalTableTitle), signalTable(map), {}});
        sources.push_back({QString::fromLatin1(kSlavesTableTitle), pollingTable(map), {}, 3});
        sources.push_back({QString::fromLatin1(kFindingsTitle), findingTable(map), {}});

        Sheet sheet(heading, writer, progress);
        if (!sheet.build(sources) || !sheet.paint()) return std::nullopt;
    }
    pdf.close();
    return bytes;
}

}  // namespace tessaro
