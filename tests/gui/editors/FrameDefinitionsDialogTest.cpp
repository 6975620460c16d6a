#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/exchange/ProjectExchange.h"
#include "gui/editors/RadioGroup.h"
#include "gui/editors/UInfoPdoMB.h"
#include "support/DefinitionRows.h"
#include "support/GuiFixture.h"

namespace tessaro {
namespace {

using testing::child;
using testing::definitionRow;
using testing::frameRow;
using testing::Message;
using testing::threeFrames;
using testing::writtenRow;
using Selectors = std::array<int, kRegisterSlots>;

const char* const kFrames = "PROJECTS/FrameJ1939.xml";
const char* const kDefinitions = "PROJECTS/DefFrameJ1939.xml";

std::string definitionsDocument(const std::string& rows) {
    return "<DefFrame>" + rows + "</DefFrame>";
}

class FrameDefinitionsDialog : public testing::GuiFixture {
protected:
    // Opens "Define J1939" and lets script act as the user.
    void define(std::function<void(TFInfopdoMB&)> script) {
        fake.dialogs.then([script](QDialog& dialog) { script(static_cast<TFInfopdoMB&>(dialog)); });
        click("btn_Info_RCOB");
    }
    // Three frames; frame 1 holds Ind MB 0 (index 100, two holding registers B1/B2 and none/B3) and Ind MB 1.
    void twoDefinitionsOnFrameOne() {
        tool.write(kFrames, threeFrames());
        tool.write(kDefinitions, definitionsDocument(writtenRow(1, "5", "100", 1, 3, {18, 3}) +
                                                     writtenRow(1, "6", "101", 0, 4, {0x45})));
    }

    static QListWidget* frames(QWidget& dialog) { return child<QListWidget>(dialog, "LPdoCanA"); }
    static QListWidget* definitions(QWidget& dialog) { return child<QListWidget>(dialog, "LIndMbCanA"); }
    static QStringList items(QListWidget* list) {
        QStringList texts;
        for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
        return texts;
    }
    // As with the keyboard: the current line moves.
    static void selectFrame(QWidget& dialog, int row) { frames(dialog)->setCurrentRow(row); }
    static void selectDefinition(QWidget& dialog, int row) { definitions(dialog)->setCurrentRow(row); }
    // As with the mouse: press and release on the line.
    static void clickLine(QListWidget* list, int row) {
        list->doItemsLayout();
        const QPoint centre = list->visualItemRect(list->item(row)).center();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, centre, list->viewport()->mapToGlobal(centre), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &event);
        }
    }
    static void press(QWidget& dialog, const char* name) { child<QAbstractButton>(dialog, name)->click(); }
    // Types the index and the device ID, then New.
    static void add(QWidget& dialog, const char* index, const char* deviceId) {
        type(dialog, "EindexA", index);
        type(dialog, "E_Dev_ID", deviceId);
        press(dialog, "NewA");
    }
    static void type(QWidget& dialog, const char* name, const char* text) {
        child<QLineEdit>(dialog, name)->setText(QString::fromUtf8(text));
    }
    static std::string text(QWidget& dialog, const char* name) {
        if (auto* combo = dialog.findChild<QComboBox*>(QString::fromLatin1(name)))
            return combo->currentText().toStdString();
        return child<QLineEdit>(dialog, name)->text().toStdString();
    }
    static RadioGroup* selector(QWidget& dialog, const char* side, int r) {
        const std::string name = std::string("RG_") + side + "_R" + std::to_string(r);
        return child<RadioGroup>(dialog, name.c_str());
    }
    // The sixteen selectors' choices as the user sees them.
    static std::pair<Selectors, Selectors> selectors(QWidget& dialog) {
        Selectors high{}, low{};
        for (int r = 1; r <= 8; ++r) {
            high[r - 1] = selector(dialog, "HI", r)->itemIndex();
            low[r - 1] = selector(dialog, "LO", r)->itemIndex();
        }
        return {high, low};
    }
    static void choose(QWidget& dialog, const char* side, int r, int item) {
        selector(dialog, side, r)->button(item)->click();
    }
    static void points(QWidget& dialog, int count) { child<QComboBox>(dialog, "CB_NoP")->setCurrentIndex(count - 1); }
    // The controls as Reset leaves them.
    static void expectReset(QWidget& dialog) {
        EXPECT_EQ(text(dialog, "EindexA"), "");
        EXPECT_EQ(text(dialog, "E_Dev_ID"), "");
        EXPECT_EQ(text(dialog, "CB_NoP"), "1");
        EXPECT_EQ(text(dialog, "CB_ToD"), "Holding Register");
        EXPECT_EQ(child<QTabWidget>(dialog, "PageControl1")->currentIndex(), 0);
        EXPECT_EQ(selectors(dialog), (std::pair<Selectors, Selectors>{}));
    }
};

