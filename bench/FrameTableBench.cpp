// Show and OK of a full frame table (250 frames, 10 groups) against the floor: filling the same grid with the
// same 1750 texts and nothing else. Every timed fill starts from an emptied grid, so each cell really changes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QTableWidget>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "core/project/ProjectState.h"
#include "gui/editors/CellGrid.h"
#include "gui/editors/UpdoMB.h"
#include "platform/Platform.h"
#include "platform/QtPlatform.h"

namespace {

// The counters use the thread's CPU time: on a machine shared with other work, wall time also counts the time
// the thread waited for a core. The iteration time (show + OK) stays wall time.
struct ThreadClock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<ThreadClock>;
    static time_point now() {
        timespec now{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return time_point(duration(std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec));
    }
};
using Clock = ThreadClock;
using WallClock = std::chrono::steady_clock;

double microseconds(Clock::duration elapsed) {
    return std::chrono::duration<double, std::micro>(elapsed).count();
}

struct CountingMessages : tessaro::platform::Messages {
    void plain(const QString&) override { ++shown; }
    void error(const QString&) override { ++shown; }
    void standardError(const QString&) override { ++shown; }
    int shown = 0;
};
struct NoDialogs : tessaro::platform::DialogRunner {
    int runModal(QDialog& dialog) override { return dialog.exec(); }
};
struct NoFolders : tessaro::platform::FolderBrowser {
    std::optional<QString> chooseFolder(QWidget*, const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};
struct NoShell : tessaro::platform::Shell {
    void open(const QString&) override {}
};

void write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string hex(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

// A project whose ten groups and 250 frames use every column, with texts of typical length.
std::string makeProject() {
    std::string folder = (std::filesystem::temp_directory_path() / "tessaro-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) throw std::runtime_error("cannot create a temporary folder");
    std::string groups = "<Group>";
    for (int group = 1; group <= 10; ++group)
        groups += "<row Cyclic_Time=\"" + std::to_string(group * 100) + "\" Mnemonic=\"Group " + std::to_string(group) +
                  "\"/>";
    write(folder + "/Group.xml", groups + "</Group>");
    std::string frames = "<Frames_J1939>";
    for (int frame = 1; frame <= 250; ++frame)
        frames += "<row Priority=\"" + std::to_string(frame % 8) + "\" DataPage=\"" + std::to_string(frame % 2) +
                  "\" PGN=\"" + hex(0xF000 + frame) + "\" Group=\"" + std::to_string(frame % 11) + "\" Erase=\"" +
                  (frame % 3 ? "Y" : "N") + "\" Mnemonic=\"Engine speed " + std::to_string(frame) + " &amp; load\"/>";
    write(folder + "/FrameJ1939.xml", frames + "</Frames_J1939>");
    return folder;
}

void FrameTableShowAndOk(benchmark::State& state) {
    const std::string folder = makeProject();
    CountingMessages messages;
    NoDialogs dialogs;
    NoFolders folders;
    NoShell shell;
    tessaro::platform::QtPlatform adapters{QString::fromStdString(folder)};  // its port and launcher are not used
    tessaro::ProjectState project;
    project.projectFolder = folder;
    project.SetProjectPaths();
    tessaro::TFpdoMB dialog(tessaro::platform::Platform{messages, dialogs, folders, shell, adapters.serialPort,
                                                        adapters.launcher, adapters.files, adapters.instanceLock},
                            project);
    auto* grid = dialog.findChild<QTableWidget*>(QStringLiteral("sgA"));

    tessaro::TableRows texts;
    tessaro::readFrameTable(project.groupPath, project.frameJ1939Path, tessaro::collectInto(texts));
    const tessaro::TableRows empty;
    const tessaro::CellSink ignore = [](std::size_t, std::size_t, std::string_view) {};

    // Floor and FormShow are measured on the visible dialog, as FormShow runs from the show. Between two timed
    // steps the pending events are handled (painting included), as the event loop does between two shows.
    const auto settle = [] { QCoreApplication::processEvents(); };
    dialog.show();
    double floor = 0, read = 0, formShow = 0, show = 0, ok = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        benchmark::DoNotOptimize(tessaro::readFrameTable(project.groupPath, project.frameJ1939Path, ignore));
        read += microseconds(Clock::now() - start);

        tessaro::fillGrid(grid, empty);
        settle();
        start = Clock::now();
        tessaro::fillGrid(grid, texts);
        floor += microseconds(Clock::now() - start);

        tessaro::fillGrid(grid, empty);
        settle();
        start = Clock::now();
        dialog.FormShow();
        formShow += microseconds(Clock::now() - start);

        // The user's road: the dialog opens (FormShow runs from the show) and OK writes and closes it.
        dialog.hide();
        tessaro::fillGrid(grid, empty);
        settle();
        const WallClock::time_point wallStart = WallClock::now();
        start = Clock::now();
        dialog.show();
        const Clock::time_point shown = Clock::now();
        dialog.BitBtn1Click();
        const Clock::time_point closed = Clock::now();
        const WallClock::time_point wallEnd = WallClock::now();
        show += microseconds(shown - start);
        ok += microseconds(closed - shown);
        if (dialog.isVisible() || messages.shown != 0) {
            state.SkipWithError("OK did not close the dialog cleanly");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(wallEnd - wallStart).count());
        dialog.show();
    }
    const double n = double(state.iterations());
    state.counters["floor_us"] = floor / n;
    state.counters["read_us"] = read / n;
    state.counters["FormShow_us"] = formShow / n;
    state.counters["FormShow_over_floor"] = formShow / floor;
    state.counters["show_us"] = show / n;
    state.counters["show_over_floor"] = show / floor;
    state.counters["ok_us"] = ok / n;
    std::filesystem::remove_all(folder);
}
BENCHMARK(FrameTableShowAndOk)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace
