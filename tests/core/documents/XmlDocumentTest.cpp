#include <gtest/gtest.h>

#include "core/documents/Errors.h"
#include "core/documents/XmlDocument.h"
#include "support/ErrorOf.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

using testing::errorOf;

TEST(XmlDocument, RowsAreTakenByPositionWhateverTheirNames) {
    XmlDocument document;
    document.loadText(
        "<?xml version=\"1.0\"?>\n<Other>\n  <row a=\"1\"/>\n  <frame a=\"2\"/>\n  <!-- note -->\n"
        "  <row a=\"3\"/>\n</Other>\n");
    const auto rows = document.documentElement().children();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(document.documentElement().childCount(), 3u);
    EXPECT_EQ(rows[0].attribute("a"), "1");
    EXPECT_EQ(rows[1].attribute("a"), "2");
    EXPECT_EQ(rows[2].integerAttribute("a"), 3);
}

TEST(XmlDocument, AbsentAndEmptyAttributes) {
    XmlDocument document;
    document.loadText("<Group><row Cyclic_Time=\"\" Mnemonic=\"a &amp; &lt;b&gt; &quot;c&quot;\"/></Group>");
    const XmlElement row = document.documentElement().children().at(0);
    EXPECT_EQ(row.attribute("Cyclic_Time"), "");
    EXPECT_EQ(row.attribute("Mnemonic"), "a & <b> \"c\"");
    EXPECT_EQ(errorOf([&] { row.attribute("Missing"); }),
              "Could not convert variant of type (Null) into type (String)");
    EXPECT_EQ(errorOf([&] { row.integerAttribute("Missing"); }),
              "Could not convert variant of type (Null) into type (Integer)");
    EXPECT_EQ(errorOf([&] { row.integerAttribute("Cyclic_Time"); }), "'' is not a valid integer value");
    EXPECT_EQ(errorOf([&] { row.attribute("mnemonic"); }),
              "Could not convert variant of type (Null) into type (String)");  // names match with their case
}

TEST(XmlDocument, WritesAttributesInOrderWithoutDeclarationOrWhitespace) {
    XmlDocument document;
    XmlElement root = document.addRoot("Frames_J1939");
    XmlElement row = root.addChild("row");
    row.setAttribute("Priority", " 6");
    row.setAttribute("DataPage", "0");
    row.setAttribute("Mnemonic", "A&B<\"C\">");
    root.addChild("row").setAttribute("Priority", "");
    EXPECT_EQ(document.toText(),
              "<Frames_J1939><row Priority=\" 6\" DataPage=\"0\" Mnemonic=\"A&amp;B&lt;&quot;C&quot;>\"/>"
              "<row Priority=\"\"/></Frames_J1939>");

    XmlDocument reread;
    reread.loadText(document.toText());
    EXPECT_EQ(reread.documentElement().children().at(0).attribute("Mnemonic"), "A&B<\"C\">");
    EXPECT_EQ(reread.documentElement().children().at(0).attribute("Priority"), " 6");
}

TEST(XmlDocument, SettingsElementsAreFoundByName) {
    XmlDocument document;
    document.loadText(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><GeneralParameter><B>2</B><A> 1</A>"
        "<B>3</B></GeneralParameter>");
    const auto root = document.findTopLevel("GeneralParameter");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->findChild("A")->text(), " 1");
    EXPECT_EQ(root->findChild("B")->text(), "2");
    EXPECT_FALSE(root->findChild("a"));
    EXPECT_FALSE(document.findTopLevel("Other"));
}

TEST(XmlDocument, LoadFailuresAndReset) {
    testing::TemporaryFolder folder;
    XmlDocument document;
    document.loadText("<Group><row/></Group>");
    const std::string missing = folder.file("missing.xml");
    EXPECT_NE(errorOf([&] { document.load(missing); }).find("Cannot open file"), std::string::npos);
    EXPECT_EQ(document.documentElement().childCount(), 0u);

    const std::string broken = folder.write("broken.xml", "<Group><row></Group>");
    const std::string message = errorOf([&] { document.load(broken); });
    // The library's description and the offset; the document's reader says which document it was.
    EXPECT_EQ(message, "Start-end tags mismatch at offset 14");
    EXPECT_FALSE(XmlDocument::exists(missing));
    EXPECT_TRUE(XmlDocument::exists(broken));
}

// A NUL byte ends the parse. From a file, the parse must still see the file's real last byte after it, or a damaged
// file whose last byte is '>' reads as a shorter, well-formed document.
TEST(XmlDocument, AFileWithANulByteReadsAsTheSameText) {
    testing::TemporaryFolder folder;
    const auto bytes = []<std::size_t N>(const char(&text)[N]) { return std::string(text, N - 1); };
    const std::string cases[] = {
        bytes("<r/\0\0\0\x01>"),
        bytes("<Group><row Cyclic_Time=\"100\"/></Group\0\0>"),
        bytes("<Group/>\0trailing"),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(::testing::PrintToString(text));
        XmlDocument fromText, fromFile;
        const std::string textFailure = errorOf([&] { fromText.loadText(text); });
        const std::string fileFailure = errorOf([&] { fromFile.load(folder.write("damaged.xml", text)); });
        EXPECT_EQ(textFailure == "no error", fileFailure == "no error") << textFailure << " / " << fileFailure;
        EXPECT_EQ(fromText.toText(), fromFile.toText());
    }
    XmlDocument document;
    EXPECT_NE(errorOf([&] { document.load(folder.write("damaged.xml", cases[0])); }), "no error");
}

TEST(XmlDocument, SaveReplacesTheFileAndReportsFailure) {
    testing::TemporaryFolder folder;
    XmlDocument document;
    document.addRoot("Group");
    const std::string path = folder.write("Group.xml", "old");
    document.save(path);
    EXPECT_EQ(folder.read("Group.xml"), "<Group/>");
    const std::string message = errorOf([&] { document.save(folder.file("gone/Group.xml")); });
    EXPECT_NE(message.find("Cannot create file"), std::string::npos) << message;
}

TEST(XmlDocument, AttributeValuesInAnyOrder) {
    XmlDocument document;
    document.loadText("<t><row a=\"1\" b=\"2\" c=\"\"/><row c=\"3\" x=\"9\" a=\"1\"/></t>");
    const std::vector<XmlElement> rows = document.documentElement().children();
    const std::string_view names[] = {"a", "b", "c"};
    const char* values[3];
    const auto texts = [&] {
        std::vector<std::string> result;
        for (const char* value : values) result.push_back(value ? value : "(absent)");
        return result;
    };
    rows[0].attributeValues(names, values);
    EXPECT_EQ(texts(), (std::vector<std::string>{"1", "2", ""}));
    rows[1].attributeValues(names, values);
    EXPECT_EQ(texts(), (std::vector<std::string>{"1", "(absent)", "3"}));
}

}  // namespace
}  // namespace tessaro