TEST_F(FrameDefinitionsDialog, OkRewritesTheRowsGroupedByFrameWithoutRowsBeyondTheFrames) {
    tool.write(kFrames, threeFrames());
    tool.write(kDefinitions,
               "<?xml version=\"1.0\"?>\n<DefFrame>\n " +
                   definitionRow(3, "1", "30", 0, 3, testing::positionAttributes({0x11, 0x22, 0x33})) + "\n " +
                   definitionRow(1, "2", " 300", 1, 4, testing::positionAttributes({0x12, 0x34, 0x56, 0x78})) + "\n " +
                   definitionRow(5, "3", "50", 0, 3) + "\n " +
                   definitionRow(2, "4", "0x10", 2, 3, " poscomp0=\"1\" poscomp1=\"2\" poscomp2=\"3\"") + "\n " +
                   definitionRow(1, "250", "11", 0, 3, " poscomp0=\"136\"") + "\n</DefFrame>\n");
    const std::string before = tool.read(kDefinitions);
    define([&](TFInfopdoMB& dialog) {
        press(dialog, "bitbtn1");
        EXPECT_TRUE(dialog.isVisible()) << "the row of frame 5 would be dropped: the first OK says so";
        EXPECT_EQ(tool.read(kDefinitions), before);
        press(dialog, "bitbtn1");
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "Row 3 of DefFrameJ1939.xml belongs to a frame that FrameJ1939.xml "
                                     "does not have (it has 3 frames), so OK would lose it: press OK again "
                                     "to drop it, or Cancel to keep DefFrameJ1939.xml as it is."}}));
    EXPECT_EQ(
        tool.read(kDefinitions),
        definitionsDocument(writtenRow(1, "2", " 300", 1, 4, {0x12, 0x34}) + writtenRow(1, "250", "11", 0, 3, {136}) +
                            writtenRow(2, "4", "0x10", 2, 3, {1, 2, 3}) + writtenRow(3, "1", "30", 0, 3, {0x11})));
}

TEST_F(FrameDefinitionsDialog, ControlsTextsAndTheStateAfterShow) {
    twoDefinitionsOnFrameOne();
    define([](TFInfopdoMB& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Define Frames J1939");
        EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "fixed size";
        EXPECT_EQ(items(frames(dialog)), (QStringList{"6\t0\t0xFEF1", " 3\t1\t61444", "7\t0\t$FEEE"}));
        EXPECT_EQ(frames(dialog)->currentRow(), -1);
        EXPECT_TRUE(items(definitions(dialog)).isEmpty());
        expectReset(dialog);
        EXPECT_EQ(dialog.focusWidget(), child<QPushButton>(dialog, "bitbtn1"));

        QStringList labels;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
        for (const char* caption : {"Correlated", "PRI         DP        PGN", "MODBUS", "Device ID", "Index MODBUS",
                                    "Number of Point", "Type of Data"})
            EXPECT_EQ(labels.count(caption), 1) << caption;
        EXPECT_EQ(labels.count("Tanslate in"), 16);
        EXPECT_EQ(labels.count("High MODBUS Byte"), 8);
        EXPECT_EQ(labels.count("Low MODBUS Byte"), 8);

        auto* numberOfPoints = child<QComboBox>(dialog, "CB_NoP");
        auto* kind = child<QComboBox>(dialog, "CB_ToD");
        EXPECT_FALSE(numberOfPoints->isEditable());
        EXPECT_FALSE(kind->isEditable());
        QStringList pointItems, kindItems;
        for (int i = 0; i < numberOfPoints->count(); ++i) pointItems << numberOfPoints->itemText(i);
        for (int i = 0; i < kind->count(); ++i) kindItems << kind->itemText(i);
        EXPECT_EQ(pointItems, (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));
        EXPECT_EQ(kindItems, (QStringList{"Holding Register", "Input Register"}));

        auto* tabs = child<QTabWidget>(dialog, "PageControl1");
        ASSERT_EQ(tabs->count(), 8);
        for (int r = 1; r <= 8; ++r) {
            EXPECT_EQ(tabs->tabText(r - 1), QStringLiteral("R%1").arg(r));
            for (const char* side : {"HI", "LO"}) {
                RadioGroup* group = selector(dialog, side, r);
                EXPECT_EQ(group->title(), "Selected Frame Byte");
                EXPECT_TRUE(tabs->widget(r - 1)->isAncestorOf(group)) << side << r;
                QStringList choices;
                for (int i = 0; i < group->count(); ++i) choices << group->button(i)->text();
                EXPECT_EQ(choices, (QStringList{"none", "B1", "B2", "B3", "B4", "B5", "B6", "B7", "B8"}));
            }
        }
        const std::pair<const char*, const char*> buttons[] = {
            {"DELETEa", "Delete"}, {"NewA", "New"},       {"ModifyA", "Modify"},
            {"copyA", "Copy"},     {"PasteA", "Paste"},   {"bitbtn1", "OK"},
            {"bitbtn2", "Cancel"}, {"button1", "Export"}, {"bitbtn4", "Import"}};
        for (const auto& [name, caption] : buttons)
            EXPECT_EQ(child<QPushButton>(dialog, name)->text().toStdString(), caption);
        EXPECT_TRUE(child<QPushButton>(dialog, "bitbtn4")->isEnabled());
    });
}

TEST_F(FrameDefinitionsDialog, SelectingAFrameListsItsDefinitionsAndADefinitionFillsTheControls) {
    twoDefinitionsOnFrameOne();
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0", "Ind MB 1"}));
        EXPECT_EQ(definitions(dialog)->currentRow(), -1);
        child<QTabWidget>(dialog, "PageControl1")->setCurrentIndex(2);
        choose(dialog, "HI", 5, 4);  // on a register the definition does not use
        selectDefinition(dialog, 0);
        EXPECT_EQ(text(dialog, "E_Dev_ID"), "5");
        EXPECT_EQ(text(dialog, "EindexA"), "100");
        EXPECT_EQ(text(dialog, "CB_NoP"), "2");
        EXPECT_EQ(text(dialog, "CB_ToD"), "Holding Register");
        EXPECT_EQ(selectors(dialog),
                  (std::pair<Selectors, Selectors>{{1, 0, 0, 0, 0, 0, 0, 0}, {2, 3, 0, 0, 0, 0, 0, 0}}));
        EXPECT_EQ(child<QTabWidget>(dialog, "PageControl1")->currentIndex(), 2) << "the tab in front stays";
        selectDefinition(dialog, 1);
        EXPECT_EQ(text(dialog, "CB_ToD"), "Input Register");
        EXPECT_EQ(selectors(dialog),
                  (std::pair<Selectors, Selectors>{{4, 0, 0, 0, 0, 0, 0, 0}, {5, 0, 0, 0, 0, 0, 0, 0}}));

        selectFrame(dialog, 2);
        EXPECT_TRUE(items(definitions(dialog)).isEmpty()) << "a frame without definitions";
        expectReset(dialog);
    });
}

