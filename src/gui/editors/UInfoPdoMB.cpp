#include "gui/editors/UInfoPdoMB.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTextLayout>
#include <filesystem>

#include "core/documents/Errors.h"
#include "core/editors/RowRules.h"
#include "core/exchange/ExchangeTables.h"
#include "core/exchange/ProjectExchange.h"
#include "core/exchange/TabText.h"
#include "core/j1939/WellKnownPgns.h"
#include "core/map/SignalAnalysis.h"
#include "gui/editors/RadioGroup.h"
#include "gui/editors/TableFiles.h"
#include "gui/forms/CellTips.h"

namespace tessaro {

namespace {

template <std::size_t N>
QStringList itemList(const std::array<std::string_view, N>& items) {
    QStringList list;
    for (std::string_view item : items) list << toQt(item);
    return list;
}

// Draws an item's text with tab stops every 30 dialog units, so the frame lines form columns; a line the list cuts
// is its tip.
class TabStopDelegate : public ClippedTextTips {
public:
    using ClippedTextTips::ClippedTextTips;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear();
        const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
        painter->save();
        painter->setFont(item.font);
        painter->setPen(
            item.palette.color(item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QRectF(textArea(item)), text, lineLayout(item));
        painter->restore();
    }

protected:
    bool clips(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        QTextLayout line(item.text, item.font);
        line.setTextOption(lineLayout(item));
        line.beginLayout();
        QTextLine laidOut = line.createLine();
        laidOut.setLineWidth(1e6);
        const qreal width = laidOut.naturalTextWidth();
        line.endLayout();
        // The list scrolls not across: what runs past its right edge is cut too.
        QRect area = textArea(item);
        if (const auto* view = qobject_cast<const QAbstractItemView*>(item.widget))
            area.setRight(std::min(area.right(), view->viewport()->rect().right()));
        return width > area.width();
    }

private:
    static QRect textArea(const QStyleOptionViewItem& item) {
        const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
        return style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget).adjusted(2, 0, 0, 0);
    }
    static QTextOption lineLayout(const QStyleOptionViewItem& item) {
        QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
        layout.setWrapMode(QTextOption::NoWrap);
        // A dialog unit across is a quarter of the font's average character width.
        layout.setTabStopDistance(item.fontMetrics.averageCharWidth() * 30.0 / 4.0);
        return layout;
    }
};

QLabel* label(QWidget* parent, const QString& text, int left, int top) {
    auto* result = new QLabel(text, parent);
    result->move(left, top);
    result->adjustSize();
    return result;
}

QLineEdit* edit(QWidget* parent, const char* name, int left, int top) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(left, top, 80, 21);
    return field;
}

QComboBox* dropDown(QWidget* parent, const char* name, const QStringList& items, int left, int top, int width) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->addItems(items);
    combo->setGeometry(left, top, width, 21);
    return combo;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int left, int top, int width = 62) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->setGeometry(left, top, width, 25);
    return result;
}

QListWidget* listBox(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    list->setGeometry(left, top, width, height);
    return list;
}

// The item that is both current and selected; -1 when there is none.
int selectedRow(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

// One register's tab: its high-byte and its low-byte selector, each with the byte of the register it feeds.
void registerTab(QTabWidget* tabs, std::size_t r, RadioGroup*& high, RadioGroup*& low) {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet%1").arg(r + 1));
    const QStringList selectors = itemList(kByteSelectorItems);
    const auto selector = [&](const char* prefix, const QString& byteName, int top) {
        auto* group = new RadioGroup(QStringLiteral("Selected Frame Byte"), selectors, 3, page);
        group->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(r + 1));
        group->setGeometry(6, top, 186, 76);
        label(page, QStringLiteral("Tanslate in"), 202, top + 22);
        QLabel* target = label(page, byteName, 202, top + 42);
        QFont bold = target->font();
        bold.setBold(true);
        target->setFont(bold);
        target->adjustSize();
        return group;
    };
    high = selector("RG_HI_R", QStringLiteral("High MODBUS Byte"), 4);
    low = selector("RG_LO_R", QStringLiteral("Low MODBUS Byte"), 84);
    tabs->addTab(page, QStringLiteral("R%1").arg(r + 1));
}

}  // namespace

