#include <windows.h>

#include "platform/script_file.h"

ScriptFile::~ScriptFile() { Close(); }

bool ScriptFile::Open(const char* path) {
  Close();
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = file;
  return true;
}

uint32_t ScriptFile::SizeLow32() {
  if (handle_ == nullptr) return 0;
  DWORD end = SetFilePointer(handle_, 0, nullptr, FILE_END);
  SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
  return end == INVALID_SET_FILE_POINTER ? 0 : end;
}

uint32_t ScriptFile::Read(void* buffer, uint32_t bytes) {
  DWORD got = 0;
  if (handle_ == nullptr || !ReadFile(handle_, buffer, bytes, &got, nullptr)) return 0;
  return got;
}

void ScriptFile::Close() {
  if (handle_ != nullptr) CloseHandle(handle_);
  handle_ = nullptr;
}
