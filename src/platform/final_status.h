// The process-wide final status handed to the host at the end of a run: a COM result
// code (0 at start) and a text, kept as a wide COM string on Win32.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t kStatusFailed = static_cast<int32_t>(0x80004005u);  // E_FAIL

// Replaces code and text; the text is converted from the ANSI code page. Last writer wins.
void SetFinalStatus(int32_t code, const char* text);
int32_t FinalStatusCode();
// The text back in ANSI, cut to size - 1 characters.
void FinalStatusText(char* dest, size_t size);
// Back to code 0 and an empty text.
void ResetFinalStatus();
