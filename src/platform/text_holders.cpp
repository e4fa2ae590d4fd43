#include "platform/text_holders.h"

#include <cstring>

#include "platform/heap.h"

namespace {

char* HeapCopy(const char* text, uint32_t* size) {
  size_t bytes = std::strlen(text) + 1;
  char* copy = static_cast<char*>(HeapBlockAlloc(bytes));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, bytes);
  *size = static_cast<uint32_t>(bytes);
  return copy;
}

}  // namespace

bool GlobalText::Assign(const char* text) {
  Clear();
  if (text == nullptr) return true;
  text_ = HeapCopy(text, &size_);
  return text_ != nullptr;
}

size_t GlobalText::Length() const { return text_ != nullptr ? std::strlen(text_) : 0; }

void GlobalText::Upper() {
  for (char* p = text_; p != nullptr && *p != '\0'; ++p) {
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  }
}

const char* GlobalText::Find(const char* pattern) const {
  if (text_ == nullptr || pattern == nullptr) return nullptr;
  return std::strstr(text_, pattern);
}

void GlobalText::Clear() {
  HeapBlockFree(text_);
  text_ = nullptr;
  size_ = 0;
}

bool PathText::Assign(const char* path) {
  Clear();
  if (path == nullptr || *path == '\0') return true;
  forwardSlash_ = std::strchr(path, '/') != nullptr ? 1 : 0;
  text_ = HeapCopy(path, &size_);
  return text_ != nullptr;
}

bool PathText::Replace(const char* text) {
  uint32_t size = 0;
  char* copy = HeapCopy(text, &size);
  if (copy == nullptr) return false;
  HeapBlockFree(text_);
  text_ = copy;
  size_ = size;
  return true;
}

bool PathText::HasWildcard() const {
  return text_ != nullptr && (std::strchr(text_, '*') != nullptr || std::strchr(text_, '?') != nullptr);
}

bool PathText::LastComponent(GlobalText* component) const {
  const char* separator = text_ != nullptr ? std::strrchr(text_, Separator()) : nullptr;
  return component->Assign(separator != nullptr ? separator + 1 : "");
}

void PathText::CutAtLastSeparator() {
  char* separator = text_ != nullptr ? std::strrchr(text_, Separator()) : nullptr;
  if (separator != nullptr) *separator = '\0';
}

bool PathText::AppendComponent(const char* name) {
  if (text_ == nullptr || name == nullptr) return false;
  const size_t length = std::strlen(text_);
  const bool endsWith = length > 0 && text_[length - 1] == Separator();
  const bool beginsWith = name[0] == Separator();
  size_t bytes = length + 1 + std::strlen(name) + 1;
  char* joined = static_cast<char*>(HeapBlockAlloc(bytes));
  if (joined == nullptr) return false;
  std::memcpy(joined, text_, length);
  size_t at = length;
  if (!endsWith && !beginsWith) joined[at++] = Separator();
  std::strcpy(joined + at, (endsWith && beginsWith) ? name + 1 : name);
  HeapBlockFree(text_);
  text_ = joined;
  size_ = static_cast<uint32_t>(std::strlen(joined) + 1);
  return true;
}

void PathText::Clear() {
  HeapBlockFree(text_);
  text_ = nullptr;
  size_ = 0;
  forwardSlash_ = 0;
}