TEST_F(FrameDefinitionsDialog, LabelsAfterNewAndAfterDeleteUntilTheFrameIsSelectedAgain) {
    twoDefinitionsOnFrameOne();
    define([](TFInfopdoMB& dialog) {
        clickLine(frames(dialog), 0);
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0", "Ind MB 1"}));
        add(dialog, "200", "7");
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0", "Ind MB 1", "Ind Mb 2"}));
        EXPECT_EQ(definitions(dialog)->currentRow(), 2);
        EXPECT_EQ(text(dialog, "EindexA"), "200") << "the controls keep their contents";
    });
    define([](TFInfopdoMB& dialog) {
        clickLine(frames(dialog), 0);
        clickLine(definitions(dialog), 0);
        press(dialog, "DELETEa");
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 1"}));
        EXPECT_EQ(definitions(dialog)->selectedItems().size(), 0);
        EXPECT_EQ(text(dialog, "EindexA"), "100") << "the controls keep their contents";
        press(dialog, "DELETEa");
        press(dialog, "ModifyA");
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 1"})) << "nothing selected: nothing happens";
        type(dialog, "EindexA", "300");
        press(dialog, "NewA");
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 1", "Ind Mb 1"}));
        clickLine(frames(dialog), 0);
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0", "Ind MB 1"})) << "selected again";
        press(dialog, "bitbtn1");
    });
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(tool.read(kDefinitions),
              definitionsDocument(writtenRow(1, "6", "101", 0, 4, {0x45}) + writtenRow(1, "5", "300", 1, 3, {18, 3})));
}

TEST_F(FrameDefinitionsDialog, ModifyWithFewerPointsStoresZeroForTheRegistersLeftOut) {
    tool.write(kFrames, threeFrames());
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 1);
        type(dialog, "EindexA", "0x20");
        type(dialog, "E_Dev_ID", " 9");
        points(dialog, 3);
        child<QComboBox>(dialog, "CB_ToD")->setCurrentIndex(1);
        for (int r = 1; r <= 3; ++r) {
            choose(dialog, "HI", r, r);
            choose(dialog, "LO", r, r + 4);
        }
        press(dialog, "NewA");
        EXPECT_EQ(dialog.frameList().frame(1).definitions.at(0).positions,
                  (std::array<std::uint8_t, 8>{0x15, 0x26, 0x37}));
        points(dialog, 1);
        press(dialog, "ModifyA");
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind Mb 0"})) << "Modify keeps the label";
        EXPECT_EQ(selector(dialog, "HI", 2)->itemIndex(), 2) << "the tabs keep the earlier choices";
        EXPECT_EQ(selector(dialog, "LO", 3)->itemIndex(), 7);
        press(dialog, "bitbtn1");
    });
    EXPECT_EQ(tool.read(kDefinitions), definitionsDocument(writtenRow(2, " 9", "0x20", 0, 4, {0x15})));
}

TEST_F(FrameDefinitionsDialog, CopyOnOneFramePasteOnAnotherAndAgainAfterClosing) {
    twoDefinitionsOnFrameOne();
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        selectDefinition(dialog, 0);
        press(dialog, "copyA");
        selectFrame(dialog, 1);
        expectReset(dialog);
        press(dialog, "PasteA");
        EXPECT_EQ(text(dialog, "EindexA"), "100");
        EXPECT_EQ(text(dialog, "E_Dev_ID"), "5");
        EXPECT_EQ(text(dialog, "CB_NoP"), "2");
        EXPECT_EQ(selectors(dialog),
                  (std::pair<Selectors, Selectors>{{1, 0, 0, 0, 0, 0, 0, 0}, {2, 3, 0, 0, 0, 0, 0, 0}}));
        EXPECT_TRUE(items(definitions(dialog)).isEmpty()) << "Paste stores nothing";
        press(dialog, "NewA");
        press(dialog, "bitbtn1");
    });
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 2);
        press(dialog, "PasteA");
        press(dialog, "NewA");
        // Copy takes the texts unchecked.
        type(dialog, "EindexA", "not checked");
        press(dialog, "copyA");
        press(dialog, "bitbtn1");
    });
    define([](TFInfopdoMB& dialog) {
        press(dialog, "PasteA");
        EXPECT_EQ(text(dialog, "EindexA"), "not checked");
    });
    const std::string copy = writtenRow(1, "5", "100", 1, 3, {18, 3});
    EXPECT_EQ(tool.read(kDefinitions),
              definitionsDocument(copy + writtenRow(1, "6", "101", 0, 4, {0x45}) +
                                  writtenRow(2, "5", "100", 1, 3, {18, 3}) + writtenRow(3, "5", "100", 1, 3, {18, 3})));
}

