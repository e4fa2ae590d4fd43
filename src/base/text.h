// Bounded text helpers. Every copy into a fixed buffer goes through CopyText, so each
// cut is explicit: the destination always ends in a terminator.
#pragma once
#include <cstddef>
#include <cstdint>

// Copies at most `count` bytes of `source` (stopping early at its terminator) into `dest`,
// cut to size - 1 characters. Gives true when all of the wanted text fitted.
bool CopyText(char* dest, size_t size, const char* source, size_t count = static_cast<size_t>(-1));

// Appends `source` to the text in `dest`, cut to what still fits; true when nothing was cut.
bool AppendText(char* dest, size_t size, const char* source);

// Removes leading blanks and tabs and trailing blanks, tabs, carriage returns and line feeds, in place.
void TrimText(char* text);

inline bool IsAsciiAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// What the C runtime's atol gives on Windows: leading white space, an optional sign and the
// digits up to the first other character, held to the 32-bit range; no digits give 0.
int32_t TextToLong(const char* text);

// ASCII comparisons without regard to case.
bool EqualIgnoringCase(const char* a, const char* b);
bool StartsWithIgnoringCase(const char* text, const char* prefix);

// The words that test commands store.
inline const char* TrueOrFalse(bool yes) { return yes ? "TRUE" : "FALSE"; }
