#include "core/documents/XmlDocument.h"

#include <sstream>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"

namespace tessaro {

namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;
constexpr unsigned kFormatOptions = pugi::format_raw | pugi::format_no_declaration;

// Rows are the element and text children; a declaration, comment or doctype is no row.
bool isRow(const pugi::xml_node& node) {
    const auto type = node.type();
    return type == pugi::node_element || type == pugi::node_pcdata || type == pugi::node_cdata;
}

// The library's description and where in the text; the reader of a document says which document it was.
std::string describeParseFailure(const pugi::xml_parse_result& result) {
    std::ostringstream message;
    message << result.description() << " at offset " << result.offset;
    return message.str();
}

}  // namespace

std::string nullConversionMessage(std::string_view wantedType) {
    return "Could not convert variant of type (Null) into type (" + std::string(wantedType) + ")";
}

std::vector<XmlElement> XmlElement::children() const {
    std::vector<XmlElement> rows;
    for (pugi::xml_node child = m_node.first_child(); child; child = child.next_sibling())
        if (isRow(child)) rows.emplace_back(child);
    return rows;
}

std::size_t XmlElement::childCount() const {
    std::size_t count = 0;
    for (pugi::xml_node child = m_node.first_child(); child; child = child.next_sibling())
        if (isRow(child)) ++count;
    return count;
}

std::optional<XmlElement> XmlElement::findChild(std::string_view name) const {
    for (pugi::xml_node child = m_node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && name == child.name()) return XmlElement(child);
    return std::nullopt;
}

bool XmlElement::hasAttribute(std::string_view name) const {
    return RowReader(*this).find(name) != nullptr;
}

void XmlElement::attributeValues(std::span<const std::string_view> names, std::span<const char*> values) const {
    RowReader reader(*this);
    for (std::size_t index = 0; index < names.size(); ++index) values[index] = reader.find(names[index]);
}

std::string XmlElement::attribute(std::string_view name) const {
    return RowReader(*this).text(name, "String");
}

std::int32_t XmlElement::integerAttribute(std::string_view name) const {
    return toInteger(RowReader(*this).text(name, "Integer"));
}

void RowReader::fail(const std::string& message, std::string_view name) const {
    if (m_file.empty()) throw Error(message);
    throw Error(withPlace(message, {m_file, m_rowNumber, name}));
}

std::string XmlElement::text() const {
    return m_node.text().get();
}

XmlElement XmlElement::addChild(std::string_view name) {
    return XmlElement(m_node.append_child(std::string(name).c_str()));
}

void XmlElement::setAttribute(std::string_view name, std::string_view value) {
    m_node.append_attribute(std::string(name).c_str()).set_value(value.data(), value.size());
}

void XmlElement::setText(std::string_view text) {
    m_node.text().set(std::string(text).c_str());
}

bool XmlDocument::exists(const std::string& path) {
    return fileExists(path);
}

void XmlDocument::load(const std::string& path) {
    reset();
    // The library reads the file into a buffer of its own, ended by a NUL of its own, so a NUL inside a damaged
    // file cannot make its last byte the end of a whole document. A file it cannot read is reported as readFile
    // reports it.
    pugi::xml_parse_result result = m_document.load_file(path.c_str(), kParseOptions);
    if (result.status == pugi::status_file_not_found || result.status == pugi::status_io_error ||
        result.status == pugi::status_out_of_memory) {
        m_source = std::make_unique<std::string>(readFile(path));
        m_source->push_back('\0');
        result = m_document.load_buffer_inplace(m_source->data(), m_source->size(), kParseOptions);
    }
    if (!result) {
        reset();
        throw Error(describeParseFailure(result));
    }
}

void XmlDocument::loadText(std::string_view text) {
    reset();
    const pugi::xml_parse_result result = m_document.load_buffer(text.data(), text.size(), kParseOptions);
    if (!result) {
        reset();
        throw Error(describeParseFailure(result));
    }
}

void XmlDocument::reset() {
    m_document.reset();
    m_source.reset();
}

XmlElement XmlDocument::documentElement() const {
    return XmlElement(m_document.document_element());
}

std::optional<XmlElement> XmlDocument::findTopLevel(std::string_view name) const {
    return XmlElement(m_document).findChild(name);
}

XmlElement XmlDocument::addRoot(std::string_view name) {
    return XmlElement(m_document.append_child(std::string(name).c_str()));
}

std::string XmlDocument::toText() const {
    // Straight into the string: a stream would copy the text once more.
    struct StringWriter : pugi::xml_writer {
        void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
        std::string text;
    } writer;
    m_document.save(writer, "", kFormatOptions, pugi::encoding_utf8);
    return std::move(writer.text);
}

void XmlDocument::save(const std::string& path) const {
    replaceFile(path, toText());
}

}  // namespace tessaro
