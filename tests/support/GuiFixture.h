#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <filesystem>
#include <memory>

#include "gui/app/UTessaroFirmWare.h"
#include "support/FakePlatform.h"
#include "support/TemporaryFolder.h"

namespace tessaro::testing {

// A tool folder of its own, the recording platform, and the main window started over them.
class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override { start(); }
    void TearDown() override { window.reset(); }

    // Starts the tool (again) over the same tool folder, as the next run would.
    void start() {
        window.reset();
        window = std::make_unique<TFTessaroFirmWare>(fake.platform(), QString::fromStdString(tool.path()));
        window->createWindows();
    }
    // Closes the main window as the user does with "X"; the settings file is written.
    void closeTool() { window->LbButton1Click(); }

    // A new folder below PROJECTS as the current project.
    void useNewProject(const std::string& name) {
        std::filesystem::create_directory(tool.file("PROJECTS/" + name));
        window->project().setNewProject(tool.file("PROJECTS"), name);
    }

    void click(const char* name) { child<QAbstractButton>(*window, name)->click(); }
    std::string caption() const { return window->windowTitle().toStdString(); }
    std::string projectFile(const std::string& name) const { return window->project().projectFolder + "/" + name; }

    TemporaryFolder tool;
    FakePlatform fake;
    std::unique_ptr<TFTessaroFirmWare> window;
};

}  // namespace tessaro::testing
