#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tessaro {

// A failure the caller cannot handle; what() is the exact text the user sees.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that cannot be read or written: the whole text, and the reason alone ("Permission denied", "The file is
// read-only"), for a caller that names the file in words of its own.
class FileError : public Error {
public:
    FileError(const std::string& text, std::string_view reason) : Error(text), m_reason(reason) {}
    const std::string& reason() const { return m_reason; }

private:
    std::string m_reason;
};

// The text of the standard error box: a full stop is appended when the last character sorts after ".".
std::string standardErrorText(std::string_view text);

// Where in a project document a failure comes from.
struct DocumentPlace {
    // The document as a whole, or an attribute of one of its rows (from 1).
    DocumentPlace(std::string_view file, std::size_t row = 0, std::string_view attribute = {})
        : file(file), row(row), attribute(attribute) {}
    // An element of the settings document.
    static DocumentPlace ofElement(std::string_view file, std::string_view element) {
        DocumentPlace place(file);
        place.element = element;
        return place;
    }

    std::string_view file;  // the document's path or file name; its file name is shown
    std::size_t row = 0;    // 0 for none
    std::string_view attribute;
    std::string_view element;
};

// The line that says where: "FrameJ1939.xml, row 3, attribute PGN", "pargen.xml, element ID_CAN", or the file name
// alone for the document as a whole.
std::string placeText(const DocumentPlace& place);

// A failure that comes from a document: its own text, unchanged, and the place on a second line.
std::string withPlace(std::string_view text, const DocumentPlace& place);

}  // namespace tessaro
