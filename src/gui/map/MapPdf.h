#pragma once

#include <QByteArray>
#include <QFont>
#include <QString>
#include <atomic>
#include <optional>

#include "core/map/ProjectMap.h"

namespace tessaro {

// The titles of the map's tables, in the dialog and on the sheet.
inline constexpr const char* kFramesTableTitle = "Frames: the sources of each data byte";
inline constexpr const char* kSignalTableTitle =
    "Signals fed whole: their registers and how the Modbus side encodes them";
inline constexpr const char* kSlavesTableTitle = "Slaves: the registers the gateway polls";
inline constexpr const char* kFindingsTitle = "Findings";

// How far a sheet has come, shared between the thread that makes it and the window that shows it.
struct SheetProgress {
    std::atomic<int> done{0};  // steps: each table row once laid out and once painted
    std::atomic<int> total{0};
    std::atomic<int> page{0};  // the page being painted, from 1; 0 while the pages are laid out
    std::atomic<int> pages{0};
    std::atomic<bool> cancelled{false};
};

// What the sheet says above its tables.
struct SheetHeading {
    QString projectName;
    QString date;
    QFont font;  // its family is the sheet's
};

// The printable sheet of the map as a PDF: the title, the project name and the date, the legend, then the frames,
// the signals fed whole, the slaves and the findings. Each table's columns are as wide as their texts need, long
// texts wrap at word edges, and its header row starts every page it runs on. Nothing when progress is cancelled
// before the sheet is done. Paints only onto its own PDF, so it may run on any thread.
std::optional<QByteArray> projectMapPdf(const ProjectMap& map, const SheetHeading& heading,
                                        SheetProgress* progress = nullptr);

}  // namespace tessaro