TEST_F(FrameDefinitionsDialog, PasteBeforeAnyCopyResetsTheControls) {
    twoDefinitionsOnFrameOne();
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        selectDefinition(dialog, 0);
        child<QComboBox>(dialog, "CB_ToD")->setCurrentIndex(1);
        child<QTabWidget>(dialog, "PageControl1")->setCurrentIndex(3);
        choose(dialog, "LO", 8, 8);
        press(dialog, "PasteA");
        EXPECT_EQ(text(dialog, "EindexA"), "");
        EXPECT_EQ(text(dialog, "E_Dev_ID"), "");
        EXPECT_EQ(text(dialog, "CB_NoP"), "1");
        EXPECT_EQ(text(dialog, "CB_ToD"), "Holding Register");
        EXPECT_EQ(selectors(dialog), (std::pair<Selectors, Selectors>{}));
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0", "Ind MB 1"}));
    });
}

TEST_F(FrameDefinitionsDialog, ReadingMessagesOncePerShowWithWhatWasReadBefore) {
    tool.write(kFrames, "<Frames_J1939>" + frameRow("6", "0", "1") + frameRow("3", "1", "2") +
                            "<row Priority=\"1\" PGN=\"3\"/>" + frameRow("7", "0", "4") + "</Frames_J1939>");
    tool.write(kDefinitions, definitionsDocument(writtenRow(2, "1", "20", 0, 3) + writtenRow(3, "1", "30", 0, 3) +
                                                 writtenRow(1, "1", "10", 0, 3) + writtenRow(0, "1", "0", 0, 3) +
                                                 writtenRow(1, "1", "11", 0, 3)));
    const auto check = [](TFInfopdoMB& dialog) {
        EXPECT_EQ(items(frames(dialog)), (QStringList{"6\t0\t1", "3\t1\t2"}));
        selectFrame(dialog, 0);
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0"}));
        selectFrame(dialog, 1);
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0"}));
    };
    define(check);
    const std::vector<Message> once = {
        {"plain", "Error in reading file PDO XML\nFrameJ1939.xml, row 3, attribute DataPage"},
        {"plain", "Error in reading file SDOPDO XML\nDefFrameJ1939.xml, row 4, attribute NrFrameJ1939"}};
    EXPECT_EQ(fake.messages.shown, once);
    const std::string before = tool.read(kDefinitions);
    define([check](TFInfopdoMB& dialog) {
        check(dialog);
        press(dialog, "bitbtn1");
        EXPECT_TRUE(dialog.isVisible()) << "the first OK after a partial read only warns";
    });
    ASSERT_EQ(fake.messages.shown.size(), 5u);
    EXPECT_EQ(fake.messages.shown[4].text,
              "FrameJ1939.xml and DefFrameJ1939.xml could not be read whole. OK replaces DefFrameJ1939.xml with what "
              "is shown, and what could not be read is lost: press OK again to do so, or Cancel to keep "
              "DefFrameJ1939.xml as it is.\n\n"
              "Row 2 of DefFrameJ1939.xml belongs to a frame that FrameJ1939.xml does not have (it has 2 frames), so "
              "OK would lose it: press OK again to drop it, or Cancel to keep DefFrameJ1939.xml as it is.");
    EXPECT_EQ(tool.read(kDefinitions), before);
    define([check](TFInfopdoMB& dialog) {
        check(dialog);
        press(dialog, "bitbtn1");
        press(dialog, "bitbtn1");
    });
    EXPECT_EQ(fake.messages.shown.size(), 8u);
    EXPECT_EQ(tool.read(kDefinitions),
              definitionsDocument(writtenRow(1, "1", "10", 0, 3) + writtenRow(2, "1", "20", 0, 3)));
}

// A damaged FrameJ1939.xml lists fewer frames, so OK would drop definitions: the warning names that document,
// and the rows it would drop.
TEST_F(FrameDefinitionsDialog, WarningAfterADamagedFrameTableNamesTheFrameTable) {
    tool.write(kFrames, "<Frames_J1939>" + frameRow("6", "0", "1") + "<row Priority=\"1\"/></Frames_J1939>");
    const std::string definitions =
        definitionsDocument(writtenRow(1, "1", "10", 0, 3) + writtenRow(2, "1", "20", 0, 3));
    tool.write(kDefinitions, definitions);
    define([&](TFInfopdoMB& dialog) {
        press(dialog, "bitbtn1");
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(tool.read(kDefinitions), definitions);
        press(dialog, "bitbtn1");
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{
                  {"plain", "Error in reading file PDO XML\nFrameJ1939.xml, row 2, attribute DataPage"},
                  {"plain",
                   "FrameJ1939.xml could not be read whole. OK replaces DefFrameJ1939.xml with what is shown, "
                   "and what could not be read is lost: press OK again to do so, or Cancel to keep "
                   "DefFrameJ1939.xml as it is.\n\nRow 2 of DefFrameJ1939.xml belongs to a frame that "
                   "FrameJ1939.xml does not have (it has 1 frame), so OK would lose it: press OK again to "
                   "drop it, or Cancel to keep DefFrameJ1939.xml as it is."}}));
    EXPECT_EQ(tool.read(kDefinitions), definitionsDocument(writtenRow(1, "1", "10", 0, 3)));
}

