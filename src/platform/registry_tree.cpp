#include "platform/registry_tree.h"

#include "platform/win32_handles.h"

namespace {

constexpr size_t kKeyNameChars = 261;  // what RegEnumKeyA gives on every Windows

struct RootRow {
  HKEY key;
  const char* name;
};
const RootRow kRoots[kRootKeyCount] = {{HKEY_LOCAL_MACHINE, "HKLM"},
                                       {HKEY_CLASSES_ROOT, "HKCR"},
                                       {HKEY_CURRENT_USER, "HKCU"},
                                       {HKEY_USERS, "HKUS"},
                                       {HKEY_CURRENT_CONFIG, "HKCC"}};

std::string Join(const std::string& path, const std::string& name) { return path.empty() ? name : path + "\\" + name; }

// The values of an open key, then its subkeys, each subtree after its key.
void ReadOpenKey(HKEY key, const std::string& relative, std::vector<RegTreeEntry>* entries) {
  RegTreeEntry self;
  self.name = relative;
  entries->push_back(self);
  DWORD subkeys = 0, values = 0, nameChars = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, &nameChars, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    return;
  }
  std::string name(nameChars + 1, '\0');
  for (DWORD i = 0; i < values; ++i) {
    DWORD chars = static_cast<DWORD>(name.size());
    if (RegEnumValueA(key, i, &name[0], &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
    RegTreeEntry value;
    value.isKey = false;
    value.name.assign(name.c_str(), chars);
    DWORD type = 0;
    if (ReadRegValue(key, value.name.c_str(), &type, &value.data)) {
      value.type = type;
      entries->push_back(value);
    }
  }
  for (DWORD i = 0; i < subkeys; ++i) {
    char child[kKeyNameChars];
    if (RegEnumKeyA(key, i, child, sizeof(child)) != ERROR_SUCCESS) continue;
    RegKey opened;
    if (RegOpenKeyExA(key, child, 0, KEY_READ, opened.receive()) == ERROR_SUCCESS) {
      ReadOpenKey(opened.get(), Join(relative, child), entries);
    }
  }
}

}  // namespace

HKEY RootKeyAt(int index) { return index >= 0 && index < kRootKeyCount ? kRoots[index].key : nullptr; }

const char* RootKeyName(HKEY root) {
  for (const RootRow& row : kRoots) {
    if (row.key == root) return row.name;
  }
  return "?";
}

uint32_t RootKeyNumber(HKEY root) { return static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(root)); }

// The predefined keys are small negative numbers widened to a pointer.
HKEY RootKeyFromNumber(uint32_t number) {
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<int32_t>(number)));
}

bool ReadRegValue(HKEY key, const char* name, DWORD* type, std::string* data) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
  for (int attempt = 0; attempt < 4; ++attempt) {  // a value that grows between the calls is asked again
    data->assign(size, '\0');
    DWORD got = size;
    const LONG status = RegQueryValueExA(key, name, nullptr, type,
                                         size > 0 ? reinterpret_cast<BYTE*>(&(*data)[0]) : nullptr, &got);
    if (status == ERROR_SUCCESS) {
      data->resize(got);
      return true;
    }
    if (status != ERROR_MORE_DATA) return false;
    size = got;
  }
  return false;
}

bool ReadRegTree(HKEY root, const char* path, std::vector<RegTreeEntry>* entries) {
  entries->clear();
  RegKey key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return false;
  ReadOpenKey(key.get(), "", entries);
  return true;
}

bool WriteRegTree(HKEY root, const char* path, const std::vector<RegTreeEntry>& entries) {
  bool whole = true;
  RegKey key;
  for (const RegTreeEntry& entry : entries) {
    if (entry.isKey) {
      const std::string full = Join(path, entry.name);
      if (RegCreateKeyA(root, full.c_str(), key.receive()) != ERROR_SUCCESS) whole = false;
      continue;
    }
    if (key.get() == nullptr ||
        RegSetValueExA(key.get(), entry.name.c_str(), 0, entry.type, reinterpret_cast<const BYTE*>(entry.data.data()),
                       static_cast<DWORD>(entry.data.size())) != ERROR_SUCCESS) {
      whole = false;
    }
  }
  return whole;
}

void DeleteRegTree(HKEY parent, const char* name) {
  RegKey key;
  if (RegOpenKeyA(parent, name, key.receive()) != ERROR_SUCCESS) return;
  DWORD subkeys = 0, values = 0;
  if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    return;
  }
  // Downwards: deleting a child does not move the children at lower indices.
  for (DWORD i = subkeys; i > 0 && subkeys > 0; --i) {
    char child[kKeyNameChars];
    if (RegEnumKeyA(key.get(), i - 1, child, sizeof(child)) != ERROR_SUCCESS) break;
    DeleteRegTree(key.get(), child);
    --subkeys;  // whether or not the child went
  }
  for (DWORD j = values; j > 0 && values > 0; --j) {
    char valueName[MAX_PATH];
    DWORD nameChars = sizeof(valueName);
    if (RegEnumValueA(key.get(), j - 1, valueName, &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    if (RegDeleteValueA(key.get(), valueName) == ERROR_SUCCESS) --values;
  }
  key.Close();
  if (values == 0 && subkeys == 0) RegDeleteKeyA(parent, name);
}
