#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brevant {

// UTF-8 to UTF-16. Bytes that are not valid UTF-8 become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// 0-15 for a hexadecimal digit of either case, -1 for anything else.
int HexDigitValue(char c);

// Reads a decimal integer the way atoi does: leading white space, an optional
// sign, digits up to the first non-digit; no digits give 0. Saturates at the
// int range instead of overflowing.
int AtoiLike(std::string_view text);

// Control characters: U+0000 to U+001F (tab, CR and LF among them), U+007F and
// U+0080 to U+009F. No field a device reads may hold one: a NUL ends the text
// early, a line break or tab breaks the command or file it goes into.
bool IsControlCharacter(char32_t codePoint);
bool HasControlCharacter(std::u16string_view text);
// The same over UTF-8 text (C1 controls as their two-byte forms).
bool HasControlCharacter(std::string_view text);

// Removes white space (blank, tab, CR, LF, VT, FF) at both ends.
std::string TrimWhite(std::string_view text);

// Removes blanks and horizontal tabs at both ends.
std::string TrimBlanks(std::string_view text);

// ASCII lower case; other bytes unchanged.
std::string AsciiLower(std::string_view text);

// Cuts UTF-8 text to at most maxUnits UTF-16 code units without splitting a
// character. Invalid bytes count as one unit each.
std::string CutToUtf16Units(std::string_view text, std::size_t maxUnits);

// The text cut to at most maxBytes without splitting a UTF-8 character.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

}  // namespace brevant
