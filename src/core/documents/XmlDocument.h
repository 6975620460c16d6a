#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/documents/NumericText.h"

namespace tessaro {

// "Could not convert variant of type (Null) into type (WANTED)": what reading an absent attribute raises.
std::string nullConversionMessage(std::string_view wantedType);

// A node of a loaded or built document. Rows are taken by position, whatever their names.
class XmlElement {
public:
    explicit XmlElement(pugi::xml_node node) : m_node(node) {}

    std::string name() const { return m_node.name(); }
    // The library's node, for readers that walk many attributes in one pass.
    pugi::xml_node node() const { return m_node; }
    std::vector<XmlElement> children() const;
    std::size_t childCount() const;
    std::optional<XmlElement> findChild(std::string_view name) const;

    // Absent attribute: tessaro::Error with the Null conversion message for String or Integer.
    std::string attribute(std::string_view name) const;
    std::int32_t integerAttribute(std::string_view name) const;
    bool hasAttribute(std::string_view name) const;
    // values[i] := the text of attribute names[i], or nullptr when the row has none; one pass over the attributes
    // when they stand in the order of names.
    void attributeValues(std::span<const std::string_view> names, std::span<const char*> values) const;
    std::string text() const;

    XmlElement addChild(std::string_view name);
    // Appends, so attributes are written in the order they are set.
    void setAttribute(std::string_view name, std::string_view value);
    void setText(std::string_view text);

private:
    pugi::xml_node m_node;
};

namespace detail {

// name == text, without measuring text first: rows hold many attributes and readers look many up.
inline bool sameName(std::string_view name, const char* text) {
    for (const char c : name)
        if (*text++ != c) return false;
    return *text == '\0';
}

}  // namespace detail

// The attributes of one row, looked up by name: the one attribute finder. Rows usually hold their attributes in the
// order they are read, so each search starts after the previous find and wraps round to the first. The place, when
// given, goes on the second line of a failure.
class RowReader {
public:
    explicit RowReader(const XmlElement& row, std::string_view file = {}, std::size_t rowNumber = 0)
        : m_row(row.node()), m_next(m_row.first_attribute()), m_file(file), m_rowNumber(rowNumber) {}

    // The attribute's text, or nullptr when the row has none.
    const char* find(std::string_view name);
    // Absent: tessaro::Error with the Null conversion message for wantedType.
    const char* text(std::string_view name, std::string_view wantedType = "String");
    // Absent or not an integer: tessaro::Error.
    std::int32_t integer(std::string_view name);

private:
    [[noreturn]] void fail(const std::string& message, std::string_view name) const;

    pugi::xml_node m_row;
    pugi::xml_attribute m_next;
    std::string_view m_file;
    std::size_t m_rowNumber;
};

// Inline: the image builder looks up every attribute of every row through it.
inline const char* RowReader::find(std::string_view name) {
    const auto take = [this](pugi::xml_attribute found) {
        m_next = found.next_attribute();
        return found.value();
    };
    // The usual case first; past the last attribute the library gives an empty name, which no name matches.
    if (detail::sameName(name, m_next.name())) return take(m_next);
    for (pugi::xml_attribute at = m_next.next_attribute(); at; at = at.next_attribute())
        if (detail::sameName(name, at.name())) return take(at);
    for (pugi::xml_attribute at = m_row.first_attribute(); at && at != m_next; at = at.next_attribute())
        if (detail::sameName(name, at.name())) return take(at);
    return nullptr;
}

inline const char* RowReader::text(std::string_view name, std::string_view wantedType) {
    if (const char* value = find(name)) return value;
    fail(nullConversionMessage(wantedType), name);
}

inline std::int32_t RowReader::integer(std::string_view name) {
    const char* value = text(name, "Integer");
    std::int32_t number = 0;
    if (tryToInteger(value, number)) return number;
    fail(notAnIntegerMessage(value), name);
}

// One document object: emptied before every load and every save.
class XmlDocument {
public:
    static bool exists(const std::string& path);

    // Throws tessaro::Error when the file cannot be read or is not well-formed.
    void load(const std::string& path);
    void loadText(std::string_view text);
    void reset();

    // The root element; for a document without one, an empty element with no children.
    XmlElement documentElement() const;
    // The first top-level element with that name.
    std::optional<XmlElement> findTopLevel(std::string_view name) const;

    XmlElement addRoot(std::string_view name);
    // No declaration and no whitespace of our own; the file is replaced atomically.
    void save(const std::string& path) const;
    std::string toText() const;

private:
    // A loaded file's text, parsed in place: the document's names and values point into it.
    std::unique_ptr<std::string> m_source;
    pugi::xml_document m_document;
};

}  // namespace tessaro
