// Text holders of the file and process code: a plain text (GlobalText) and a path that
// knows its separator (PathText). Their memory comes from the platform heap like the
// script records; each holder owns its text and frees it when it goes.
#pragma once
#include <cstddef>
#include <cstdint>

class GlobalText {
 public:
  GlobalText() = default;
  ~GlobalText() { Clear(); }
  GlobalText(const GlobalText&) = delete;
  GlobalText& operator=(const GlobalText&) = delete;

  // A copy of `text`; nullptr leaves the holder empty, "" holds an empty text.
  bool Assign(const char* text);
  size_t Length() const;
  void Upper();                                   // ASCII letters, in place
  const char* Find(const char* pattern) const;   // first occurrence, or nullptr
  void Clear();
  const char* c_str() const { return text_ != nullptr ? text_ : ""; }
  bool Empty() const { return text_ == nullptr; }

 private:
  char* text_ = nullptr;
  uint32_t size_ = 0;  // length + 1, 0 when empty
};

class PathText {
 public:
  PathText() = default;
  ~PathText() { Clear(); }
  PathText(const PathText&) = delete;
  PathText& operator=(const PathText&) = delete;

  // A copy of `path`; a path with "/" in it uses "/" as its separator from then on.
  bool Assign(const char* path);
  bool HasWildcard() const;                     // "*" or "?"
  bool LastComponent(GlobalText* component) const;  // after the last separator; empty without one
  void CutAtLastSeparator();                    // drops the last separator and what follows
  bool AppendComponent(const char* name);       // exactly one separator between
  bool ToShortPath();                           // the 8.3 form of the folders that exist (Win32)
  void Clear();
  const char* c_str() const { return text_ != nullptr ? text_ : ""; }
  bool Empty() const { return text_ == nullptr; }
  char Separator() const { return forwardSlash_ ? '/' : '\\'; }

 private:
  bool Replace(const char* text);  // keeps the separator choice

  char* text_ = nullptr;
  uint32_t size_ = 0;
  int32_t forwardSlash_ = 0;
};
