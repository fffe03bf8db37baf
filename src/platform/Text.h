#pragma once
// Text encodings at the edges: UTF-8 inside, UTF-16 for wide strings, ISO-8859-1 for ID3v1.
#include <string>

namespace plat {

std::u16string Utf8ToUtf16(const std::string &text);
std::string Utf16ToUtf8(const std::u16string &text);
// Characters outside ISO-8859-1 become '?'.
std::string Utf8ToLatin1(const std::string &text);
std::string Latin1ToUtf8(const std::string &text);
// Case-insensitive comparison of ASCII letters (names, keys, languages).
bool SameText(const std::string &a, const std::string &b);
std::string UpperCase(const std::string &text);
std::string LowerCase(const std::string &text);
// The whole text as a decimal integer; otherwise std::invalid_argument with the message
// "'text' is not a valid integer value".
int StrToInt(const std::string &text);
// The system's text for an errno value.
std::string SysErrorMessage(int error);
// Whole seconds as a clock shows them, minutes and two-digit seconds: 187 gives "3:07".
std::string ClockTime(long seconds);

} // namespace plat