TEST_F(FrameDefinitionsDialog, NewAndModifyCheckTheIndexFirstAndChangeNothingOnFailure) {
    twoDefinitionsOnFrameOne();
    struct Case {
        const char* index;
        const char* deviceId;
        const char* message;
    };
    const Case cases[] = {
        {"65536", "5", "Index Modbus must be between 0 and 65535"},
        {"-1", "5", "Index Modbus must be between 0 and 65535"},
        {"abc", "0", "Index Modbus must be between 0 and 65535"},
        {"65535", "0", "Device ID must be between 1 and 250"},
        {"65535", "251", "Device ID must be between 1 and 250"},
        {"65535", "250", nullptr},
    };
    for (const char* action : {"NewA", "ModifyA"}) {
        for (const Case& c : cases) {
            fake.messages.shown.clear();
            define([&](TFInfopdoMB& dialog) {
                selectFrame(dialog, 0);
                selectDefinition(dialog, 0);
                type(dialog, "EindexA", c.index);
                type(dialog, "E_Dev_ID", c.deviceId);
                press(dialog, action);
                EXPECT_EQ(text(dialog, "EindexA"), c.index);
                EXPECT_EQ(text(dialog, "E_Dev_ID"), c.deviceId);
                const auto& stored = dialog.frameList().frame(0).definitions;
                const bool added = std::string(action) == "NewA" && !c.message;
                EXPECT_EQ(stored.size(), added ? 3u : 2u) << action << " " << c.index;
                EXPECT_EQ(stored[0].index, !c.message && std::string(action) == "ModifyA" ? "65535" : "100");
                EXPECT_EQ(items(definitions(dialog)).size(), added ? 3 : 2);
            });
            const std::vector<Message> expected =
                c.message ? std::vector<Message>{{"plain", c.message}} : std::vector<Message>{};
            EXPECT_EQ(fake.messages.shown, expected) << action << " " << c.index << " " << c.deviceId;
        }
    }
}

TEST_F(FrameDefinitionsDialog, WithoutASelectionOnlyCopyAndPasteAct) {
    tool.write(kFrames, threeFrames());
    define([](TFInfopdoMB& dialog) {
        type(dialog, "EindexA", "1");
        type(dialog, "E_Dev_ID", "1");
        for (const char* action : {"NewA", "ModifyA", "DELETEa"}) press(dialog, action);
        press(dialog, "copyA");
        EXPECT_EQ(dialog.clipboard().index, "1");
        selectFrame(dialog, 0);
        press(dialog, "ModifyA");
        press(dialog, "DELETEa");
        EXPECT_TRUE(items(definitions(dialog)).isEmpty());
        press(dialog, "bitbtn1");
    });
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(tool.read(kDefinitions), "<DefFrame/>");
}

TEST_F(FrameDefinitionsDialog, WithoutFrameTableEveryRowIsSkippedAndNewDoesNothing) {
    tool.write(kDefinitions, definitionsDocument(writtenRow(1, "1", "1", 0, 3)));
    define([](TFInfopdoMB& dialog) {
        EXPECT_EQ(frames(dialog)->count(), 0);
        add(dialog, "1", "1");
        press(dialog, "bitbtn1");
        press(dialog, "bitbtn1");
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "Row 1 of DefFrameJ1939.xml belongs to a frame that FrameJ1939.xml "
                                     "does not have (it has no frame), so OK would lose it: press OK again "
                                     "to drop it, or Cancel to keep DefFrameJ1939.xml as it is."}}));
    EXPECT_EQ(tool.read(kDefinitions), "<DefFrame/>");
}

TEST_F(FrameDefinitionsDialog, CancelLosesTheChangesAndAMissingDocumentIsCreatedByOk) {
    tool.write(kFrames, threeFrames());
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        add(dialog, "1", "1");
        press(dialog, "bitbtn2");
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_FALSE(tool.exists(kDefinitions));
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        EXPECT_TRUE(items(definitions(dialog)).isEmpty());
        press(dialog, "bitbtn1");
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(tool.read(kDefinitions), "<DefFrame/>");
}

TEST_F(FrameDefinitionsDialog, CountAndKindFromTheDocumentOutsideTheListsStayAsTheyWere) {
    tool.write(kFrames, threeFrames());
    tool.write(kDefinitions,
               definitionsDocument(writtenRow(1, "1", "1", 9, 7, {0x12, 0x34, 0x56, 0x78, 0x81, 0x18, 0x9F, 0x07})));
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        selectDefinition(dialog, 0);
        EXPECT_EQ(child<QComboBox>(dialog, "CB_NoP")->currentIndex(), -1);
        EXPECT_EQ(child<QComboBox>(dialog, "CB_ToD")->currentIndex(), -1);
        EXPECT_EQ(selectors(dialog),
                  (std::pair<Selectors, Selectors>{{1, 3, 5, 7, 8, 1, 8, 0}, {2, 4, 6, 8, 1, 8, 8, 7}}));
        type(dialog, "E_Dev_ID", "2");
        press(dialog, "ModifyA");
        press(dialog, "NewA");
        press(dialog, "bitbtn1");
    });
    // Modify and New keep the count and the kind; of the positions only the nibble beyond B8 changes.
    const std::string kept = writtenRow(1, "2", "1", 9, 7, {0x12, 0x34, 0x56, 0x78, 0x81, 0x18, 0x88, 0x07});
    EXPECT_EQ(tool.read(kDefinitions), definitionsDocument(kept + kept));
}

TEST_F(FrameDefinitionsDialog, ExportWritesTheDefinitionsOnScreenOneLineEach) {
    tool.write(kFrames, threeFrames());
    tool.write(kDefinitions, definitionsDocument(writtenRow(2, "1", "200", 0, 3) + writtenRow(1, "1", "100", 0, 3)));
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 1);
        add(dialog, "300", "1");
        press(dialog, "button1");
        EXPECT_TRUE(dialog.isVisible());
    });
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(tool.read("PROJECTS/DefFrame.csv"), "100,1,\r\n200,2,\r\n300,2,\r\n");
    EXPECT_EQ(tool.read(kDefinitions),
              definitionsDocument(writtenRow(2, "1", "200", 0, 3) + writtenRow(1, "1", "100", 0, 3)));
}

