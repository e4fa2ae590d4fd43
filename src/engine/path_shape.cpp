#include "engine/path_shape.h"

#include <string>
#include <vector>

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }
bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The components from `begin` on, resolved: "." and empty ones dropped, ".." undoing one.
std::vector<std::string> Components(const std::string& path, size_t begin) {
  std::vector<std::string> components;
  std::string part;
  for (size_t i = begin; i <= path.size(); ++i) {
    if (i < path.size() && !IsSlash(path[i])) {
      part += path[i];
      continue;
    }
    if (part != "." && part != "..") {
      while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    }
    if (part == "..") {
      if (!components.empty()) components.pop_back();
    } else if (!part.empty() && part != ".") {
      components.push_back(part);
    }
    part.clear();
  }
  return components;
}

void Store(const std::string& text, char* normal, size_t size) {
  if (normal == nullptr || size == 0) return;
  size_t length = text.size() < size - 1 ? text.size() : size - 1;
  text.copy(normal, length);
  normal[length] = '\0';
}

}  // namespace

PathShape ClassifyFolderPath(const char* path, char* normal, size_t size) {
  std::string text = path;
  size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  size_t end = text.size();
  while (end > first && IsBlank(text[end - 1])) --end;
  text = text.substr(first, end - first);
  Store("", normal, size);
  if (text.empty()) return PathShape::kEmpty;

  std::string root;
  size_t begin = 0;
  if (text.size() >= 3 && IsDriveLetter(text[0]) && text[1] == ':' && IsSlash(text[2])) {
    root = text.substr(0, 2);
    begin = 3;
  } else if (text.size() >= 2 && IsSlash(text[0]) && IsSlash(text[1])) {
    if (text.size() == 2 || text[2] == '?' || text[2] == '.' || IsSlash(text[2])) return PathShape::kDevice;
    // \\server\share is the root of a share; what follows it are its folders.
    size_t server = 2;
    while (server < text.size() && !IsSlash(text[server])) ++server;
    size_t share = server < text.size() ? server + 1 : server;
    while (share < text.size() && !IsSlash(text[share])) ++share;
    root = "\\\\" + text.substr(2, server - 2);
    if (server + 1 < share) root += "\\" + text.substr(server + 1, share - server - 1);
    if (share >= text.size() || server >= text.size() || server + 1 == share) {
      Store(root, normal, size);
      return PathShape::kShareRoot;
    }
    begin = share + 1;
  } else {
    return PathShape::kRelative;
  }

  std::vector<std::string> components = Components(text, begin);
  std::string joined = root;
  for (const std::string& component : components) joined += "\\" + component;
  Store(joined, normal, size);
  if (!components.empty()) return PathShape::kFolder;
  return root[0] == '\\' ? PathShape::kShareRoot : PathShape::kDriveRoot;
}

const char* PathShapeText(PathShape shape) {
  switch (shape) {
    case PathShape::kFolder:
      return "";
    case PathShape::kEmpty:
      return "an empty path";
    case PathShape::kRelative:
      return "a relative or drive-less path";
    case PathShape::kDevice:
      return "a device path";
    case PathShape::kDriveRoot:
      return "a drive root";
    case PathShape::kShareRoot:
      return "a network share's root";
  }
  return "";
}
