#include "core/documents/Errors.h"

#include <filesystem>

namespace tessaro {

std::string standardErrorText(std::string_view text) {
    std::string result(text);
    if (!result.empty() && static_cast<unsigned char>(result.back()) > static_cast<unsigned char>('.')) result += '.';
    return result;
}

std::string placeText(const DocumentPlace& place) {
    std::string text = std::filesystem::path(place.file).filename().string();
    if (place.row > 0) text += ", row " + std::to_string(place.row);
    if (!place.attribute.empty()) text += ", attribute " + std::string(place.attribute);
    if (!place.element.empty()) text += ", element " + std::string(place.element);
    return text;
}

std::string withPlace(std::string_view text, const DocumentPlace& place) {
    std::string result(text);
    result += '\n';
    result += placeText(place);
    return result;
}

}  // namespace tessaro
