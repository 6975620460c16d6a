// "Project Map" shown over the largest project (250 frames, 7032 definitions) against the floor: filling the
// dialog's grids (frames, slaves, findings) with the same texts, computed beforehand, and nothing else.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "FastestRatio.h"
#include "LargeProject.h"
#include "core/map/MapFormats.h"
#include "core/project/ProjectState.h"
#include "gui/map/UProjectMap.h"
#include "platform/QtPlatform.h"

namespace {

std::string& projectFolder() {
    static std::string folder;
    return folder;
}

void fillFloor(QTableWidget& table, const tessaro::MapTable& texts) {
    table.clear();
    table.setColumnCount(int(texts.titles.size()));
    table.setRowCount(int(texts.rows.size()));
    for (int row = 0; row < int(texts.rows.size()); ++row)
        for (int column = 0; column < int(texts.titles.size()); ++column)
            table.setItem(
                row, column,
                new QTableWidgetItem(QString::fromStdString(texts.rows[std::size_t(row)][std::size_t(column)])));
}

// The dialog's own grids, so that the floor pays what the grids themselves cost.
void FillFloor(benchmark::State& state) {
    const tessaro::ProjectMap map = tessaro::buildProjectMap(projectFolder());
    const tessaro::MapTable frames = tessaro::frameTable(map);
    const tessaro::MapTable polling = tessaro::pollingTable(map);
    const tessaro::MapTable findings = tessaro::findingTable(map);
    tessaro::platform::QtPlatform adapters{QString::fromStdString(projectFolder())};
    tessaro::ProjectState project;
    tessaro::TFProjectMap dialog(adapters.platform(), project);
    auto* frameGrid = dialog.findChild<QTableWidget*>(QStringLiteral("sgFrames"));
    auto* pollingGrid = dialog.findChild<QTableWidget*>(QStringLiteral("sgSlaves"));
    auto* findingGrid = dialog.findChild<QTableWidget*>(QStringLiteral("sgFindings"));
    for (auto _ : state) {
        fillFloor(*frameGrid, frames);
        fillFloor(*pollingGrid, polling);
        fillFloor(*findingGrid, findings);
        benchmark::DoNotOptimize(pollingGrid->item(0, 0));
    }
}

void ShowProjectMap(benchmark::State& state) {
    tessaro::platform::QtPlatform adapters{QString::fromStdString(projectFolder())};
    tessaro::ProjectState project;
    project.projectFolder = projectFolder();
    project.SetProjectPaths();
    tessaro::TFProjectMap dialog(adapters.platform(), project);
    for (auto _ : state) {
        dialog.FormShow();
        benchmark::DoNotOptimize(dialog.map());
    }
    if (!dialog.map() || dialog.map()->frames.size() != 250) state.SkipWithError("the map was not read");
}

BENCHMARK(FillFloor)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", tessaro::bench::fastest);
BENCHMARK(ShowProjectMap)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", tessaro::bench::fastest);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    return tessaro::bench::runAgainstLargestProject(
        argc, argv, [](const std::string& folder) { projectFolder() = folder; }, "ShowProjectMap", "FillFloor", 2.0,
        "ms");
}
