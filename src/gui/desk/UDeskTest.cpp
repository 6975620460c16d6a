#include "gui/desk/UDeskTest.h"

#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "bus/DeskSession.h"
#include "bus/SteadyClock.h"
#include "core/desk/DeskReport.h"
#include "core/desk/FrameLog.h"
#include "core/desk/SignalValues.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/image/ConfigurationImage.h"
#include "core/map/MapFormats.h"

namespace tessaro {

namespace {

constexpr int kRefreshMs = 200;
constexpr int kFirstFrameByte = 3;
const QStringList kFrameTitles = {"PGN", "Acronym", "Identifier", "B1", "B2",    "B3",       "B4",
                                  "B5",  "B6",      "B7",         "B8", "Count", "Last sent"};
const QStringList kSignalTitles = {"PGN", "Message", "Signal", "Value", "Unit"};
const QStringList kSlaveTitles = {"Slave",      "Requests",       "Answered", "Time-outs",
                                  "Exceptions", "Last exception", "State"};

QTableWidget* readOnlyTable(QWidget* parent, const char* name, const QStringList& titles) {
    auto* table = new QTableWidget(0, int(titles.size()), parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setHorizontalHeaderLabels(titles);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setWordWrap(false);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().lineSpacing() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// Sets a cell's text, making its item the first time; a cell whose text stays is not touched.
void setCell(QTableWidget* table, int row, int column, const QString& text) {
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem(text);
        item->setFlags(Qt::ItemIsEnabled);
        table->setItem(row, column, item);
        return;
    }
    if (item->text() != text) item->setText(text);
}

QString hexByte(std::uint8_t byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QString timeOfDay(std::int64_t wallMicros) {
    return QDateTime::fromMSecsSinceEpoch(wallMicros / 1000).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QRadioButton* choice(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// Takes what a run sends and lets it go: the run itself counts the frames.
class NoOutput : public desk::CanOut {
public:
    void send(const desk::SentFrame&) override {}
};

}  // namespace

// The run's thread, and what the window and the thread share.
struct TFDeskTest::Worker {
    desk::GatewayModel model;
    desk::DeskSource source;
    bus::SteadyClock clock;
    NoOutput out;
    std::mutex mutex;
    std::unique_ptr<bus::OpenedSource> opened;
    std::unique_ptr<desk::DeskRun> run;
    std::optional<std::string> failure;
    bool stopAsked = false;
    std::atomic<bool> finished{false};
    std::thread thread;

    void work() {
        try {
            auto source = std::make_unique<bus::OpenedSource>(bus::openSource(this->source, model.settings, clock, {}));
            std::unique_lock lock(mutex);
            opened = std::move(source);
            run = std::make_unique<desk::DeskRun>(model, *opened->master, clock, out, nullptr, desk::RunLimits{},
                                                  wallMicros());
            if (!stopAsked) {
                lock.unlock();
                run->run();
            }
        } catch (const std::exception& problem) {
            std::lock_guard lock(mutex);
            failure = problem.what();
        }
        finished.store(true);
    }

    void stop() {
        std::lock_guard lock(mutex);
        stopAsked = true;
        if (run) run->stop();
    }

    static std::int64_t wallMicros() {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
};

TFDeskTest::TFDeskTest(platform::Platform platform, const ProjectState& project, QWidget* parent)
    : Form("FDeskTest", QStringLiteral("Desk Test"), {980, 660}, Sizing::resizable, parent),
      m_platform(platform),
      m_project(project) {
    auto* layout = new QVBoxLayout(this);

    auto* sources = new QGroupBox(QStringLiteral(" Source "), this);
    auto* grid = new QGridLayout(sources);
    m_fromValues = choice(sources, "RB_Values", QStringLiteral("Values file"));
    m_valuesFile = new QLineEdit(sources);
    m_valuesFile->setObjectName(QStringLiteral("E_Values"));
    m_valuesFile->setPlaceholderText(QStringLiteral("slave,kind,register,value"));
    m_browse = pushButton(sources, "BtnBrowse", QStringLiteral("Browse..."));
    m_fromPort = choice(sources, "RB_Com", QStringLiteral("COM port"));
    m_port = new QComboBox(sources);
    m_port->setObjectName(QStringLiteral("CB_Com"));
    for (int number = 1; number <= 10; ++number) m_port->addItem(QStringLiteral("COM%1").arg(number));
    m_device = new QLabel(sources);
    m_device->setObjectName(QStringLiteral("L_Device"));
    m_fromTcp = choice(sources, "RB_Tcp", QStringLiteral("TCP address"));
    m_tcpAddress = new QLineEdit(QStringLiteral("127.0.0.1:502"), sources);
    m_tcpAddress->setObjectName(QStringLiteral("E_Tcp"));
    m_fromValues->setChecked(true);
    grid->addWidget(m_fromValues, 0, 0);
    grid->addWidget(m_valuesFile, 0, 1);
    grid->addWidget(m_browse, 0, 2);
    grid->addWidget(m_fromPort, 1, 0);
    grid->addWidget(m_port, 1, 1);
    grid->addWidget(m_device, 1, 2);
    grid->addWidget(m_fromTcp, 2, 0);
    grid->addWidget(m_tcpAddress, 2, 1);
    grid->setColumnStretch(1, 1);
    layout->addWidget(sources);

    auto* controls = new QHBoxLayout;
    m_start = pushButton(this, "BtnStart", QStringLiteral("Start"));
    m_stop = pushButton(this, "BtnStop", QStringLiteral("Stop"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("LStatus"));
    controls->addWidget(m_start);
    controls->addWidget(m_stop);
    controls->addWidget(m_status, 1);
    layout->addLayout(controls);

    layout->addWidget(placedLabel(this, QStringLiteral("Frames the gateway sends"), 0, 0, true));
    m_frames = readOnlyTable(this, "sgFrames", kFrameTitles);
    layout->addWidget(m_frames, 3);
    m_signalsTitle = placedLabel(this, QStringLiteral("Signals of the frames, from the signal database"), 0, 0, true);
    layout->addWidget(m_signalsTitle);
    m_signals = readOnlyTable(this, "sgSignals", kSignalTitles);
    layout->addWidget(m_signals, 2);
    layout->addWidget(placedLabel(this, QStringLiteral("Modbus slaves"), 0, 0, true));
    m_slaves = readOnlyTable(this, "sgSlaves", kSlaveTitles);
    layout->addWidget(m_slaves, 2);
    for (const auto& [column, width] : {std::pair{0, 110}, {1, 110}, {2, 240}, {3, 140}})
        m_signals->setColumnWidth(column, width);
    for (const auto& [column, width] : {std::pair{0, 60}, {1, 90}, {2, 90}, {3, 90}, {4, 90}, {5, 240}})
        m_slaves->setColumnWidth(column, width);

    auto* buttons = new QHBoxLayout;
    m_close = pushButton(this, "BtnClose", QStringLiteral("Close"));
    buttons->addStretch();
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    m_refresh = new QTimer(this);
    m_refresh->setInterval(kRefreshMs);

    connect(m_start, &QPushButton::clicked, this, &TFDeskTest::BtnStartClick);
    connect(m_stop, &QPushButton::clicked, this, &TFDeskTest::BtnStopClick);
    connect(m_browse, &QPushButton::clicked, this, &TFDeskTest::BtnBrowseClick);
    connect(m_port, &QComboBox::currentIndexChanged, this, &TFDeskTest::CB_ComChange);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_refresh, &QTimer::timeout, this, &TFDeskTest::refreshRun);
    // Enter in a field starts the run, as OK would close another dialog.
    makeOkTheDefault(this, m_start);
    showRunning(false);
}

TFDeskTest::~TFDeskTest() {
    endRun();
}

void TFDeskTest::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) FormClose();
}

void TFDeskTest::showProject() {
    endRun();
    m_model.reset();
    m_database.reset();
    m_messages.clear();
    m_status->clear();
    showChosenDevice();
    QStringList present;
    for (const QString& device : m_platform.serialPort.presentDevices()) present.push_back(device);
    m_port->setToolTip(present.isEmpty() ? QStringLiteral("No serial device found")
                                         : QStringLiteral("Serial devices: ") + present.join(QStringLiteral(", ")));
    try {
        const auto buffer = std::make_unique<ImageBuffer>();
        BuildConfigurationImage(m_project.projectFolder, *buffer);
        m_model = desk::buildGatewayModel(decodeImage(buffer->inUse()));
        if (const std::optional<std::string> path = signalDatabasePath(m_project.projectFolder, m_project.toolFolder))
            m_database = loadSignalDatabase(*path);
    } catch (const Error& failure) {
        m_model.reset();
        fillFrames(nullptr);
        fillSignals(nullptr);
        fillSlaves(nullptr);
        m_platform.messages.standardError(toQt(failure.what()));
        return;
    }
    m_messages = desk::messagesOfFrames(*m_model, m_database ? &*m_database : nullptr);
    fillFrames(nullptr);
    fillSignals(nullptr);
    fillSlaves(nullptr);
    m_signalsTitle->setVisible(m_database.has_value());
    m_signals->setVisible(m_database.has_value());
    m_status->setText(toQt(plural(m_model->frames.size(), "frame", "frames") + ", " +
                           plural(m_model->requests.size(), "request", "requests") + " a poll round"));
    m_start->setFocus();
}

std::optional<desk::DeskSource> TFDeskTest::chosenSource() {
    if (m_fromValues->isChecked()) {
        if (m_valuesFile->text().trimmed().isEmpty()) {
            m_platform.messages.error(toQt(desk::kNoValuesFileMessage));
            return std::nullopt;
        }
        return desk::DeskSource{desk::SourceKind::values, fromQt(m_valuesFile->text().trimmed())};
    }
    if (m_fromPort->isChecked())
        return desk::DeskSource{desk::SourceKind::rtu, fromQt(m_platform.serialPort.deviceOf(m_port->currentText()))};
    return desk::DeskSource{desk::SourceKind::tcp, fromQt(m_tcpAddress->text().trimmed())};
}

void TFDeskTest::startRun() {
    if (!m_model || m_worker) return;
    const std::optional<desk::DeskSource> source = chosenSource();
    if (!source) return;
    m_worker = std::make_unique<Worker>();
    m_worker->model = *m_model;
    m_worker->source = *source;
    m_worker->thread = std::thread([worker = m_worker.get()] { worker->work(); });
    fillFrames(nullptr);
    fillSlaves(nullptr);
    m_status->setText(QStringLiteral("Opening ") + toQt(source->text) + QStringLiteral("..."));
    showRunning(true);
    m_refresh->start();
}

void TFDeskTest::stopRun() {
    if (m_worker) m_worker->stop();
}

void TFDeskTest::endRun() {
    if (!m_worker) return;
    m_worker->stop();
    m_worker->thread.join();
    refreshRun();
}

void TFDeskTest::refreshRun() {
    if (!m_worker) return;
    std::optional<desk::DeskSnapshot> snapshot;
    std::optional<std::string> failure;
    std::string slaves;
    {
        std::lock_guard lock(m_worker->mutex);
        if (m_worker->run) snapshot = m_worker->run->snapshot();
        if (m_worker->opened) slaves = m_worker->opened->description;
        failure = m_worker->failure;
    }
    const bool finished = m_worker->finished.load();
    if (snapshot) {
        fillFrames(&*snapshot);
        fillSignals(&*snapshot);
        fillSlaves(&*snapshot);
        const double seconds = std::chrono::duration<double>(snapshot->elapsed).count();
        m_status->setText((finished ? QStringLiteral("Stopped after %1 s, %2") : QStringLiteral("Running: %1 s, %2"))
                              .arg(seconds, 0, 'f', 1)
                              .arg(toQt(plural(snapshot->rounds, "poll round", "poll rounds"))) +
                          QStringLiteral("; the slaves: ") + toQt(slaves));
    }
    if (!finished) return;
    m_refresh->stop();
    if (m_worker->thread.joinable()) m_worker->thread.join();
    m_worker.reset();
    showRunning(false);
    if (failure) {
        if (!snapshot) m_status->setText(QStringLiteral("Not started"));
        m_platform.messages.standardError(toQt(*failure));
    }
}

void TFDeskTest::showRunning(bool running) {
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
    for (QWidget* source : std::initializer_list<QWidget*>{m_fromValues, m_fromPort, m_fromTcp, m_valuesFile, m_browse,
                                                           m_port, m_tcpAddress})
        source->setEnabled(!running);
}

void TFDeskTest::fillFrames(const desk::DeskSnapshot* snapshot) {
    const std::size_t count = m_model ? m_model->frames.size() : 0;
    m_frames->setRowCount(int(count));
    for (std::size_t i = 0; i < count; ++i) {
        const desk::ModelFrame& frame = m_model->frames[i];
        const int row = int(i);
        setCell(m_frames, row, 0, toQt(pgnText(frame.parameterGroup())));
        setCell(m_frames, row, 1, toQt(frame.acronym));
        setCell(m_frames, row, 2, toQt(desk::identifierText(frame.identifier)));
        for (std::size_t b = 0; b < 8; ++b)
            setCell(m_frames, row, kFirstFrameByte + int(b),
                    snapshot ? hexByte(snapshot->bytes[i][b]) : QStringLiteral("FF"));
        const std::uint64_t sent = snapshot ? snapshot->frames[i].sent : 0;
        setCell(m_frames, row, 11, QString::number(sent));
        QString last = sent > 0 ? timeOfDay(snapshot->frames[i].lastWallMicros) : QString();
        if (frame.onRequest() && sent == 0) last = QStringLiteral("On Request");
        setCell(m_frames, row, 12, last);
    }
    m_frames->resizeColumnsToContents();
}

void TFDeskTest::fillSignals(const desk::DeskSnapshot* snapshot) {
    int row = 0;
    if (m_model && m_database) {
        for (std::size_t i = 0; i < m_model->frames.size(); ++i) {
            const MessageDefinition* message = m_messages[i];
            if (!message) continue;
            desk::FrameBytes bytes;
            bytes.fill(desk::kNotAvailable);
            if (snapshot) bytes = snapshot->bytes[i];
            for (const desk::SignalValue& value : desk::decodeSignals(bytes, *message)) {
                m_signals->setRowCount(std::max(m_signals->rowCount(), row + 1));
                setCell(m_signals, row, 0, toQt(pgnText(m_model->frames[i].parameterGroup())));
                setCell(m_signals, row, 1, toQt(message->name));
                setCell(m_signals, row, 2, toQt(value.name));
                setCell(m_signals, row, 3,
                        value.available ? toQt(shortestDecimal(value.value)) : QStringLiteral("not available"));
                setCell(m_signals, row, 4, toQt(value.unit));
                ++row;
            }
        }
    }
    m_signals->setRowCount(row);
}

void TFDeskTest::fillSlaves(const desk::DeskSnapshot* snapshot) {
    if (!snapshot) {
        std::vector<std::uint8_t> slaves;
        if (m_model)
            for (const desk::ModelRequest& request : m_model->requests)
                if (std::find(slaves.begin(), slaves.end(), request.request.slave) == slaves.end())
                    slaves.push_back(request.request.slave);
        std::sort(slaves.begin(), slaves.end());
        m_slaves->setRowCount(int(slaves.size()));
        for (std::size_t i = 0; i < slaves.size(); ++i) {
            desk::SlaveStats none;
            none.slave = slaves[i];
            const QStringList cells = {QString::number(slaves[i]),
                                       QStringLiteral("0"),
                                       QStringLiteral("0"),
                                       QStringLiteral("0"),
                                       QStringLiteral("0"),
                                       QString(),
                                       toQt(desk::slaveStateText(none))};
            for (int c = 0; c < cells.size(); ++c) setCell(m_slaves, int(i), c, cells[c]);
        }
        return;
    }
    m_slaves->setRowCount(int(snapshot->slaves.size()));
    for (std::size_t i = 0; i < snapshot->slaves.size(); ++i) {
        const desk::SlaveStats& slave = snapshot->slaves[i];
        std::uint64_t exceptions = 0;
        for (const auto& [code, count] : slave.exceptions) exceptions += count;
        const QStringList cells = {QString::number(slave.slave),
                                   QString::number(slave.requests),
                                   QString::number(slave.answered),
                                   QString::number(slave.timeouts),
                                   QString::number(exceptions),
                                   slave.lastException ? toQt(desk::exceptionText(slave.lastException)) : QString(),
                                   toQt(desk::slaveStateText(slave))};
        for (int c = 0; c < cells.size(); ++c) setCell(m_slaves, int(i), c, cells[c]);
    }
}

void TFDeskTest::chooseValuesFile() {
    const std::optional<QString> path = m_platform.files.chooseOpenFile(
        this, QStringLiteral("Values file"), toQt(m_project.projectFolder), QStringLiteral("CSV files (*.csv)"));
    if (!path) return;
    m_valuesFile->setText(*path);
    m_fromValues->setChecked(true);
}

void TFDeskTest::showChosenDevice() {
    const QString device = m_platform.serialPort.deviceOf(m_port->currentText());
    m_device->setText(m_device->fontMetrics().elidedText(device, Qt::ElideLeft, 160));
    m_device->setToolTip(device);
}

}  // namespace tessaro
