#pragma once

namespace tessaro {

inline constexpr const char* kMakerWebPage = "https://www.orvane.example/HOME/default.asp?frompg=RA48213";
inline constexpr const char* kMakerWebAddress = "www.orvane.example";
inline constexpr const char* kMakerMail = "info@orvane.example";

}  // namespace tessaro
