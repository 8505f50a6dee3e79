#pragma once

#include <string>
#include <string_view>

// Conversions between Windows-1251 (the encoding of all test texts), the
// platform's wide strings, UTF-8 and the DOS Russian code page 866.
// Everything is table driven: no locale or OS conversion routine is used.

// Each byte becomes one UTF-16 unit. The undefined byte 0x98 becomes U+0098.
std::wstring Cp1251ToWide(std::string_view s);

// Characters without a cp1251 byte become '?'. A character outside the BMP
// (one wchar_t above 0xFFFF, or a surrogate pair) becomes a single '?'.
std::string WideToCp1251(std::wstring_view s);

// Unmappable characters and malformed UTF-8 become '?'.
std::string Utf8ToCp1251(std::string_view s);
std::string Cp1251ToUtf8(std::string_view s);

// Upper-casing as code page 1251 defines it (Latin, Russian and the other
// Cyrillic letters that have both cases in cp1251).
char UpperCaseCharCp1251(char c);
std::string UpperCaseCp1251(std::string_view s);

// Archive entry names written by DOS tools. Pseudo-graphics with no cp1251
// counterpart are approximated ('-', '|', '+'), everything else unmappable
// becomes '?'.
std::string Cp866ToCp1251(std::string_view s);

// The inverse of Cp866ToCp1251 for names written into archives: every cp1251 byte that
// cp866 has goes back to its cp866 byte, ASCII stays, everything else becomes '_'.
std::string Cp1251ToCp866(std::string_view s);
