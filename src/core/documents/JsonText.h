#pragma once

#include <string>
#include <string_view>

namespace tessaro {

// A JSON string of text, quotes included, as every JSON writer of the tool writes one: the bytes that are not
// UTF-8 (a path or a name from a Latin-1 system) read as in repairedUtf8, so the document is UTF-8 whatever the
// text held; then the escapes of the JSON library (\", \\, \b \f \n \r \t, \u00XX for the other control
// characters), everything else as it is.
std::string jsonString(std::string_view text);
void appendJsonString(std::string& out, std::string_view text);

}  // namespace tessaro
