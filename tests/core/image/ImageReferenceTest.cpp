// tessaro-cli build against a plain encoder written from the image layout, on random projects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>

#include "cli/Cli.h"
#include "support/ImageFields.h"
#include "support/TemporaryFolder.h"

namespace tessaro {
namespace {

// A value as a document holds it, with the integer the generator meant (nothing when the text is no number).
struct Value {
    std::string text;
    std::optional<std::int32_t> number;
};

struct Attribute {
    std::string name;
    Value value;
};

// A child node of a document element: a row element, or stray text (a row without attributes).
struct Row {
    std::vector<Attribute> attributes;
    bool strayText = false;

    const Attribute* find(const std::string& name) const {
        for (const Attribute& attribute : attributes)
            if (attribute.name == name) return &attribute;
        return nullptr;
    }
};

struct Table {
    std::string root;
    std::vector<Row> rows;
};

struct Setting {
    std::string element;
    Value value;
};

struct Pargen {
    std::string root;               // "GeneralParameter" or another name
    std::vector<Setting> settings;  // in document order; duplicates and strangers allowed
};

struct Project {
    std::optional<Table> frames, definitions, groups;
    std::optional<Pargen> pargen;
    bool declaration = false;
    bool indented = false;
};

// A seeded generator whose draws do not depend on the standard library's distributions.
class Random {
public:
    explicit Random(std::uint32_t seed) : m_engine(seed) {}
    std::uint32_t below(std::uint32_t bound) { return m_engine() % bound; }
    bool chance(double probability) { return m_engine() < probability * 4294967296.0; }
    std::int32_t between(std::int32_t low, std::int32_t high) {
        return static_cast<std::int32_t>(low + std::int64_t(m_engine()) % (std::int64_t(high) - low + 1));
    }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[below(std::uint32_t(items.size()))];
    }

private:
    std::mt19937 m_engine;
};

std::string hexDigits(std::uint32_t pattern, Random& random) {
    static const char* const upper = "0123456789ABCDEF";
    static const char* const lower = "0123456789abcdef";
    std::string digits;
    do {
        digits.insert(digits.begin(), (random.chance(0.5) ? upper : lower)[pattern & 0xF]);
        pattern >>= 4;
    } while (pattern != 0);
    if (digits.size() < 8 && random.chance(0.2)) digits.insert(0, random.below(3) + 1, '0');
    return digits;
}

// Every valid form of the number: decimal with or without sign, blanks and leading zeros, and hexadecimal after
// each prefix, of its 32-bit pattern or negated.
std::string render(std::int32_t number, Random& random) {
    std::string blanks(random.chance(0.15) ? random.below(3) + 1 : 0, ' ');
    static const std::vector<std::string> prefixes = {"$", "x", "X", "0x", "0X"};
    switch (random.below(6)) {
        case 0:
        case 1:
            return blanks + std::to_string(number);
        case 2:
            return blanks + (number >= 0 ? "+" + std::to_string(number) : std::to_string(number));
        case 3:
            if (number >= 0) return blanks + "00" + std::to_string(number);
            return blanks + std::to_string(number);
        case 4:
            return blanks + random.pick(prefixes) + hexDigits(static_cast<std::uint32_t>(number), random);
        default:
            if (number < 0)
                return blanks + "-" + random.pick(prefixes) +
                       hexDigits(0u - static_cast<std::uint32_t>(number), random);
            return blanks + "+" + random.pick(prefixes) + hexDigits(static_cast<std::uint32_t>(number), random);
    }
}

Value invalidValue(Random& random) {
    static const std::vector<std::string> texts = {
        "",    "abc",        "12 ",         "1 2",  "++1", "0x",  "$",   "-",  " ", "0x123456789",
        "1.5", "2147483648", "-2147483649", "0xG1", "1e3", "--2", "+-3", "x 1"};
    return {random.pick(texts), std::nullopt};
}

// A number fit for a field of the given width, now and then wider, negative, or at the ends of 32 bits.
Value numberValue(Random& random, int bits, double invalid) {
    if (random.chance(invalid)) return invalidValue(random);
    std::int32_t number;
    const std::uint32_t kind = random.below(20);
    if (kind < 14)
        number = random.between(0, (1 << bits) - 1);
    else if (kind < 17)
        number = random.between(-70000, 1 << 20);
    else if (kind < 18)
        number = random.chance(0.5) ? INT32_MIN : INT32_MAX;
    else
        number = random.between(-3, 3);
    return {render(number, random), number};
}

Value textValue(std::string text) {
    return {std::move(text), std::nullopt};
}

void addNumber(Row& row, const char* name, Random& random, int bits, double invalid = 0.004, double absent = 0.002) {
    if (random.chance(absent)) return;
    row.attributes.push_back({name, numberValue(random, bits, invalid)});
}

void addMnemonic(Row& row, Random& random) {
    static const std::vector<std::string> mnemonics = {"", "Engine", "a & b", "<speed>", "say \"hi\"", "Temp 'oil'"};
    if (!random.chance(0.1)) row.attributes.push_back({"Mnemonic", textValue(random.pick(mnemonics))});
    if (random.chance(0.1)) row.attributes.push_back({"Extra", textValue("1")});
}

void shuffle(std::vector<Attribute>& attributes, Random& random) {
    if (!random.chance(0.3)) return;
    for (std::size_t i = attributes.size(); i > 1; --i)
        std::swap(attributes[i - 1], attributes[random.below(std::uint32_t(i))]);
}

// A table of up to maxRows - 1 rows under one of two root names; now and then a row is stray text.
template <typename FillRow>
Table table(Random& random, const char* usualRoot, const char* otherRoot, std::uint32_t maxRows, FillRow fill) {
    Table result{random.chance(0.8) ? usualRoot : otherRoot, {}};
    const std::uint32_t count = random.below(maxRows);
    for (std::uint32_t i = 0; i < count; ++i) {
        Row row;
        if (random.chance(0.003)) {
            row.strayText = true;
        } else {
            fill(row);
            shuffle(row.attributes, random);
        }
        result.rows.push_back(row);
    }
    return result;
}

Table frames(Random& random) {
    return table(random, "Frames_J1939", "Other", 9, [&](Row& row) {
        addNumber(row, "Priority", random, 3);
        addNumber(row, "DataPage", random, 1);
        addNumber(row, "PGN", random, 16);
        addNumber(row, "Group", random, 4);
        static const std::vector<std::string> erases = {"Y", "N", "", "y", "n", "YES", " Y", "Y "};
        if (!random.chance(0.003)) row.attributes.push_back({"Erase", textValue(random.pick(erases))});
        addMnemonic(row, random);
    });
}

Table definitions(Random& random, std::uint32_t frameCount) {
    return table(random, "DefFrame", "Definitions", 12, [&](Row& row) {
        if (random.chance(0.015)) {
            const std::int32_t low = random.between(-2, 0);
            row.attributes.push_back({"NrFrameJ1939", {render(low, random), low}});
        } else if (!random.chance(0.002)) {
            const std::int32_t frame = random.between(1, std::int32_t(frameCount) + 3);
            row.attributes.push_back(
                {"NrFrameJ1939", random.chance(0.003) ? invalidValue(random) : Value{render(frame, random), frame}});
        }
        addNumber(row, "Device_ID", random, 8);
        addNumber(row, "Index", random, 16);
        static const std::vector<std::int32_t> counts = {0, 0, 1, 2, 3, 4, 5, 6, 7, 7, 8, 9, 255, -1, 256, 263, -256};
        const std::int32_t registerCount = random.pick(counts);
        if (!random.chance(0.002))
            row.attributes.push_back({"Num_Reg", random.chance(0.003)
                                                     ? invalidValue(random)
                                                     : Value{render(registerCount, random), registerCount}});
        addNumber(row, "Type_Reg", random, 3);
        const unsigned lastRead = static_cast<std::uint8_t>(registerCount);
        for (unsigned k = 0; k < 8; ++k) {
            const std::string name = "poscomp" + std::to_string(k);
            if (k <= lastRead) {
                if (!random.chance(0.003)) row.attributes.push_back({name, numberValue(random, 8, 0.004)});
            } else if (random.chance(0.5)) {
                // Not read: any text will do.
                row.attributes.push_back({name, random.chance(0.3) ? invalidValue(random) : numberValue(random, 8, 0)});
            }
        }
    });
}

Table groups(Random& random) {
    return table(random, "Group", "Groups", 12, [&](Row& row) {
        addNumber(row, "Cyclic_Time", random, 16);
        addMnemonic(row, random);
    });
}

const std::vector<std::string> kPargenNames = {"BR_CAN",  "ID_CAN",   "Select_Ser",  "Baud_Ser",
                                               "Par_Ser", "Stop_Ser", "TimeOut_Ser", "Delay_Ser"};

Pargen pargen(Random& random) {
    Pargen document{random.chance(0.01) ? "Settings" : "GeneralParameter", {}};
    for (const std::string& name : kPargenNames) {
        if (random.chance(0.01)) continue;
        const int bits = name == "TimeOut_Ser" || name == "Delay_Ser" ? 16 : 4;
        document.settings.push_back({name, numberValue(random, bits, 0.01)});
    }
    for (std::size_t i = document.settings.size(); i > 1 && random.chance(0.5); --i)
        std::swap(document.settings[i - 1], document.settings[random.below(std::uint32_t(i))]);
    if (random.chance(0.2)) document.settings.push_back({random.pick(kPargenNames), invalidValue(random)});
    if (random.chance(0.1)) document.settings.insert(document.settings.begin(), {"Extra", textValue("x")});
    return document;
}

Project randomProject(Random& random) {
    Project project;
    project.declaration = random.chance(0.3);
    project.indented = random.chance(0.3);
    if (random.chance(0.85)) project.frames = frames(random);
    if (random.chance(0.85))
        project.definitions = definitions(random, project.frames ? std::uint32_t(project.frames->rows.size()) : 2);
    if (random.chance(0.85)) project.groups = groups(random);
    if (random.chance(0.85)) project.pargen = pargen(random);
    return project;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string tableText(const Project& project, const Table& table, Random& random) {
    const std::string gap = project.indented ? "\n  " : "";
    static const std::vector<std::string> rowNames = {"row", "row", "row", "r", "Row", "entry"};
    std::string text = project.declaration ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" : "";
    text += "<" + table.root + ">";
    for (const Row& row : table.rows) {
        text += gap;
        if (row.strayText) {
            text += "<![CDATA[stray]]>";
            continue;
        }
        text += "<" + random.pick(rowNames);
        for (const Attribute& attribute : row.attributes)
            text += " " + attribute.name + "=\"" + escaped(attribute.value.text) + "\"";
        text += "/>";
    }
    return text + (project.indented ? "\n" : "") + "</" + table.root + ">";
}

std::string pargenText(const Project& project, const Pargen& pargen) {
    const std::string gap = project.indented ? "\n  " : "";
    std::string text = project.declaration ? "<?xml version=\"1.0\"?>\n" : "";
    text += "<" + pargen.root + ">";
    for (const Setting& setting : pargen.settings)
        text += gap + "<" + setting.element + ">" + escaped(setting.value.text) + "</" + setting.element + ">";
    return text + (project.indented ? "\n" : "") + "</" + pargen.root + ">";
}

// The expected image, or the expected failure.
struct Expected {
    std::string image;
    std::string failure;
    std::string place;
    std::int32_t frames = 0, definitions = 0, groups = 0;
};

// The failure's text, and for a failure in a document, where: the file, and the row and attribute or the element.
struct Stop {
    std::string message;
    std::string place;
};

class Encoder {
public:
    Expected encode(const Project& project) {
        Expected expected;
        try {
            m_image.assign(16, '\0');
            put32(0, 16);
            const std::int32_t frameCount = project.frames ? std::int32_t(project.frames->rows.size()) : 0;
            if (project.frames)
                for (const Row& row : project.frames->rows) {
                    reading("FrameJ1939.xml");
                    append(integer(row, "Priority"), 1);
                    append(integer(row, "DataPage"), 1);
                    append(integer(row, "PGN"), 2);
                    append(integer(row, "Group"), 1);
                    const Attribute* erase = row.find("Erase");
                    if (!erase) throw Stop{"Could not convert variant of type (Null) into type (String)", at("Erase")};
                    append(erase->value.text == "Y" || erase->value.text == "y" ? 1 : 0, 1);
                }
            put32(4, std::uint32_t(m_image.size()));
            std::int32_t definitionCount = 0;
            if (frameCount > 0 && project.definitions) {
                std::size_t rowNumber = 0;
                for (const Row& row : project.definitions->rows) {
                    ++rowNumber;
                    reading("DefFrameJ1939.xml");
                    const std::int32_t frame = integer(row, "NrFrameJ1939");
                    if (frame > frameCount) continue;
                    if (frame < 1)
                        throw Stop{"Error in row " + std::to_string(rowNumber) +
                                   " of DefFrameJ1939.xml: the frame number " + std::to_string(frame) + " is below 1"};
                    ++definitionCount;
                    append(frame, 1);
                    append(integer(row, "Device_ID"), 1);
                    append(integer(row, "Index"), 2);
                    const std::int32_t registerCount = integer(row, "Num_Reg");
                    append(registerCount, 1);
                    append(integer(row, "Type_Reg"), 1);
                    for (int k = 0; k < 8; ++k)
                        append(k <= (registerCount & 0xFF) ? integer(row, "poscomp" + std::to_string(k)) : 0, 1);
                }
            }
            put32(8, std::uint32_t(m_image.size()));
            const std::int32_t groupCount = project.groups ? std::int32_t(project.groups->rows.size()) : 0;
            if (project.groups)
                for (const Row& row : project.groups->rows) {
                    reading("Group.xml");
                    append(integer(row, "Cyclic_Time"), 2);
                }
            put32(12, std::uint32_t(m_image.size()));
            if (project.pargen) {
                if (project.pargen->root != "GeneralParameter")
                    throw Stop{"pargen.xml has no GeneralParameter element"};
                std::vector<std::int32_t> values;
                for (const std::string& name : kPargenNames) {
                    const auto first = std::find_if(project.pargen->settings.begin(), project.pargen->settings.end(),
                                                    [&](const Setting& setting) { return setting.element == name; });
                    if (first == project.pargen->settings.end())
                        throw Stop{"pargen.xml has no " + name + " element in GeneralParameter"};
                    m_place = "pargen.xml, element " + name;
                    values.push_back(elementNumber(first->value));
                }
                for (int i = 0; i < 6; ++i) append(values[std::size_t(i)], 1);
                append(values[6], 2);
                append(values[7], 2);
                append(frameCount, 2);
                append(definitionCount, 2);
                append(groupCount, 1);
            }
            expected.image = m_image;
            expected.frames = frameCount;
            expected.definitions = definitionCount;
            expected.groups = groupCount;
        } catch (const Stop& stop) {
            expected.failure = stop.message;
            expected.place = stop.place;
        }
        return expected;
    }

private:
    // The row of the file being read, counted from 1 in each file.
    void reading(const std::string& file) {
        if (file != m_file) m_row = 0;
        m_file = file;
        ++m_row;
    }
    std::string at(const std::string& attribute) const {
        return m_file + ", row " + std::to_string(m_row) + ", attribute " + attribute;
    }
    std::int32_t number(const Value& value, const std::string& place) const {
        if (!value.number) throw Stop{"'" + value.text + "' is not a valid integer value", place};
        return *value.number;
    }
    // Loading drops text made of blanks alone, so such an element's text is empty.
    std::int32_t elementNumber(const Value& value) const {
        if (!value.number && value.text.find_first_not_of(' ') == std::string::npos)
            throw Stop{"'' is not a valid integer value", m_place};
        return number(value, m_place);
    }
    std::int32_t integer(const Row& row, const std::string& name) const {
        const Attribute* attribute = row.find(name);
        if (!attribute) throw Stop{"Could not convert variant of type (Null) into type (Integer)", at(name)};
        return number(attribute->value, at(name));
    }
    void append(std::int32_t value, int width) {
        for (int i = 0; i < width; ++i) m_image += static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
    void put32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) m_image[at + std::size_t(i)] = static_cast<char>(value >> (8 * i));
    }

    std::string m_image;
    std::string m_file;
    std::size_t m_row = 0;
    std::string m_place;
};

std::string plural(std::int32_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

TEST(ImageReference, CliBuildAgreesWithThePlainEncoderOnRandomProjects) {
    Random random(20240611);
    constexpr int kProjects = 400;
    int built = 0, failed = 0;
    for (int n = 0; n < kProjects; ++n) {
        const Project project = randomProject(random);
        testing::TemporaryFolder folder;
        if (project.frames) folder.write("FrameJ1939.xml", tableText(project, *project.frames, random));
        if (project.definitions) folder.write("DefFrameJ1939.xml", tableText(project, *project.definitions, random));
        if (project.groups) folder.write("Group.xml", tableText(project, *project.groups, random));
        if (project.pargen) folder.write("pargen.xml", pargenText(project, *project.pargen));
        const bool toFile = random.chance(0.2);
        const std::string target = toFile ? folder.file("out.bin") : folder.file("bin/bank.bin");
        if (random.chance(0.5)) folder.write(toFile ? "out.bin" : "bin/bank.bin", "previous image");

        std::vector<std::string> arguments = {"build", folder.path()};
        if (toFile) arguments.insert(arguments.end(), {"-o", target});
        std::ostringstream out, err;
        const std::string before = folder.read(toFile ? "out.bin" : "bin/bank.bin");
        const bool existed = folder.exists(toFile ? "out.bin" : "bin/bank.bin");
        const int status = cli::run(arguments, out, err);
        const Expected expected = Encoder().encode(project);
        SCOPED_TRACE("project " + std::to_string(n) + " in " + folder.path());
        if (expected.failure.empty()) {
            ++built;
            ASSERT_EQ(status, 0) << err.str();
            ASSERT_TRUE(testing::sameImage(expected.image, folder.read(toFile ? "out.bin" : "bin/bank.bin")));
            EXPECT_EQ(out.str(), target + ": " + std::to_string(expected.image.size()) + " bytes, " +
                                     plural(expected.frames, "frame", "frames") + ", " +
                                     plural(expected.definitions, "definition", "definitions") + ", " +
                                     plural(expected.groups, "group", "groups") + "\n");
            EXPECT_EQ(err.str(), "");
        } else {
            ++failed;
            ASSERT_EQ(status, 1);
            EXPECT_EQ(err.str(), "tessaro-cli: " + expected.failure + "\n" +
                                     (expected.place.empty() ? "" : "tessaro-cli: " + expected.place + "\n"));
            EXPECT_EQ(out.str(), "");
            EXPECT_EQ(folder.exists(toFile ? "out.bin" : "bin/bank.bin"), existed);
            EXPECT_EQ(folder.read(toFile ? "out.bin" : "bin/bank.bin"), before);
        }
    }
    // Both roads must have been taken often enough to mean something.
    EXPECT_GT(built, kProjects / 3);
    EXPECT_GT(failed, kProjects / 10);
}

}  // namespace
}  // namespace tessaro
