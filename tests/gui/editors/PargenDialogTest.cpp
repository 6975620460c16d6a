#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "gui/editors/Upargen.h"
#include "support/GuiFixture.h"

namespace tessaro {
namespace {

using testing::child;

const std::string kDefaults =
    "<GeneralParameter><BR_CAN>5</BR_CAN><ID_CAN>10</ID_CAN><Select_Ser>0</Select_Ser><Baud_Ser>3</Baud_Ser>"
    "<Par_Ser>0</Par_Ser><Stop_Ser>0</Stop_Ser><TimeOut_Ser>1000</TimeOut_Ser><Delay_Ser>100</Delay_Ser>"
    "</GeneralParameter>";

class PargenDialog : public testing::GuiFixture {
protected:
    // Opens "Set Communication" and lets script act as the user.
    void communication(std::function<void(TFpargen&)> script) {
        fake.dialogs.then([script](QDialog& dialog) { script(static_cast<TFpargen&>(dialog)); });
        click("btn_Prm_Gen");
    }
    static QString text(QWidget& dialog, const char* name) {
        if (auto* combo = dialog.findChild<QComboBox*>(name)) return combo->currentText();
        return child<QLineEdit>(dialog, name)->text();
    }
    static void ok(QWidget& dialog) { child<QPushButton>(dialog, "bitbtn1")->click(); }
    static void type(QWidget& dialog, const char* name, const char* value) {
        child<QLineEdit>(dialog, name)->setText(value);
    }
};

TEST_F(PargenDialog, NewProjectShowsTheDefaultsAndOkWritesThemInOrder) {
    communication([](TFpargen& dialog) {
        EXPECT_EQ(text(dialog, "CB_BR_CAN"), "250");
        EXPECT_EQ(text(dialog, "E_ID_CAN"), "10");
        EXPECT_TRUE(child<QRadioButton>(dialog, "RB_RS485")->isChecked());
        EXPECT_EQ(text(dialog, "CB_BR_RTU"), "9600");
        EXPECT_EQ(text(dialog, "CB_PAR_RTU"), "NONE");
        EXPECT_EQ(text(dialog, "CB_STOP_RTU"), "1 Stop Bit");
        EXPECT_EQ(text(dialog, "E_TIME_RTU"), "1000");
        EXPECT_EQ(text(dialog, "E_DELAY_RTU"), "100");
        EXPECT_EQ(dialog.size(), QSize(233, 321));
        ok(dialog);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), kDefaults);
}

TEST_F(PargenDialog, ValuesOutsideTheListsAndOtherIntegers) {
    const std::string stored =
        "<?xml version=\"1.0\"?>\n<GeneralParameter>\n  <BR_CAN>9</BR_CAN>\n  <Select_Ser>7</Select_Ser>\n"
        "  <ID_CAN> 7</ID_CAN>\n  <Stop_Ser>0</Stop_Ser>\n</GeneralParameter>\n";
    tool.write("PROJECTS/pargen.xml", stored);
    communication([&](TFpargen& dialog) {
        EXPECT_EQ(child<QComboBox>(dialog, "CB_BR_CAN")->currentIndex(), -1);
        EXPECT_EQ(text(dialog, "CB_BR_CAN"), "");
        EXPECT_TRUE(child<QRadioButton>(dialog, "RB_RS232")->isChecked());
        EXPECT_EQ(text(dialog, "E_DELAY_RTU"), "100");
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible()) << "a baud rate outside the list is not stored";
        EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), stored);
        child<QComboBox>(dialog, "CB_BR_CAN")->setCurrentIndex(8);
        ok(dialog);
    });
    EXPECT_EQ(
        fake.messages.shown,
        (std::vector<testing::Message>{
            {"error", "Error! The J1939 Baud rate must be one of 10, 20, 50, 100, 125, 250, 500, 800, 1000 kbit/s"}}));
    EXPECT_EQ(tool.read("PROJECTS/pargen.xml"),
              "<GeneralParameter><BR_CAN>8</BR_CAN><ID_CAN> 7</ID_CAN><Select_Ser>1</Select_Ser>"
              "<Baud_Ser>3</Baud_Ser><Par_Ser>0</Par_Ser><Stop_Ser>0</Stop_Ser><TimeOut_Ser>1000</TimeOut_Ser>"
              "<Delay_Ser>100</Delay_Ser></GeneralParameter>");
}