TEST_F(FrameDefinitionsDialog, ImportReadsTheDefinitionsOnScreenWhichOnlyOkWrites) {
    twoDefinitionsOnFrameOne();
    const std::string before = tool.read(kDefinitions);
    const std::string file = tool.write(
        "definitions.csv",
        "Frame,Device_ID,Index,Points,Type,R1_High,R1_Low,R2_High,R2_Low,R3_High,R3_Low,R4_High,R4_Low,R5_High,R5_Low,"
        "R6_High,R6_Low,R7_High,R7_Low,R8_High,R8_Low\r\n"
        "3, 7,0x10,2,Input Register,B1,B2,none,B3\r\n1,1,5,1,Holding Register,B8,none\r\n");
    for (const bool confirm : {false, true}) {
        fake.files.answers.push_back(QString::fromStdString(file));
        define([confirm](TFInfopdoMB& dialog) {
            selectFrame(dialog, 0);
            selectDefinition(dialog, 1);
            press(dialog, "bitbtn4");
            EXPECT_EQ(frames(dialog)->currentRow(), -1);
            expectReset(dialog);
            EXPECT_TRUE(items(definitions(dialog)).isEmpty());
            selectFrame(dialog, 2);
            EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0"}));
            selectDefinition(dialog, 0);
            EXPECT_EQ(text(dialog, "E_Dev_ID"), " 7");
            EXPECT_EQ(text(dialog, "EindexA"), "0x10");
            EXPECT_EQ(text(dialog, "CB_NoP"), "2");
            EXPECT_EQ(text(dialog, "CB_ToD"), "Input Register");
            if (confirm) press(dialog, "bitbtn1");
        });
        EXPECT_EQ(tool.read(kDefinitions), confirm
                                               ? definitionsDocument(writtenRow(1, "1", "5", 0, 3, {0x80}) +
                                                                     writtenRow(3, " 7", "0x10", 1, 4, {0x12, 0x03}))
                                               : before);
    }
    EXPECT_TRUE(fake.messages.shown.empty());
    ASSERT_EQ(fake.files.calls.size(), 2u);
    EXPECT_EQ(fake.files.calls[0].title, "Import definitions");
}

TEST_F(FrameDefinitionsDialog, ARefusedImportIsShownInThePlainBoxAndChangesNothing) {
    twoDefinitionsOnFrameOne();
    const std::string file =
        tool.write("definitions.csv",
                   "Frame,Device_ID,Index,Points,Type,R1_High,R1_Low,R2_High,R2_Low,R3_High,R3_Low,"
                   "R4_High,R4_Low,R5_High,R5_Low,R6_High,R6_Low,R7_High,R7_Low,R8_High,R8_Low\r\n"
                   "4,1,0,1,Input Register\r\n");
    fake.files.answers.push_back(QString::fromStdString(file));
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        press(dialog, "bitbtn4");
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0", "Ind MB 1"}));
        EXPECT_EQ(dialog.frameList().frame(0).definitions.size(), 2u);
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain", file + ":2:1: there is no frame 4: the frame table holds 3 frames"}}));
}

// The builder refuses an image larger than the device holds: an import that would make one is refused with its
// message, before the definitions on screen change.
TEST_F(FrameDefinitionsDialog, AnImportTheBuilderWouldRefuseIsShownAndChangesNothing) {
    twoDefinitionsOnFrameOne();
    std::string text =
        "Frame,Device_ID,Index,Points,Type,R1_High,R1_Low,R2_High,R2_Low,R3_High,R3_Low,R4_High,R4_Low,R5_High,R5_Low,"
        "R6_High,R6_Low,R7_High,R7_Low,R8_High,R8_Low\r\n";
    // 16 header bytes and 3 frames of 6 leave room for 7140 definitions of 14 bytes.
    for (int row = 0; row < 7141; ++row) text += "2,1," + std::to_string(row) + ",1,Holding Register,B1,B2\r\n";
    const std::string file = tool.write("definitions.csv", text);
    fake.files.answers.push_back(QString::fromStdString(file));
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        press(dialog, "bitbtn4");
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0", "Ind MB 1"}));
        EXPECT_TRUE(dialog.frameList().frame(1).definitions.empty());
    });
    EXPECT_EQ(
        fake.messages.shown,
        (std::vector<Message>{
            {"plain", file + ": The configuration image needs 100008 bytes, more than the limit of 100004 bytes"}}));
}