TFInfopdoMB::TFInfopdoMB(platform::Platform platform, const ProjectState& project, QWidget* parent)
    : Form("FInfopdoMB", QStringLiteral("Define Frames J1939"), {640, 424}, Sizing::fixed, parent,
           Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_platform(platform),
      m_project(project) {
    label(this, QStringLiteral("Correlated"), 8, 8);
    label(this, QStringLiteral("PRI         DP        PGN"), 10, 26);
    m_frameList = listBox(this, "LPdoCanA", 8, 44, 180, 300);
    m_frameList->setItemDelegate(new TabStopDelegate(m_frameList));
    // Item widths are measured without our tab stops; the lines fit the list.
    m_frameList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    label(this, QStringLiteral("MODBUS"), 198, 26);
    m_definitionList = listBox(this, "LIndMbCanA", 196, 44, 96, 300);
    m_definitionList->setItemDelegate(new ClippedTextTips(m_definitionList));

    label(this, QStringLiteral("Device ID"), 304, 47);
    m_deviceId = edit(this, "E_Dev_ID", 404, 44);
    label(this, QStringLiteral("Index MODBUS"), 304, 73);
    m_index = edit(this, "EindexA", 404, 70);
    label(this, QStringLiteral("Number of Point"), 304, 99);
    m_numberOfPoints = dropDown(this, "CB_NoP", itemList(kNumberOfPointsItems), 404, 96, 80);
    label(this, QStringLiteral("Type of Data"), 304, 125);
    m_kind = dropDown(this, "CB_ToD", itemList(kKindItems), 404, 122, 140);

    m_registers = new QTabWidget(this);
    m_registers->setObjectName(QStringLiteral("PageControl1"));
    m_registers->setGeometry(302, 152, 330, 192);
    for (std::size_t r = 0; r < kRegisterSlots; ++r) registerTab(m_registers, r, m_high[r], m_low[r]);

    auto* remove = button(this, "DELETEa", QStringLiteral("Delete"), 196, 352);
    auto* add = button(this, "NewA", QStringLiteral("New"), 302, 352);
    auto* modify = button(this, "ModifyA", QStringLiteral("Modify"), 369, 352);
    auto* copy = button(this, "copyA", QStringLiteral("Copy"), 503, 352);
    auto* paste = button(this, "PasteA", QStringLiteral("Paste"), 570, 352);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(0, 384, 640, 2);
    m_ok = button(this, "bitbtn1", QStringLiteral("OK"), 8, 392, 75);
    auto* cancel = button(this, "bitbtn2", QStringLiteral("Cancel"), 90, 392, 75);
    auto* exportButton = button(this, "button1", QStringLiteral("Export"), 475, 392, 75);
    auto* importButton = button(this, "bitbtn4", QStringLiteral("Import"), 557, 392, 75);

    watchClicks(m_frameList, &TFInfopdoMB::LPdoCanAClick, m_frameRowAtPress);
    watchClicks(m_definitionList, &TFInfopdoMB::LIndMbCanAClick, m_definitionRowAtPress);
    m_frameList->installEventFilter(this);
    m_definitionList->installEventFilter(this);
    connect(add, &QPushButton::clicked, this, &TFInfopdoMB::NewAClick);
    connect(modify, &QPushButton::clicked, this, &TFInfopdoMB::ModifyAClick);
    connect(remove, &QPushButton::clicked, this, &TFInfopdoMB::DeleteAClick);
    connect(copy, &QPushButton::clicked, this, &TFInfopdoMB::CopyAClick);
    connect(paste, &QPushButton::clicked, this, &TFInfopdoMB::PasteAClick);
    connect(m_ok, &QPushButton::clicked, this, &TFInfopdoMB::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(exportButton, &QPushButton::clicked, this, &TFInfopdoMB::Button1Click);
    connect(importButton, &QPushButton::clicked, this, &TFInfopdoMB::BitBtn4Click);
    makeOkTheDefault(this, m_ok);
}

// A line becomes selected by mouse or keyboard; a click on the line already selected selects it again. The mouse
// makes a line current before it selects it, the keyboard the other way round, so both changes are followed.
void TFInfopdoMB::watchClicks(QListWidget* list, void (TFInfopdoMB::*handler)(), int& rowAtPress) {
    list->viewport()->installEventFilter(this);
    const auto follow = [this, list, handler] {
        if (selectedRow(list) >= 0) (this->*handler)();
    };
    connect(list, &QListWidget::currentRowChanged, this, follow);
    connect(list, &QListWidget::itemSelectionChanged, this, follow);
    connect(list, &QListWidget::itemClicked, this, [this, list, handler, &rowAtPress](QListWidgetItem* item) {
        if (list->row(item) == rowAtPress) (this->*handler)();
    });
}

bool TFInfopdoMB::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_frameList->viewport()) m_frameRowAtPress = selectedRow(m_frameList);
        if (watched == m_definitionList->viewport()) m_definitionRowAtPress = selectedRow(m_definitionList);
    }
    if (event->type() == QEvent::KeyPress && (watched == m_frameList || watched == m_definitionList)) {
        // The lists' keys as a spreadsheet's: Ctrl+C copies the selected line as a row of cells, Delete in the
        // definitions is their Delete button.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            const QString row = watched == m_frameList ? selectedFrameRow() : selectedDefinitionRow();
            if (!row.isEmpty()) QGuiApplication::clipboard()->setText(row);
            return true;
        }
        if (watched == m_definitionList && key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            DeleteAClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString TFInfopdoMB::selectedFrameRow() const {
    const int frame = selectedFrame();
    if (frame < 0) return {};
    return toQt(m_frames.frameLines()[std::size_t(frame)] + "\n");
}

QString TFInfopdoMB::selectedDefinitionRow() const {
    const int definition = selectedDefinition();
    if (definition < 0) return {};
    // The row the exported table gives it, below the header: the definitions of the frames before it come first.
    std::size_t row = 1 + std::size_t(definition);
    for (std::size_t frame = 0; frame < std::size_t(selectedFrame()); ++frame)
        row += m_frames.frame(frame).definitions.size();
    return toQt(writeTabText({definitionTableRows(m_frames)[row]}));
}

int TFInfopdoMB::selectedFrame() const {
    const int row = selectedRow(m_frameList);
    return row >= 0 && std::size_t(row) < m_frames.frameCount() ? row : -1;
}

int TFInfopdoMB::selectedDefinition() const {
    const int frame = selectedFrame();
    if (frame < 0) return -1;
    const int row = selectedRow(m_definitionList);
    return row >= 0 && std::size_t(row) < m_frames.frame(std::size_t(frame)).definitions.size() ? row : -1;
}

void TFInfopdoMB::resetControls() {
    {
        const QSignalBlocker quiet(m_definitionList);
        m_definitionList->clear();
    }
    m_registers->setCurrentIndex(0);
    showControls(DefinitionControls{});
}

DefinitionControls TFInfopdoMB::controls() const {
    DefinitionControls result;
    result.index = fromQt(m_index->text());
    result.deviceId = fromQt(m_deviceId->text());
    result.numberOfPointsPosition = m_numberOfPoints->currentIndex();
    result.kindPosition = m_kind->currentIndex();
    for (std::size_t r = 0; r < kRegisterSlots; ++r) {
        result.high[r] = m_high[r]->itemIndex();
        result.low[r] = m_low[r]->itemIndex();
    }
    result.keptRegisterCount = m_keptRegisterCount;
    result.keptRegisterKind = m_keptRegisterKind;
    return result;
}

void TFInfopdoMB::showControls(const DefinitionControls& shown) {
    m_index->setText(toQt(shown.index));
    m_deviceId->setText(toQt(shown.deviceId));
    m_numberOfPoints->setCurrentIndex(shown.numberOfPointsPosition);
    m_kind->setCurrentIndex(shown.kindPosition);
    for (std::size_t r = 0; r < kRegisterSlots; ++r) {
        m_high[r]->setItemIndex(shown.high[r]);
        m_low[r]->setItemIndex(shown.low[r]);
    }
    m_keptRegisterCount = shown.keptRegisterCount;
    m_keptRegisterKind = shown.keptRegisterKind;
}

void TFInfopdoMB::showFrameList() {
    {
        const QSignalBlocker quiet(m_frameList);
        m_frameList->clear();
    }
    resetControls();
    m_unlisted.clear();
    setWindowTitle(QStringLiteral("Define Frames J1939"));
    const std::string framesPath = joinPath(m_project.projectFolder, kFrameTableFileName);
    m_readGuard.watch(
        {{m_project.definitionsPath(), kDefinitionsFileName}, {framesPath, kFrameTableFileName, "the frames listed"}});
    ShowRead<FrameDefinitions> read = readFrameDefinitions(framesPath, m_project.definitionsPath());
    m_frames = std::move(read.content);
    QStringList lines;
    lines.reserve(qsizetype(m_frames.frameLines().size()));
    for (const std::string& line : m_frames.frameLines()) lines << toQt(line);
    {
        const QSignalBlocker quiet(m_frameList);
        m_frameList->addItems(lines);
    }
    // The PGN's acronym and name as the tip of its frame's line.
    for (int row = 0; row < m_frameList->count(); ++row)
        if (const std::optional<FramePgnFields> fields = m_frames.pgnFieldsOf(std::size_t(row)))
            m_frameList->item(row)->setToolTip(toQt(wellKnownPgnTip(fields->dataPage, fields->pgn)));
    m_signalDatabase.reset();
    if (const auto path = signalDatabasePath(m_project.projectFolder, m_project.toolFolder)) {
        // A database that cannot be read only leaves the tips out; this dialog's messages are its documents'.
        try {
            m_signalDatabase = loadSignalDatabase(*path);
        } catch (const Error&) {
        }
    }
    showSignalTips();
    for (const std::string& failure : read.failures) m_platform.messages.plain(toQt(failure));
    m_readGuard.shown(read.unreadFiles);
    m_ok->setFocus();
}

void TFInfopdoMB::showFrameDefinitions() {
    const int frame = selectedFrame();
    if (frame < 0) return;
    resetControls();
    const std::size_t count = m_frames.frame(std::size_t(frame)).definitions.size();
    QStringList items;
    items.reserve(qsizetype(count));
    for (std::size_t position = 0; position < count; ++position) items << QStringLiteral("Ind MB %1").arg(position);
    {
        const QSignalBlocker quiet(m_definitionList);
        m_definitionList->addItems(items);
    }
    showSignalTips();
}

void TFInfopdoMB::showSignalTips() {
    const int frame = selectedFrame();
    std::array<std::string, kFrameBytes> tips;
    if (frame >= 0 && m_signalDatabase)
        if (const std::optional<Pgn> pgn = m_frames.framePgnOf(std::size_t(frame)))
            tips = byteSignalTips(*m_signalDatabase, *pgn);
    for (std::size_t r = 0; r < kRegisterSlots; ++r)
        for (RadioGroup* group : {m_high[r], m_low[r]})
            for (std::size_t byte = 0; byte < kFrameBytes; ++byte)
                group->button(int(byte + 1))->setToolTip(toQt(tips[byte]));
}

void TFInfopdoMB::showChosenDefinition() {
    const int definition = selectedDefinition();
    if (definition < 0) return;
    showControls(unpackDefinition(m_frames.frame(std::size_t(selectedFrame())).definitions[std::size_t(definition)]));
}

bool TFInfopdoMB::validate() {
    if (const std::optional<std::string> broken =
            checkDefinition(fromQt(m_index->text()), fromQt(m_deviceId->text()))) {
        m_platform.messages.plain(toQt(*broken));
        return false;
    }
    return true;
}

void TFInfopdoMB::addDefinition() {
    const int frame = selectedFrame();
    if (frame < 0 || !validate()) return;
    const int before = m_definitionList->count();
    {
        const QSignalBlocker quiet(m_definitionList);
        m_definitionList->addItem(QStringLiteral("Ind Mb %1").arg(before));
        m_definitionList->setCurrentRow(before);
    }
    m_frames.frame(std::size_t(frame)).definitions.push_back(packDefinition(controls()));
}

void TFInfopdoMB::replaceDefinition() {
    const int definition = selectedDefinition();
    if (definition < 0 || !validate()) return;
    m_frames.frame(std::size_t(selectedFrame())).definitions[std::size_t(definition)] = packDefinition(controls());
}

void TFInfopdoMB::deleteDefinition() {
    const int definition = selectedDefinition();
    if (definition < 0) return;
    auto& definitions = m_frames.frame(std::size_t(selectedFrame())).definitions;
    definitions.erase(definitions.begin() + definition);
    const QSignalBlocker quiet(m_definitionList);
    delete m_definitionList->takeItem(definition);
    m_definitionList->setCurrentRow(-1);
    m_definitionList->clearSelection();
}

void TFInfopdoMB::copyDefinition() {
    m_clipboard = packDefinition(controls());
}

void TFInfopdoMB::pasteDefinition() {
    showControls(unpackDefinition(m_clipboard));
}

void TFInfopdoMB::saveAndClose() {
    if (const auto warning = m_readGuard.beforeWrite(kDefinitionsFileName, lossAtOk())) {
        m_platform.messages.plain(toQt(*warning));
        return;
    }
    try {
        m_frames.save(m_project.definitionsPath());
    } catch (const Error& failure) {
        m_platform.messages.standardError(toQt(failure.what()));
        return;
    }
    m_readGuard.wrote(kDefinitionsFileName);
    accept();
}

void TFInfopdoMB::exportDefinitions() {
    try {
        m_frames.exportTo(joinPath(m_project.projectFolder, kExportFileName));
    } catch (const Error& failure) {
        m_platform.messages.standardError(toQt(failure.what()));
    }
}

void TFInfopdoMB::importDefinitions() {
    const std::optional<std::string> path =
        chooseTableToRead(m_platform, this, TableKind::definitions, m_project.projectFolder);
    if (!path) return;
    DefinitionsImport imported;
    try {
        imported = importedDefinitions(*path, m_frames);
        std::size_t count = 0;
        for (const auto& frame : imported.definitions) count += frame.size();
        if (const auto refusal =
                imageTooLarge(m_project.projectFolder, {.frames = m_frames.frameCount(), .definitions = count}))
            throw Error(*path + ": " + *refusal);
    } catch (const Error& refusal) {
        m_platform.messages.plain(toQt(refusal.what()));
        return;
    }
    for (std::size_t f = 0; f < m_frames.frameCount(); ++f)
        m_frames.frame(f).definitions = std::move(imported.definitions[f]);
    {
        const QSignalBlocker quiet(m_frameList);
        m_frameList->setCurrentRow(-1);
        m_frameList->clearSelection();
    }
    resetControls();
    if (!imported.pairs) {
        // The definitions on screen are now the file's, whole; OK may replace the document with them.
        m_unlisted.clear();
        m_readGuard.shown();
        return;
    }
    // The definitions came back from those shown: what the file left out is named at the first OK.
    m_unlisted.insert(m_unlisted.end(), imported.pairs->unlisted.begin(), imported.pairs->unlisted.end());
    m_platform.messages.plain(
        toQt(pairsReadBackMessage(std::filesystem::path(*path).filename().string(), *imported.pairs)));
}

std::optional<std::string> TFInfopdoMB::lossAtOk() const {
    std::optional<std::string> loss = m_frames.rowsBeyondFramesWarning();
    if (!m_unlisted.empty()) loss = (loss ? *loss + "\n\n" : std::string()) + unlistedDefinitionsMessage(m_unlisted);
    return loss;
}

}  // namespace tessaro
