#include <cstdio>

#include "platform/script_file.h"

ScriptFile::~ScriptFile() { Close(); }

bool ScriptFile::Open(const char* path) {
  Close();
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  handle_ = file;
  return true;
}

uint32_t ScriptFile::SizeLow32() {
  FILE* file = static_cast<FILE*>(handle_);
  if (file == nullptr || std::fseek(file, 0, SEEK_END) != 0) return 0;
  long end = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  return end < 0 ? 0 : static_cast<uint32_t>(static_cast<unsigned long>(end));
}

uint32_t ScriptFile::Read(void* buffer, uint32_t bytes) {
  FILE* file = static_cast<FILE*>(handle_);
  if (file == nullptr) return 0;
  return static_cast<uint32_t>(std::fread(buffer, 1, bytes, file));
}

void ScriptFile::Close() {
  if (handle_ != nullptr) std::fclose(static_cast<FILE*>(handle_));
  handle_ = nullptr;
}