TEST_F(PargenDialog, TypedBaudRateIsNoChoice) {
    communication([](TFpargen& dialog) {
        auto* baudRate = child<QComboBox>(dialog, "CB_BR_CAN");
        baudRate->setEditText("300");
        EXPECT_EQ(dialog.settingsFromControls().canBaudRatePosition, -1);
        baudRate->setCurrentIndex(2);
        baudRate->setEditText("250");
        EXPECT_EQ(dialog.settingsFromControls().canBaudRatePosition, 5) << "the text chooses the entry it equals";
        baudRate->setCurrentIndex(8);
        EXPECT_EQ(dialog.settingsFromControls().canBaudRatePosition, 8);
    });
}

TEST_F(PargenDialog, FirstBrokenRuleIsShownAndNothingIsWritten) {
    tool.write("PROJECTS/pargen.xml", kDefaults);
    communication([](TFpargen& dialog) {
        type(dialog, "E_ID_CAN", "241");
        type(dialog, "E_TIME_RTU", "0");
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        type(dialog, "E_ID_CAN", "240");
        ok(dialog);
        type(dialog, "E_TIME_RTU", "65535");
        child<QRadioButton>(dialog, "RB_RS232")->setChecked(true);
        child<QComboBox>(dialog, "CB_STOP_RTU")->setCurrentIndex(2);
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(text(dialog, "E_ID_CAN"), "240") << "input kept";
    });
    EXPECT_EQ(fake.messages.shown,
              (std::vector<testing::Message>{
                  {"error", "Error! The ID Device must to be between 0 and 240"},
                  {"error", "Error! The Modbus RTU TimeOut must to be between 1 and 65535 milleseconds"},
                  {"error", "Error! when RS232 is select only 1 Stop bit can be used"}}));
    EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), kDefaults);
}

TEST_F(PargenDialog, CancelledInputIsGoneAtTheNextShowButABrokenDocumentKeepsTheControls) {
    communication([](TFpargen& dialog) { type(dialog, "E_ID_CAN", "77"); });
    communication([](TFpargen& dialog) {
        EXPECT_EQ(text(dialog, "E_ID_CAN"), "10");
        type(dialog, "E_ID_CAN", "77");
    });
    tool.write("PROJECTS/pargen.xml", "<GeneralParameter><ID_CAN>3</ID_CAN>");
    communication([](TFpargen& dialog) { EXPECT_EQ(text(dialog, "E_ID_CAN"), "77"); });
    EXPECT_TRUE(fake.messages.shown.empty());
}

// A pargen.xml that cannot be read opens as the defaults (no GeneralParameter) or as the controls were (not
// well-formed): the first OK says the stored settings would be replaced and writes nothing, the second writes.
TEST_F(PargenDialog, FirstOkAfterAnUnreadableDocumentWarnsAndWritesNothing) {
    const std::string warning =
        "pargen.xml could not be read, so OK would replace the stored communication settings with those shown: "
        "press OK again to do so, or Cancel to keep pargen.xml as it is.";
    for (const std::string stored : {"<Settings><ID_CAN>3</ID_CAN></Settings>", "<GeneralParameter><ID_CAN>3"}) {
        fake.messages.shown.clear();
        tool.write("PROJECTS/pargen.xml", stored);
        communication([&](TFpargen& dialog) {
            ok(dialog);
            EXPECT_TRUE(dialog.isVisible()) << stored;
            EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), stored);
        });
        EXPECT_EQ(fake.messages.shown, (std::vector<testing::Message>{{"plain", warning}})) << stored;
        EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), stored) << "Cancel keeps the file";

        communication([](TFpargen& dialog) {
            type(dialog, "E_ID_CAN", "10");
            ok(dialog);
            ok(dialog);
            EXPECT_FALSE(dialog.isVisible());
        });
        EXPECT_EQ(fake.messages.shown.size(), 2u) << stored;
        EXPECT_EQ(tool.read("PROJECTS/pargen.xml"), kDefaults) << stored;
    }
    communication([](TFpargen& dialog) { ok(dialog); });
    EXPECT_EQ(fake.messages.shown.size(), 2u) << "a document read whole is written at the first OK";
}

TEST_F(PargenDialog, FailedSaveIsShownAndTheDialogStaysOpen) {
    std::filesystem::create_directories(tool.file("PROJECTS/pargen.xml/blocked"));
    communication([](TFpargen& dialog) {
        ok(dialog);
        EXPECT_TRUE(dialog.isVisible());
    });
    ASSERT_EQ(fake.messages.shown.size(), 1u);
    EXPECT_EQ(fake.messages.shown[0].kind, "standardError");
    EXPECT_NE(fake.messages.shown[0].text.find("pargen.xml"), std::string::npos);
}

}  // namespace
}  // namespace tessaro
