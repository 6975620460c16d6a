#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "core/documents/AtomicFile.h"
#include "support/ChildProcess.h"
#include "support/TemporaryFolder.h"

namespace tessaro::testing {

// The text of each page of a PDF, its lines laid out as on the page, as pdftotext of poppler-utils reads it; its
// files go into folder.
inline std::vector<std::string> pdfPages(const TemporaryFolder& folder, const std::string& pdf) {
    const std::string text = folder.file("pdf-text.txt");
    ChildProcess reader({"/usr/bin/pdftotext", "-layout", pdf, text}, folder.file("pdftotext.out"),
                        folder.file("pdftotext.err"));
    EXPECT_EQ(reader.awaitExit(std::chrono::seconds(60)), 0) << "pdftotext (poppler-utils) could not read " << pdf;
    std::vector<std::string> pages;
    std::stringstream all(readFile(text));
    for (std::string page; std::getline(all, page, '\f');) pages.push_back(page);
    // The text ends in a form feed.
    if (!pages.empty() && pages.back().find_first_not_of(" \n") == std::string::npos) pages.pop_back();
    return pages;
}

}  // namespace tessaro::testing
