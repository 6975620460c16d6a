#include "support/ImageFields.h"

#include <cstdint>
#include <cstdio>

namespace tessaro::testing {

namespace {

std::uint32_t word(std::string_view image, std::size_t at) {
    if (at + 4 > image.size()) return 0;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(image[at + std::size_t(i)]);
    return value;
}

struct Field {
    std::size_t offset;
    const char* name;
};

const char* fieldIn(const Field* fields, std::size_t count, std::size_t within) {
    const char* name = fields[0].name;
    for (std::size_t i = 0; i < count && fields[i].offset <= within; ++i) name = fields[i].name;
    return name;
}

std::string hexByte(unsigned char value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

std::string imageFieldAt(std::string_view image, std::size_t offset) {
    static const Field frame[] = {{0, "Priority"}, {1, "DataPage"}, {2, "PGN"}, {4, "Group"}, {5, "Erase"}};
    static const Field definition[] = {{0, "NrFrameJ1939"}, {1, "Device_ID"}, {2, "Index"},
                                       {4, "Num_Reg"},      {5, "Type_Reg"},  {6, "position byte"}};
    static const Field general[] = {
        {0, "BR_CAN"},      {1, "ID_CAN"},      {2, "Select_Ser"}, {3, "Baud_Ser"},     {4, "Par_Ser"},
        {5, "Stop_Ser"},    {6, "TimeOut_Ser"}, {8, "Delay_Ser"},  {10, "frame count"}, {12, "definition count"},
        {14, "group count"}};
    if (offset < 16) return "header word at " + std::to_string(offset / 4 * 4);
    const std::size_t definitions = word(image, 4), groups = word(image, 8), parameters = word(image, 12);
    if (offset < definitions) {
        const std::size_t within = (offset - 16) % 6;
        return "frame " + std::to_string((offset - 16) / 6 + 1) + " " + fieldIn(frame, 5, within);
    }
    if (offset < groups) {
        const std::size_t within = (offset - definitions) % 14;
        std::string name =
            "definition " + std::to_string((offset - definitions) / 14 + 1) + " " + fieldIn(definition, 6, within);
        if (within >= 6) name += " " + std::to_string(within - 6);
        return name;
    }
    if (offset < parameters) return "group " + std::to_string((offset - groups) / 2 + 1) + " Cyclic_Time";
    if (offset < parameters + 15) return std::string("general parameters ") + fieldIn(general, 11, offset - parameters);
    return "beyond the image";
}

::testing::AssertionResult sameImage(std::string_view expected, std::string_view actual) {
    const std::size_t common = std::min(expected.size(), actual.size());
    for (std::size_t at = 0; at < common; ++at)
        if (expected[at] != actual[at])
            return ::testing::AssertionFailure()
                   << "images differ first at offset " << at << " (" << imageFieldAt(expected, at) << "): expected "
                   << hexByte(static_cast<unsigned char>(expected[at])) << ", got "
                   << hexByte(static_cast<unsigned char>(actual[at]));
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure()
               << "images differ first at offset " << common << " ("
               << imageFieldAt(expected.size() > actual.size() ? expected : actual, common) << "): expected "
               << expected.size() << " bytes, got " << actual.size();
    return ::testing::AssertionSuccess();
}

std::string bytesFromHex(std::string_view hex) {
    std::string bytes;
    int high = -1;
    for (const char c : hex) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0) continue;
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high * 16 + digit);
            high = -1;
        }
    }
    return bytes;
}

}  // namespace tessaro::testing
