#include "documents/Errors.h"

namespace tessaro {

std::string standardErrorText(std::string_view text) {
    std::string result(text);
    if (!result.empty() && static_cast<unsigned char>(result.back()) > static_cast<unsigned char>('.')) result += '.';
    return result;
}

}  // namespace tessaro
