// The host's text values: hexadecimal decoding of the command-line values and the lookup
// of key="value" entries in the parameter text. Portable: no windows.h.
#pragma once
#include <cstddef>

// The parameter text as the command line passes it (hexadecimal): at most 8191 characters.
constexpr size_t kParamsValueChars = 8192;

// Decodes pairs of hexadecimal digits into bytes (an odd last digit is dropped; a pair that
// is not hexadecimal gives what strtoul reads of it). Writes at most `size` bytes and
// gives how many it wrote.
size_t DecodeHexText(const char* text, unsigned char* dest, size_t size);

// The value of the first `key="` in `params` up to the next double quote, cut to size - 1;
// empty when the key is empty or missing or its value has no closing quote. The key counts
// only whole: at the start of the text or after a character that is no key character
// (letters, digits, "_", "-" and "." are).
void FindParamValue(const char* params, const char* key, char* dest, size_t size);
