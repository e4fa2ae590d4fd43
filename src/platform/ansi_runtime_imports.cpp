// The toolchain's runtime calls three wide-character functions of KERNEL32 that the 9x family
// only stubs (there they fail): CreateSemaphoreW for its locks, GetModuleHandleW and
// LoadLibraryW to find msvcrt.dll. The 32-bit program fills those import slots itself with
// the ANSI functions, which every Windows has, so it imports none of the three
// (scripts/check-imports.sh keeps it that way).
#include <windows.h>

#if !defined(__i386__)
#error "The import slot names below are the 32-bit ones"
#endif

namespace {

constexpr int kNameChars = MAX_PATH;

// A name in the ANSI code page; false (and the last error set) when it does not fit.
bool AnsiName(LPCWSTR wide, char* ansi) {
  return WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, kNameChars, nullptr, nullptr) != 0;
}

HANDLE WINAPI AnsiCreateSemaphore(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name) {
  char ansi[kNameChars];
  if (name == nullptr) return CreateSemaphoreA(security, initial, maximum, nullptr);
  return AnsiName(name, ansi) ? CreateSemaphoreA(security, initial, maximum, ansi) : nullptr;
}

HMODULE WINAPI AnsiGetModuleHandle(LPCWSTR name) {
  char ansi[kNameChars];
  if (name == nullptr) return GetModuleHandleA(nullptr);
  return AnsiName(name, ansi) ? GetModuleHandleA(ansi) : nullptr;
}

HMODULE WINAPI AnsiLoadLibrary(LPCWSTR name) {
  char ansi[kNameChars];
  return AnsiName(name, ansi) ? LoadLibraryA(ansi) : nullptr;
}

}  // namespace

// The slots the runtime calls through; defined here, the linker takes no import for them.
extern "C" {
decltype(&AnsiCreateSemaphore) kivrunCreateSemaphoreSlot asm("__imp__CreateSemaphoreW@16") = AnsiCreateSemaphore;
decltype(&AnsiGetModuleHandle) kivrunGetModuleHandleSlot asm("__imp__GetModuleHandleW@4") = AnsiGetModuleHandle;
decltype(&AnsiLoadLibrary) kivrunLoadLibrarySlot asm("__imp__LoadLibraryW@4") = AnsiLoadLibrary;
}
