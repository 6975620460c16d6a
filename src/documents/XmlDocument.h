#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

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
