// A workbook opened and saved by LibreOffice Calc, and the CSV files Calc saves from it, import to the documents
// they came from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/documents/AtomicFile.h"
#include "core/exchange/ProjectExchange.h"
#include "support/RandomProject.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

const char* const kDocuments[] = {"FrameJ1939.xml", "Group.xml", "DefFrameJ1939.xml"};

std::vector<std::string> documentsOf(const testing::TemporaryFolder& project) {
    std::vector<std::string> documents;
    for (const char* name : kDocuments) documents.push_back(project.read(name));
    return documents;
}

// Calc without a window, with a profile of its own; true when it wrote its file.
bool convert(const testing::TemporaryFolder& folder, const std::string& filter, const std::string& source,
             const std::string& outFolder) {
    const std::string command = "soffice --headless --norestore -env:UserInstallation=file://" +
                                folder.file("profile") + " --convert-to '" + filter + "' --outdir '" + outFolder +
                                "' '" + source + "' >" + folder.file("soffice.log") + " 2>&1";
    return std::system(command.c_str()) == 0;
}

TEST(Spreadsheet, AWorkbookCalcSavedAndTheCsvFilesItSavedFromItImportUnchanged) {
    ASSERT_EQ(std::system("command -v soffice >/dev/null"), 0)
        << "soffice is missing: scripts/install-deps installs libreoffice-calc-nogui";
    testing::TemporaryFolder work, project;
    testing::RandomProject random(2026, false);
    random.writeTo(project.path());
    const std::vector<std::string> written = documentsOf(project);
    for (const std::string& document : written) ASSERT_NE(document.find("<row "), std::string::npos) << document;
    const std::string book = work.write("exported/book.xlsx", projectWorkbookBytes(project.path()));
    std::filesystem::create_directories(work.file("calc"));

    ASSERT_TRUE(convert(work, "xlsx:Calc MS Excel 2007 XML", book, work.file("calc"))) << work.read("soffice.log");
    const std::string saved = work.file("calc/book.xlsx");
    ASSERT_TRUE(work.exists("calc/book.xlsx")) << work.read("soffice.log");
    ASSERT_NE(readFile(saved), readFile(book));  // Calc wrote a workbook of its own
    for (const char* name : kDocuments) std::filesystem::remove(project.file(name));
    importWorkbookFile(project.path(), saved);
    EXPECT_EQ(documentsOf(project), written);

    // Comma, quote, UTF-8, every sheet to a file of its own, cells as they are.
    ASSERT_TRUE(convert(work, "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1", saved,
                        work.file("calc")))
        << work.read("soffice.log");
    for (const char* name : kDocuments) std::filesystem::remove(project.file(name));
    for (const TableKind kind : kTableKinds)
        importTableFile(kind, project.path(), work.file("calc/book-" + std::string(tableName(kind)) + ".csv"));
    EXPECT_EQ(documentsOf(project), written);
}

}  // namespace
}  // namespace tessaro
