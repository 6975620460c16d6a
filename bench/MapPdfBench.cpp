// "Save PDF" of "Project Map" over the largest project (250 frames, 7032 definitions), as the user has it: the click,
// the sheet made on its own thread while the progress dialog runs the event loop, the file written. Against the
// floor: painting the lines of the same tables' cells into a PDF one after the other, without tables or layout, on
// one thread. Each save also measures the longest time the window's event loop was kept from running (a timer due
// every millisecond notes the longest gap between its turns), and the goal is 3 s at most. The same watch over an
// event loop with nothing to do while another thread only computes tells what the machine itself holds it up.
//   map_pdf_bench [--with-signals] [benchmark options]
// With --with-signals the project has the largest signal database of the benchmarks (2000 messages) beside it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>
#include <vector>

#include "FastestRatio.h"
#include "LargeProject.h"
#include "LargeSignalDatabase.h"
#include "core/documents/AtomicFile.h"
#include "core/map/MapFormats.h"
#include "core/map/SignalAnalysis.h"
#include "core/project/ProjectState.h"
#include "gui/map/UProjectMap.h"
#include "platform/QtPlatform.h"

namespace {

std::string& projectFolder() {
    static std::string folder;
    return folder;
}

std::string pdfPath() {
    return projectFolder() + "/ProjectMap.pdf";
}

// The longest time the event loop was kept from running in each run, by benchmark.
std::map<std::string, std::vector<double>>& longestBlocks() {
    static std::map<std::string, std::vector<double>> blocks;
    return blocks;
}

// Answers every chooser with the sheet's path.
class ChosenFile : public tessaro::platform::FileChooser {
public:
    std::optional<QString> chooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override {
        return QString::fromStdString(pdfPath());
    }
    std::optional<QString> chooseOpenFile(QWidget*, const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

// A message would be a failure: noted, not shown.
class NotedMessages : public tessaro::platform::Messages {
public:
    void plain(const QString& text) override { noted = text; }
    void error(const QString& text) override { noted = text; }
    void standardError(const QString& text) override { noted = text; }
    QString noted;
};

// Notes the longest gap between the turns of a timer due every millisecond, from start to stop.
class EventLoopWatch {
public:
    EventLoopWatch() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { turn(); });
        m_clock.start();
        m_timer.start();
    }
    double stop() {
        turn();
        m_timer.stop();
        return m_longest;
    }

private:
    void turn() {
        const double now = double(m_clock.nsecsElapsed()) / 1e6;
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
    double m_longest = 0;
};

void SavePdf(benchmark::State& state) {
    tessaro::platform::QtPlatform adapters{QString::fromStdString(projectFolder())};
    ChosenFile chooser;
    NotedMessages messages;
    const tessaro::platform::Platform qt = adapters.platform();
    const tessaro::platform::Platform platform{messages,      qt.dialogs,  qt.folders, qt.shell,
                                               qt.serialPort, qt.launcher, chooser,    qt.instanceLock};
    tessaro::ProjectState project;
    project.projectFolder = projectFolder();
    project.projectName = "/largest";
    project.SetProjectPaths();
    tessaro::TFProjectMap dialog(platform, project);
    dialog.FormShow();
    auto* savePdf = dialog.findChild<QPushButton*>(QStringLiteral("BtnSavePdf"));
    for (auto _ : state) {
        EventLoopWatch watch;
        savePdf->click();
        longestBlocks()["SavePdf"].push_back(watch.stop());
    }
    if (!messages.noted.isEmpty()) state.SkipWithError(messages.noted.toStdString().c_str());
    const std::string pdf = tessaro::readFile(pdfPath());
    std::size_t pages = 0;
    for (std::size_t at = pdf.find("/Type /Page\n"); at != std::string::npos; at = pdf.find("/Type /Page\n", at + 1))
        ++pages;
    state.counters["pages"] = double(pages);
    state.counters["MB"] = double(pdf.size()) / 1e6;
}

// The machine's own hold-ups: the window's event loop with nothing to do for as long as a save takes, while another
// thread only computes, as the sheet's thread does.
void IdleLoopControl(benchmark::State& state) {
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::thread busy([&done] {
            double sum = 0;
            while (!done.load(std::memory_order_relaxed))
                for (int i = 0; i < 100000; ++i) benchmark::DoNotOptimize(sum += i * 0.5);
        });
        EventLoopWatch watch;
        QEventLoop loop;
        QTimer::singleShot(1600, &loop, &QEventLoop::quit);
        loop.exec();
        longestBlocks()["IdleLoopControl"].push_back(watch.stop());
        done = true;
        busy.join();
    }
}

// Every line of every cell of the sheet's tables, painted one below the other in eight columns a page.
void PaintFloor(benchmark::State& state) {
    const tessaro::ProjectMap map = tessaro::buildAnnotatedProjectMap(projectFolder(), {});
    std::vector<QString> lines;
    std::vector<tessaro::MapTable> tables = {tessaro::frameTable(map), tessaro::pollingTable(map),
                                             tessaro::findingTable(map)};
    if (map.withSignals) tables.push_back(tessaro::signalTable(map));
    for (const tessaro::MapTable& table : tables)
        for (const std::vector<std::string>& row : table.rows)
            for (const std::string& cell : row)
                for (const QString& line : QString::fromStdString(cell).split(QLatin1Char('\n'))) lines.push_back(line);
    for (auto _ : state) {
        QBuffer pdf;
        pdf.open(QIODevice::WriteOnly);
        QPdfWriter writer(&pdf);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                         QPageLayout::Millimeter));
        writer.setResolution(72);
        QPainter painter(&writer);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(6.5);
        painter.setFont(font);
        const qreal height = writer.height(), step = 7.6;
        qreal y = step;
        int column = 0;
        for (const QString& line : lines) {
            painter.drawText(QPointF(column * 96.0, y), line);
            if (++column < 8) continue;
            column = 0;
            y += step;
            if (y <= height) continue;
            writer.newPage();
            y = step;
        }
        painter.end();
        benchmark::DoNotOptimize(pdf.data().size());
    }
}

