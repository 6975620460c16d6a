// "Define J1939" with the largest project the image holds: 250 frames and 7 032 definitions. Show and OK of the
// dialog, the same through the model alone, and their floors: parsing and writing the same documents with pugixml.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/documents/AtomicFile.h"
#include "core/editors/FrameDefinitions.h"
#include "core/project/ProjectState.h"
#include "gui/editors/UInfoPdoMB.h"
#include "platform/QtPlatform.h"

namespace {

constexpr int kFrames = 250;
constexpr int kDefinitions = 7032;

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// A project folder with both documents; the definitions come in frame order of a round robin, so that writing has
// to regroup them.
class LargeProject {
public:
    LargeProject() {
        folder = (std::filesystem::temp_directory_path() / "tessaro-bench-definitions").string();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::string frames = "<Frames_J1939>";
        for (int frame = 0; frame < kFrames; ++frame)
            frames += "<row Priority=\"6\" DataPage=\"0\" PGN=\"" + std::to_string(0xF000 + frame) +
                      "\" Group=\"1\" Erase=\"N\" Mnemonic=\"Frame " + std::to_string(frame + 1) + "\"/>";
        writeText(frameTablePath(), frames + "</Frames_J1939>");
        std::string definitions = "<DefFrame>";
        for (int n = 0; n < kDefinitions; ++n) {
            const int count = n % 8;
            definitions += "<row NrFrameJ1939=\"" + std::to_string(n % kFrames + 1) + "\" Device_ID=\"" +
                           std::to_string(n % 250 + 1) + "\" Index=\"" + std::to_string(n * 8 % 65536) +
                           "\" Num_Reg=\"" + std::to_string(count) + "\" Type_Reg=\"" + std::to_string(3 + n % 2) +
                           "\"";
            for (int k = 0; k < 8; ++k)
                definitions += " poscomp" + std::to_string(k) + "=\"" + std::to_string(k <= count ? 0x12 : 0) + "\"";
            definitions += "/>";
        }
        writeText(definitionsPath(), definitions + "</DefFrame>");
    }
    ~LargeProject() { std::filesystem::remove_all(folder); }

    std::string frameTablePath() const { return folder + "/FrameJ1939.xml"; }
    std::string definitionsPath() const { return folder + "/DefFrameJ1939.xml"; }

    std::string folder;
};

const LargeProject& project() {
    static const LargeProject instance;
    return instance;
}

// The dialog as the tool creates it, over the large project. The project loads without a message, so the real
// adapters show nothing.
struct Dialog {
    Dialog() {
        state.projectFolder = project().folder;
        state.SetProjectPaths();
    }
    tessaro::platform::QtPlatform adapters{QString::fromStdString(project().folder)};
    tessaro::ProjectState state;
    tessaro::TFInfopdoMB dialog{adapters.platform(), state};
};

void checkLoaded(benchmark::State& state, const tessaro::FrameDefinitions& list) {
    std::size_t definitions = 0;
    for (std::size_t frame = 0; frame < list.frameCount(); ++frame) definitions += list.frame(frame).definitions.size();
    if (list.frameCount() != kFrames || definitions != kDefinitions) state.SkipWithError("the project did not load");
}

void DefineShow(benchmark::State& state) {
    Dialog window;
    for (auto _ : state) window.dialog.FormShow();
    checkLoaded(state, window.dialog.frameList());
}
BENCHMARK(DefineShow)->Unit(benchmark::kMillisecond);

void DefineShowFloor(benchmark::State& state) {
    for (auto _ : state) {
        pugi::xml_document frames;
        pugi::xml_document definitions;
        benchmark::DoNotOptimize(frames.load_file(project().frameTablePath().c_str()));
        benchmark::DoNotOptimize(definitions.load_file(project().definitionsPath().c_str()));
    }
}
BENCHMARK(DefineShowFloor)->Unit(benchmark::kMillisecond);

// What any reader of every value costs at least: the parse, then each attribute of each row taken as a number.
void DefineShowVisitFloor(benchmark::State& state) {
    for (auto _ : state) {
        pugi::xml_document frames;
        pugi::xml_document definitions;
        frames.load_file(project().frameTablePath().c_str());
        definitions.load_file(project().definitionsPath().c_str());
        long sum = 0;
        for (const pugi::xml_document* document : {&frames, &definitions})
            for (pugi::xml_node row = document->document_element().first_child(); row; row = row.next_sibling())
                for (pugi::xml_attribute value = row.first_attribute(); value; value = value.next_attribute())
                    sum += value.as_int();
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(DefineShowVisitFloor)->Unit(benchmark::kMillisecond);

void DefineOk(benchmark::State& state) {
    Dialog window;
    window.dialog.FormShow();
    checkLoaded(state, window.dialog.frameList());
    const std::string original = tessaro::readFile(project().definitionsPath());
    for (auto _ : state) window.dialog.BitBtn1Click();
    writeText(project().definitionsPath(), original);
}
BENCHMARK(DefineOk)->Unit(benchmark::kMillisecond);

// The same rows, already in memory and in frame order, built and saved by pugixml alone.
void DefineOkFloor(benchmark::State& state) {
    const tessaro::FrameDefinitions list =
        tessaro::readFrameDefinitions(project().frameTablePath(), project().definitionsPath()).content;
    const std::string path = project().folder + "/floor.xml";
    for (auto _ : state) {
        pugi::xml_document document;
        pugi::xml_node root = document.append_child("DefFrame");
        for (std::size_t frame = 0; frame < list.frameCount(); ++frame) {
            const tessaro::TClPdo& record = list.frame(frame);
            for (const tessaro::TClIndMB& definition : record.definitions) {
                pugi::xml_node row = root.append_child("row");
                row.append_attribute("NrFrameJ1939") = record.frameNumber;
                row.append_attribute("Device_ID") = definition.deviceId.c_str();
                row.append_attribute("Index") = definition.index.c_str();
                row.append_attribute("Num_Reg") = unsigned(definition.registerCount);
                row.append_attribute("Type_Reg") = unsigned(definition.registerKind) + 3;
                static const char* const names[] = {"poscomp0", "poscomp1", "poscomp2", "poscomp3",
                                                    "poscomp4", "poscomp5", "poscomp6", "poscomp7"};
                for (std::size_t k = 0; k < 8; ++k) row.append_attribute(names[k]) = unsigned(definition.positions[k]);
            }
        }
        benchmark::DoNotOptimize(document.save_file(path.c_str(), "", pugi::format_raw | pugi::format_no_declaration));
    }
}
BENCHMARK(DefineOkFloor)->Unit(benchmark::kMillisecond);

// The model alone, without the list boxes: where the dialog's time goes.
void ModelLoad(benchmark::State& state) {
    tessaro::FrameDefinitions list;
    for (auto _ : state)
        list = tessaro::readFrameDefinitions(project().frameTablePath(), project().definitionsPath()).content;
    checkLoaded(state, list);
}
BENCHMARK(ModelLoad)->Unit(benchmark::kMillisecond);

void ModelSave(benchmark::State& state) {
    const tessaro::FrameDefinitions list =
        tessaro::readFrameDefinitions(project().frameTablePath(), project().definitionsPath()).content;
    const std::string path = project().folder + "/model.xml";
    for (auto _ : state) list.save(path);
}
BENCHMARK(ModelSave)->Unit(benchmark::kMillisecond);

}  // namespace
