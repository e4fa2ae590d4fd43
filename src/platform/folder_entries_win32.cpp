#include <windows.h>

#include <cstring>

#include "platform/folder_entries.h"

namespace {

// A FindFirstFile search, closed with FindClose (not CloseHandle) when it goes away.
class FolderSearch {
 public:
  FolderSearch(const std::string& pattern, WIN32_FIND_DATAA* entry) : search_(FindFirstFileA(pattern.c_str(), entry)) {}
  ~FolderSearch() {
    if (search_ != INVALID_HANDLE_VALUE) FindClose(search_);
  }
  FolderSearch(const FolderSearch&) = delete;
  FolderSearch& operator=(const FolderSearch&) = delete;
  bool found() const { return search_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAA* entry) { return FindNextFileA(search_, entry) != FALSE; }

 private:
  HANDLE search_;
};

}  // namespace

bool ListFolderEntries(const std::string& folder, std::vector<std::string>* names) {
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/' && pattern.back() != ':') pattern += '\\';
  pattern += "*.*";
  WIN32_FIND_DATAA entry;
  FolderSearch search(pattern, &entry);
  if (!search.found()) return GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty drive root
  do {
    if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) continue;
    names->push_back(entry.cFileName);
  } while (search.Next(&entry));
  return true;
}

bool IsPlainFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
