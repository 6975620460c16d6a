#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>

#include "gui/desk/UDeskTest.h"
#include "support/GuiFixture.h"
#include "support/ModbusTestSlave.h"

namespace tessaro {
namespace {

constexpr const char* kDemoValues =
    "slave,kind,register,value\n"
    "1,holding,0,12000\n1,holding,1,0x11\n1,holding,2,0x22\n1,holding,10,130\n1,holding,11,5\n"
    "1,holding,30,1\n1,holding,31,2\n1,holding,32,3\n1,holding,50,4\n1,holding,51,5\n"
    "2,holding,0,20480\n2,holding,1,7\n2,input,2,8\n2,input,20,0x1234\n2,input,40,9\n";

class DeskTestDialog : public testing::GuiFixture {
protected:
    void useDemo() {
        std::filesystem::copy(std::string(TESSARO_EXAMPLES) + "/engine-demo", tool.file("PROJECTS/demo"),
                              std::filesystem::copy_options::recursive);
        window->project().setNewProject(tool.file("PROJECTS"), "demo");
    }
    void showDesk(std::function<void(TFDeskTest&)> script) {
        fake.dialogs.then([script](QDialog& dialog) { script(static_cast<TFDeskTest&>(dialog)); });
        click("btn_DeskTest");
    }
    static QString cell(QDialog& dialog, const char* table, int row, int column) {
        QTableWidgetItem* item = testing::child<QTableWidget>(dialog, table)->item(row, column);
        return item ? item->text() : QStringLiteral("<no item>");
    }
    // The event loop turns until the condition holds, at most a few seconds.
    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }
};

TEST_F(DeskTestDialog, AValuesFileRunLiveShowsFramesSignalsAndSlavesUntilStopped) {
    useDemo();
    const std::string values = tool.write("values.csv", kDemoValues);
    fake.files.answer = QString::fromStdString(values);
    showDesk([&](TFDeskTest& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Desk Test");
        // Before the run: the frames with every byte not available, On Request marked.
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 0), "61444 (0xF004)");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 1), "EEC1");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 2), "0CF00480");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 6), "FF");
        EXPECT_EQ(cell(dialog, "sgFrames", 4, 12), "On Request");
        EXPECT_EQ(cell(dialog, "sgSlaves", 1, 6), "not asked yet");

        testing::child<QPushButton>(dialog, "BtnBrowse")->click();
        EXPECT_EQ(testing::child<QLineEdit>(dialog, "E_Values")->text().toStdString(), values);
        ASSERT_EQ(fake.files.calls.size(), 1u);
        EXPECT_EQ(fake.files.calls[0].kind, "open");
        testing::child<QPushButton>(dialog, "BtnStart")->click();
        EXPECT_TRUE(dialog.running());
        EXPECT_FALSE(testing::child<QPushButton>(dialog, "BtnStart")->isEnabled());
        ASSERT_TRUE(waitFor([&] { return cell(dialog, "sgFrames", 0, 11).toInt() >= 2; }));

        // EEC1: 12000 = 0x2EE0 from slave 1's register 0, its high byte in B5, its low in B4.
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 6), "E0");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 7), "2E");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 3), "FF");
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 12).size(), 12);  // HH:mm:ss.zzz
        EXPECT_EQ(cell(dialog, "sgSignals", 0, 1), "EEC1");
        EXPECT_EQ(cell(dialog, "sgSignals", 0, 2), "EngineSpeed");
        EXPECT_EQ(cell(dialog, "sgSignals", 0, 3), "1500");
        EXPECT_EQ(cell(dialog, "sgSignals", 0, 4), "rpm");
        ASSERT_TRUE(waitFor([&] { return cell(dialog, "sgSlaves", 1, 4).toInt() > 0; }));
        EXPECT_EQ(cell(dialog, "sgSlaves", 0, 6), "answering");
        EXPECT_EQ(cell(dialog, "sgSlaves", 1, 5), "02 (illegal data address)");
        EXPECT_TRUE(testing::child<QLabel>(dialog, "LStatus")->text().startsWith("Running: "));

        testing::child<QPushButton>(dialog, "BtnStop")->click();
        ASSERT_TRUE(waitFor([&] { return !dialog.running(); }));
        EXPECT_TRUE(testing::child<QPushButton>(dialog, "BtnStart")->isEnabled());
        EXPECT_TRUE(testing::child<QLabel>(dialog, "LStatus")->text().startsWith("Stopped after "));
        const QString count = cell(dialog, "sgFrames", 0, 11);
        QTest::qWait(300);
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 11), count);
    });
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(DeskTestDialog, ClosingTheDialogStopsTheRun) {
    useDemo();
    testing::ModbusTestSlave slave;
    slave.setHolding(1, 0, 12000);
    TFDeskTest* shown = nullptr;
    showDesk([&](TFDeskTest& dialog) {
        shown = &dialog;
        testing::child<QRadioButton>(dialog, "RB_Tcp")->setChecked(true);
        auto* address = testing::child<QLineEdit>(dialog, "E_Tcp");
        address->setText(QStringLiteral("127.0.0.1:%1").arg(slave.port()));
        // Enter in a field is Start.
        QTest::keyClick(address, Qt::Key_Return);
        EXPECT_TRUE(dialog.running());
        ASSERT_TRUE(waitFor([&] { return cell(dialog, "sgFrames", 0, 11).toInt() >= 1; }));
        EXPECT_EQ(cell(dialog, "sgFrames", 0, 7), "2E");
        testing::child<QPushButton>(dialog, "BtnClose")->click();
    });
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(shown->running());
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(DeskTestDialog, WhatCannotBeOpenedIsABoxNamingItAndTheReason) {
    useDemo();
    const std::string values = tool.write("values.csv", "slave,kind,register,value\n1,coil,0,1\n");
    const std::string missing = tool.file("no-such-adapter");
    fake.serialPort.mapped[QStringLiteral("COM4")] = QString::fromStdString(missing);
    showDesk([&](TFDeskTest& dialog) {
        const auto start = [&] {
            testing::child<QPushButton>(dialog, "BtnStart")->click();
            ASSERT_TRUE(waitFor([&] { return !dialog.running(); }));
        };
        testing::child<QRadioButton>(dialog, "RB_Tcp")->setChecked(true);
        testing::child<QLineEdit>(dialog, "E_Tcp")->setText(QStringLiteral("127.0.0.1:1"));
        start();
        testing::child<QLineEdit>(dialog, "E_Values")->setText(QString::fromStdString(values));
        testing::child<QRadioButton>(dialog, "RB_Values")->setChecked(true);
        start();
        testing::child<QRadioButton>(dialog, "RB_Com")->setChecked(true);
        testing::child<QComboBox>(dialog, "CB_Com")->setCurrentIndex(3);
        EXPECT_EQ(testing::child<QLabel>(dialog, "L_Device")->toolTip().toStdString(), missing);
        start();
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<testing::Message>{
                  {"standardError", "cannot connect to 127.0.0.1:1: Connection refused"},
                  {"standardError", values + ":2:2: 'coil' is no register kind: holding or input (or 3 or 4)"},
                  {"standardError", "cannot open " + missing + ": No such file or directory"}}));
}

TEST_F(DeskTestDialog, StartWithoutAValuesFileSaysWhereToNameOne) {
    useDemo();
    showDesk([&](TFDeskTest& dialog) {
        testing::child<QLineEdit>(dialog, "E_Values")->setText(QStringLiteral("   "));
        testing::child<QPushButton>(dialog, "BtnStart")->click();
        EXPECT_FALSE(dialog.running());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<testing::Message>{
                  {"error",
                   "Choose a values file\nNo file is named for \"Values file\": type its path or press Browse..."}}));
}

TEST_F(DeskTestDialog, AProjectThatDoesNotBuildIsTheBuildersMessage) {
    useDemo();
    tool.write("PROJECTS/demo/Group.xml", "<Group><row Cyclic_Time=\"abc\"/></Group>");
    showDesk([&](TFDeskTest& dialog) {
        EXPECT_FALSE(dialog.model());
        EXPECT_EQ(testing::child<QTableWidget>(dialog, "sgFrames")->rowCount(), 0);
        testing::child<QPushButton>(dialog, "BtnStart")->click();
        EXPECT_FALSE(dialog.running());
    });
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_EQ(fake.messages.shown[0].text.rfind("'abc' is not a valid integer value", 0), 0u);
}

}  // namespace
}  // namespace tessaro