BENCHMARK(SavePdf)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", tessaro::bench::fastest);
BENCHMARK(IdleLoopControl)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(PaintFloor)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", tessaro::bench::fastest);

// The sheet is made on a thread of its own: its time is the time the user waits, not the processor time of the
// window's thread.
class RealTimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.aggregate_name == "min") fastest[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> fastest;
};

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    std::vector<char*> arguments;
    bool withSignals = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--with-signals") == 0)
            withSignals = true;
        else
            arguments.push_back(argv[i]);
    }
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    int count = int(arguments.size());

    std::string folder = (std::filesystem::temp_directory_path() / "tessaro-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return 1;
    projectFolder() = folder;
    tessaro::bench::writeLargestProject(folder);
    if (withSignals) tessaro::replaceFile(folder + "/signals.dbc", tessaro::bench::largestProjectDatabase(2000));

    benchmark::Initialize(&count, arguments.data());
    RealTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);

    const auto measured = reporter.fastest.find("SavePdf"), floor = reporter.fastest.find("PaintFloor");
    if (measured != reporter.fastest.end() && floor != reporter.fastest.end())
        std::printf("\nSavePdf %.0f ms / PaintFloor %.0f ms (fastest real times): %.2f (goal: at most 2.00)\n",
                    measured->second, floor->second, measured->second / floor->second);
    if (measured != reporter.fastest.end())
        std::printf("SavePdf %.2f s (goal: at most 3 s)\n", measured->second / 1000);
    for (auto& [name, blocks] : longestBlocks()) {
        std::sort(blocks.begin(), blocks.end());
        std::printf("%s: the event loop held up %.0f ms at most, %.0f ms in the median run\n", name.c_str(),
                    blocks.back(), blocks[blocks.size() / 2]);
    }
    return 0;
}
