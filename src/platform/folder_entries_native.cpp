#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/folder_entries.h"

namespace {

class FolderStream {
 public:
  explicit FolderStream(const std::string& folder) : stream_(opendir(folder.c_str())) {}
  ~FolderStream() {
    if (stream_ != nullptr) closedir(stream_);
  }
  FolderStream(const FolderStream&) = delete;
  FolderStream& operator=(const FolderStream&) = delete;
  DIR* get() const { return stream_; }

 private:
  DIR* stream_;
};

}  // namespace

bool ListFolderEntries(const std::string& folder, std::vector<std::string>* names) {
  FolderStream stream(folder);
  if (stream.get() == nullptr) return false;
  while (const dirent* entry = readdir(stream.get())) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names->push_back(entry->d_name);
  }
  return true;
}

bool IsPlainFile(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}
