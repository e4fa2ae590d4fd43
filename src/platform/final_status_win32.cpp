#include "platform/final_status_win32.h"

namespace {
int32_t g_code = 0;
BSTR g_text = nullptr;
}  // namespace

void SetFinalStatus(int32_t code, const char* text) {
  g_code = code;
  if (g_text != nullptr) SysFreeString(g_text);
  g_text = nullptr;
  int wideChars = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (wideChars <= 0) return;
  g_text = SysAllocStringLen(nullptr, static_cast<UINT>(wideChars - 1));
  if (g_text != nullptr) MultiByteToWideChar(CP_ACP, 0, text, -1, g_text, wideChars);
}

int32_t FinalStatusCode() { return g_code; }

void FinalStatusText(char* dest, size_t size) {
  if (size == 0) return;
  dest[0] = '\0';
  if (g_text == nullptr) return;
  int written = WideCharToMultiByte(CP_ACP, 0, g_text, -1, dest, static_cast<int>(size), nullptr, nullptr);
  if (written <= 0) {
    // Too long for the destination: convert whole, then cut.
    int needed = WideCharToMultiByte(CP_ACP, 0, g_text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return;
    char* whole = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(needed)));
    if (whole == nullptr) return;
    WideCharToMultiByte(CP_ACP, 0, g_text, -1, whole, needed, nullptr, nullptr);
    lstrcpynA(dest, whole, static_cast<int>(size));
    HeapFree(GetProcessHeap(), 0, whole);
  }
}

void ResetFinalStatus() {
  g_code = 0;
  if (g_text != nullptr) SysFreeString(g_text);
  g_text = nullptr;
}

BSTR FinalStatusBstr() { return g_text; }
