#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text helpers for cp1251 strings.

uint16_t MakeWord16(uint8_t high, uint8_t low);

// Big-endian bit pattern of the first four bytes; missing bytes count as 0.
uint32_t ReadBigEndian32(std::string_view fourBytes);

// Line breaks are stored as the two characters "/n"; CRs are dropped.
std::string EncodeLineBreaks(std::string_view s);
// Every "/n" becomes CR LF.
std::string DecodeLineBreaks(std::string_view s);

// Drops leading spaces and collapses runs of spaces to one. A single trailing
// space is dropped, but a trailing run of two or more leaves one space.
std::string NormalizeSpaces(std::string_view s);

// A typed answer stores its accepted variants in one text, separated by the byte 0xA6
// ("¦" in cp1251). A test's source, in UTF-8, writes the same character as U+00A6.
constexpr std::string_view kVariantSeparator = "\xA6";
constexpr std::string_view kVariantSeparatorUtf8 = "\xC2\xA6";

// Every separator starts a new variant: N separators give N + 1 variants, the empty ones
// included.
std::vector<std::string> SplitVariants(std::string_view text, std::string_view separator = kVariantSeparator);

// A variant matches when it occurs in the typed answer starting at a word
// boundary, case-insensitively. An empty variant matches anything.
bool MatchTypedAnswer(std::string_view typed, std::string_view variants);

// "N сек", or "M мин S сек" when forced or longer than a minute.
std::string FormatDuration(int32_t seconds, bool forceMinutes);

// Reads a whole signed 32-bit number the way the program's settings are written: leading
// spaces, an optional sign, decimal digits or "$"/"0x" hexadecimal, nothing after.
// False on anything else, or when the value does not fit.
bool TryStrToInt(std::string_view text, int32_t& value);