// Export writes DefFrame.csv, which names each definition by its index and frame only; Import takes each back whole
// from the definitions shown. The definitions table, as the command line exports it to CSV or a workbook, comes
// back as it is.
TEST_F(FrameDefinitionsDialog, ExportThenImportGivesTheSameDefinitionsFromDefFrameCsvOrTheTable) {
    tool.write(kFrames, threeFrames());
    tool.write(kDefinitions,
               definitionsDocument(writtenRow(1, "5", "100", 1, 3, {18, 3}) + writtenRow(1, "6", "100", 0, 4, {0x45}) +
                                   writtenRow(3, "250", " 7", 2, 3, {0x88, 0x10, 0x01})));
    const std::string before = tool.read(kDefinitions);
    const std::string exported = tool.file("PROJECTS/DefFrame.csv");
    std::vector<std::string> tables;
    for (const char* name : {"definitions.csv", "definitions.xlsx"}) {
        const std::string file = tool.file(name);
        replaceFile(file, tableFileBytes(TableKind::definitions,
                                         exportedRows(TableKind::definitions, tool.file("PROJECTS")), file));
        tables.push_back(file);
    }
    for (const std::string& file : {exported, tables[0], tables[1]})
        fake.files.answers.push_back(QString::fromStdString(file));
    define([&](TFInfopdoMB& dialog) {
        const FrameDefinitions shown = dialog.frameList();
        press(dialog, "button1");
        EXPECT_EQ(tool.read("PROJECTS/DefFrame.csv"), "100,1,\r\n100,1,\r\n 7,3,\r\n");
        for (int import = 0; import < 3; ++import) {
            selectFrame(dialog, 0);
            press(dialog, "bitbtn4");
            for (std::size_t f = 0; f < shown.frameCount(); ++f)
                EXPECT_EQ(dialog.frameList().frame(f).definitions, shown.frame(f).definitions)
                    << "import " << import << ", frame " << f + 1;
        }
        press(dialog, "bitbtn1");
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain",
                                     "DefFrame.csv names each definition by its index and frame only: 3 "
                                     "definitions came back whole from those shown."}}));
    EXPECT_EQ(tool.read(kDefinitions), before);
}

// Lines of DefFrame.csv moved or removed move or remove definitions with all their fields, a line that matches none
// adds a definition with the defaults; the first OK names the definitions the file left out, the second writes.
TEST_F(FrameDefinitionsDialog, AnEditedDefFrameCsvMovesAndRemovesDefinitionsWithTheirFields) {
    tool.write(kFrames, threeFrames());
    tool.write(kDefinitions,
               definitionsDocument(writtenRow(1, "5", "100", 1, 3, {18, 3}) + writtenRow(1, "6", "101", 0, 4, {0x45}) +
                                   writtenRow(3, "1", "30", 0, 3, {0x11})));
    const std::string before = tool.read(kDefinitions);
    const std::string file = tool.file("PROJECTS/DefFrame.csv");
    fake.files.answers.push_back(QString::fromStdString(file));
    define([&](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        selectDefinition(dialog, 1);
        type(dialog, "E_Dev_ID", "8");  // changed on screen only: the import takes it as shown
        press(dialog, "ModifyA");
        press(dialog, "button1");
        EXPECT_EQ(tool.read("PROJECTS/DefFrame.csv"), "100,1,\r\n101,1,\r\n30,3,\r\n");
        replaceFile(file, "101,1,\r\n100,1,\r\n500,2,\r\n");
        press(dialog, "bitbtn4");
        EXPECT_EQ(frames(dialog)->currentRow(), -1);
        expectReset(dialog);

        selectFrame(dialog, 0);
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0", "Ind MB 1"}));
        selectDefinition(dialog, 0);
        EXPECT_EQ(text(dialog, "EindexA"), "101");
        EXPECT_EQ(text(dialog, "E_Dev_ID"), "8");
        EXPECT_EQ(text(dialog, "CB_ToD"), "Input Register");
        EXPECT_EQ(selectors(dialog).first[0], 4);
        selectDefinition(dialog, 1);
        EXPECT_EQ(text(dialog, "EindexA"), "100");
        EXPECT_EQ(text(dialog, "CB_NoP"), "2");
        selectFrame(dialog, 1);
        selectDefinition(dialog, 0);
        EXPECT_EQ(text(dialog, "EindexA"), "500");
        EXPECT_EQ(text(dialog, "E_Dev_ID"), "");
        EXPECT_EQ(text(dialog, "CB_NoP"), "1");
        EXPECT_EQ(text(dialog, "CB_ToD"), "Holding Register");
        EXPECT_EQ(selectors(dialog), (std::pair<Selectors, Selectors>{}));
        selectFrame(dialog, 2);
        EXPECT_TRUE(items(definitions(dialog)).isEmpty());

        press(dialog, "bitbtn1");
        EXPECT_TRUE(dialog.isVisible()) << "the definition of frame 3 would be dropped: the first OK says so";
        EXPECT_EQ(tool.read(kDefinitions), before);
        press(dialog, "bitbtn1");
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(
        fake.messages.shown,
        (std::vector<Message>{
            {"plain",
             "DefFrame.csv names each definition by its index and frame only: 2 definitions came back whole from "
             "those shown, and 1 definition is new (index 500 of frame 2) with no Device ID, 1 point, Holding "
             "Register, no frame bytes.\nGive the new definition its Device ID before Update Device.\nOK drops the "
             "definition it does not list (index 30 of frame 3), after asking."},
            {"plain",
             "The file imported does not list 1 definition of those shown before it (index 30 of frame 3), so "
             "OK would lose it: press OK again to drop it, or Cancel to keep DefFrameJ1939.xml as it is."}}));
    EXPECT_EQ(tool.read(kDefinitions),
              definitionsDocument(writtenRow(1, "8", "101", 0, 4, {0x45}) + writtenRow(1, "5", "100", 1, 3, {18, 3}) +
                                  writtenRow(2, "", "500", 0, 3)));
}

TEST_F(FrameDefinitionsDialog, ADefFrameCsvWithAFrameTheListLacksIsRefusedAtItsPlace) {
    twoDefinitionsOnFrameOne();
    const std::string file = tool.write("PROJECTS/DefFrame.csv", "101,1,\r\n100,9,\r\n");
    fake.files.answers.push_back(QString::fromStdString(file));
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        press(dialog, "bitbtn4");
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind MB 0", "Ind MB 1"}));
        EXPECT_EQ(dialog.frameList().frame(0).definitions.size(), 2u);
        EXPECT_EQ(dialog.frameList().frame(0).definitions[0].index, "100");
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<Message>{{"plain", file + ":2:2: there is no frame 9: the frame table holds 3 frames"}}));
}

