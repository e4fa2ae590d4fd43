#include "platform/file_version.h"

#include <windows.h>

#include <cstdio>

#include "base/text.h"

void ReadFileVersion(const char* file, char* text, size_t size) {
  CopyText(text, size, "0");
  DWORD handle = 0;
  DWORD bytes = GetFileVersionInfoSizeA(file, &handle);
  if (bytes == 0) return;
  void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
  if (block == nullptr) return;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (GetFileVersionInfoA(file, handle, bytes, block) &&
      VerQueryValueA(block, "\\", reinterpret_cast<void**>(&fixed), &length) && length != 0) {
    std::snprintf(text, size, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                  HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  }
  HeapFree(GetProcessHeap(), 0, block);
}