TEST_F(FrameDefinitionsDialog, FailedWritesAreShownAndTheDialogKeepsItsState) {
    tool.write(kFrames, threeFrames());
    std::filesystem::create_directories(tool.file("PROJECTS/DefFrame.csv/blocked"));
    std::filesystem::create_directories(tool.file("PROJECTS/DefFrameJ1939.xml/blocked"));
    define([](TFInfopdoMB& dialog) {
        selectFrame(dialog, 0);
        add(dialog, "1", "1");
        press(dialog, "button1");
        press(dialog, "bitbtn1");
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(items(definitions(dialog)), (QStringList{"Ind Mb 0"}));
        EXPECT_EQ(dialog.frameList().frame(0).definitions.size(), 1u);
    });
    ASSERT_EQ(fake.messages.shown.size(), 2u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_NE(fake.messages.shown[0].text.find("DefFrame.csv"), std::string::npos);
    EXPECT_EQ(fake.messages.shown[1].kind, "standardError");
    EXPECT_NE(fake.messages.shown[1].text.find("DefFrameJ1939.xml"), std::string::npos);
}

}  // namespace
}  // namespace tessaro

namespace tessaro {
namespace {

// The byte choices' tips, B1 to B8, of one selector.
QStringList byteTips(QWidget& dialog, const char* name) {
    QStringList tips;
    auto* group = testing::child<RadioGroup>(dialog, name);
    for (int item = 1; item <= 8; ++item) tips << group->button(item)->toolTip();
    return tips;
}

TEST_F(FrameDefinitionsDialog, WithASignalDatabaseEachByteChoiceNamesTheSignalsOfTheSelectedFrame) {
    tool.write(kFrames, testing::threeFrames());  // CCVS, 61444 on data page 1, ET1
    tool.write("signals.dbc",
               "BO_ 2566844672 CCVS: 8 Engine\n"
               " SG_ WheelBasedVehicleSpeed : 8|16@1+ (0.00390625,0) [0|255.99609375] \"km/h\" Gateway\n"
               " SG_ ParkingBrake : 16|2@1+ (1,0) [0|3] \"\" Gateway\n"
               "BO_ 2566843904 ET1: 8 Engine\n"
               " SG_ EngineCoolantTemperature : 0|8@1+ (1,-40) [-40|215] \"degC\" Gateway\n");
    std::vector<QStringList> seen;
    define([&](TFInfopdoMB& dialog) {
        seen.push_back(byteTips(dialog, "RG_HI_R1"));
        selectFrame(dialog, 0);
        seen.push_back(byteTips(dialog, "RG_HI_R1"));
        seen.push_back(byteTips(dialog, "RG_LO_R8"));
        selectFrame(dialog, 1);
        seen.push_back(byteTips(dialog, "RG_LO_R3"));
        selectFrame(dialog, 2);
        seen.push_back(byteTips(dialog, "RG_LO_R1"));
    });
    const QStringList none(8, QString());
    const QStringList ccvs = {"CCVS B1: no signal",
                              "CCVS B2: WheelBasedVehicleSpeed",
                              "CCVS B3: WheelBasedVehicleSpeed, ParkingBrake bits 0–1",
                              "CCVS B4: no signal",
                              "CCVS B5: no signal",
                              "CCVS B6: no signal",
                              "CCVS B7: no signal",
                              "CCVS B8: no signal"};
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], none);  // no frame selected
    EXPECT_EQ(seen[1], ccvs);
    EXPECT_EQ(seen[2], ccvs);
    EXPECT_EQ(seen[3], none);  // data page 1: a PGN the database does not hold
    EXPECT_EQ(seen[4].front(), "ET1 B1: EngineCoolantTemperature");
    EXPECT_EQ(seen[4].back(), "ET1 B8: no signal");
}

TEST_F(FrameDefinitionsDialog, TheProjectsDatabaseComesFirstAndWithoutOneThereAreNoTips) {
    tool.write(kFrames, testing::threeFrames());
    QStringList shown;
    const auto showFirstFrame = [&] {
        define([&](TFInfopdoMB& dialog) {
            selectFrame(dialog, 0);
            shown = byteTips(dialog, "RG_HI_R2");
        });
    };
    showFirstFrame();
    EXPECT_EQ(shown, QStringList(8, QString()));
    tool.write("signals.dbc", "BO_ 2566844672 FromTheTool: 8 E\n");
    tool.write("PROJECTS/signals.dbc", "BO_ 2566844672 FromTheProject: 8 E\n");
    showFirstFrame();
    EXPECT_EQ(shown.front(), "FromTheProject B1: no signal");
    // A folder of that name is no database: no tips, and nothing said.
    std::filesystem::remove(tool.file("PROJECTS/signals.dbc"));
    std::filesystem::remove(tool.file("signals.dbc"));
    std::filesystem::create_directory(tool.file("PROJECTS/signals.dbc"));
    showFirstFrame();
    EXPECT_EQ(shown, QStringList(8, QString()));
    EXPECT_TRUE(fake.messages.shown.empty());
}

}  // namespace
}  // namespace tessaro
