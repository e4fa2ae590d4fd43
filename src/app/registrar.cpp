#include "app/registrar.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32_handles.h"

namespace {

constexpr size_t kMaxReplacementName = 31;

struct RootName {
  const char* name;
  HKEY key;
};
const RootName kRoots[] = {
    {"HKCR", HKEY_CLASSES_ROOT},       {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},       {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},               {"HKEY_USERS", HKEY_USERS},
    {"HKPD", HKEY_PERFORMANCE_DATA},   {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKDD", HKEY_DYN_DATA},           {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    {"HKCC", HKEY_CURRENT_CONFIG},     {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

bool Is(const std::string& token, const char* word) { return lstrcmpiA(token.c_str(), word) == 0; }

// Tokens are separated by white space; a quoted token keeps its blanks and loses its quotes.
class Tokenizer {
 public:
  explicit Tokenizer(const char* text) : p_(text) {}

  bool Next(std::string* token, bool* quoted = nullptr) {
    while (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n') ++p_;
    token->clear();
    if (quoted != nullptr) *quoted = false;
    if (*p_ == '\0') return false;
    if (*p_ == '\'') {
      if (quoted != nullptr) *quoted = true;
      for (++p_; *p_ != '\0'; ++p_) {
        if (*p_ == '\'') {
          if (p_[1] != '\'') {
            ++p_;
            return true;
          }
          ++p_;  // a doubled quote is one quote
        }
        token->push_back(*p_);
      }
      return false;  // unterminated quote
    }
    while (*p_ != '\0' && *p_ != ' ' && *p_ != '\t' && *p_ != '\r' && *p_ != '\n') token->push_back(*p_++);
    return true;
  }

  bool Peek(std::string* token) {
    const char* saved = p_;
    bool got = Next(token);
    p_ = saved;
    return got;
  }

  const char* position() const { return p_; }
  void Seek(const char* position) { p_ = position; }

 private:
  const char* p_;
};

// Deletes a key with everything below it; keys named CLSID or TYPELIB are never removed.
LONG DeleteTree(HKEY parent, const char* name) {
  if (lstrcmpiA(name, "CLSID") == 0 || lstrcmpiA(name, "TYPELIB") == 0) return ERROR_ACCESS_DENIED;
  RegKey key;
  LONG status = RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, key.receive());
  if (status != ERROR_SUCCESS) return status;
  char child[256];
  // Delete from the first subkey each time: the enumeration shifts as keys go.
  while (RegEnumKeyA(key.get(), 0, child, sizeof(child)) == ERROR_SUCCESS) {
    if (DeleteTree(key.get(), child) != ERROR_SUCCESS) break;
  }
  key.Close();
  return RegDeleteKeyA(parent, name);
}

bool HexToBytes(const std::string& text, std::string* bytes) {
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    char pair[3] = {text[i], text[i + 1], '\0'};
    char* end = nullptr;
    unsigned long value = std::strtoul(pair, &end, 16);
    if (end != pair + 2) return false;
    bytes->push_back(static_cast<char>(value));
  }
  return true;
}

class ScriptRunner {
 public:
  explicit ScriptRunner(const char* text) : tokens_(text) {}

  HRESULT Run(bool registering) {
    std::string token;
    while (tokens_.Next(&token)) {
      HKEY root = RootKey(token);
      if (root == nullptr) return E_FAIL;
      std::string brace;
      if (!tokens_.Next(&brace) || brace != "{") return E_FAIL;
      const char* blockStart = tokens_.position();
      HRESULT hr = Block(root, registering, false);
      if (FAILED(hr) && registering) {
        // Undo what this root block wrote before it failed.
        tokens_.Seek(blockStart);
        Block(root, false, false);
      }
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

 private:
  static HKEY RootKey(const std::string& token) {
    for (const RootName& root : kRoots) {
      if (Is(token, root.name)) return root.key;
    }
    return nullptr;
  }

  // Walks the entries up to the closing brace of the current block. In recovery mode (a key
  // that could not be opened on unregistration) nothing is deleted.
  HRESULT Block(HKEY parent, bool registering, bool recovering) {
    std::string token;
    bool quoted = false;
    while (tokens_.Next(&token, &quoted)) {
      if (!quoted && token == "}") return S_OK;
      HRESULT hr = (!quoted && Is(token, "Val")) ? NamedValue(parent, registering, recovering)
                                                  : Key(parent, token, quoted, registering, recovering);
      if (FAILED(hr)) return hr;
    }
    return E_FAIL;  // the block never closed
  }

  HRESULT Key(HKEY parent, std::string name, bool quoted, bool registering, bool recovering) {
    bool noRemove = false, forceRemove = false, deleteKey = false;
    if (!quoted) {
      bool isModifier = true;
      if (Is(name, "NoRemove")) noRemove = true;
      else if (Is(name, "ForceRemove")) forceRemove = true;
      else if (Is(name, "Delete")) deleteKey = true;
      else isModifier = false;
      if (isModifier && !tokens_.Next(&name, &quoted)) return E_FAIL;
    }
    if (name.empty() || (!quoted && (name == "{" || name == "}" || name == "="))) return E_FAIL;

    std::string valueType, value;
    bool hasDefault = false;
    std::string next;
    if (tokens_.Peek(&next) && next == "=") {
      tokens_.Next(&next);
      if (!tokens_.Next(&valueType) || !tokens_.Next(&value)) return E_FAIL;
      hasDefault = true;
    }
    bool hasBlock = tokens_.Peek(&next) && next == "{";
    if (hasBlock) tokens_.Next(&next);

    if (registering) return RegisterKey(parent, name, forceRemove, deleteKey, hasDefault, valueType, value, hasBlock);
    return UnregisterKey(parent, name, noRemove, forceRemove, hasBlock, recovering);
  }

  HRESULT RegisterKey(HKEY parent, const std::string& name, bool forceRemove, bool deleteKey, bool hasDefault,
                      const std::string& valueType, const std::string& value, bool hasBlock) {
    if (deleteKey) {
      DeleteTree(parent, name.c_str());
      return hasBlock ? Skip() : S_OK;
    }
    if (forceRemove) DeleteTree(parent, name.c_str());
    RegKey key;
    if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                        key.receive(), nullptr) != ERROR_SUCCESS) {
      return E_FAIL;
    }
    if (hasDefault) {
      HRESULT hr = SetValue(key.get(), nullptr, valueType, value);
      if (FAILED(hr)) return hr;
    }
    return hasBlock ? Block(key.get(), true, false) : S_OK;
  }

  HRESULT UnregisterKey(HKEY parent, const std::string& name, bool noRemove, bool forceRemove, bool hasBlock,
                        bool recovering) {
    RegKey key;
    bool opened = !recovering &&
                  RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, key.receive()) == ERROR_SUCCESS;
    bool walkRecovering = recovering || !opened;
    if (hasBlock) {
      HRESULT hr = Block(opened ? key.get() : parent, false, walkRecovering);
      if (FAILED(hr)) return hr;
    }
    if (walkRecovering || noRemove) return S_OK;
    if (forceRemove) {
      key.Close();
      DeleteTree(parent, name.c_str());
      return S_OK;
    }
    DWORD subkeys = 0;
    RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    key.Close();
    if (subkeys == 0) RegDeleteKeyA(parent, name.c_str());
    return S_OK;
  }

  HRESULT NamedValue(HKEY parent, bool registering, bool recovering) {
    std::string name, equals, valueType, value;
    if (!tokens_.Next(&name) || !tokens_.Next(&equals) || equals != "=" || !tokens_.Next(&valueType) ||
        !tokens_.Next(&value)) {
      return E_FAIL;
    }
    if (registering) return SetValue(parent, name.c_str(), valueType, value);
    if (!recovering) RegDeleteValueA(parent, name.c_str());
    return S_OK;
  }

  static HRESULT SetValue(HKEY key, const char* name, const std::string& valueType, const std::string& value) {
    LONG status;
    if (Is(valueType, "S")) {
      status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1));
    } else if (Is(valueType, "D")) {
      DWORD number = std::strtoul(value.c_str(), nullptr, 0);
      status = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    } else if (Is(valueType, "B")) {
      std::string bytes;
      if (!HexToBytes(value, &bytes)) return E_FAIL;
      status = RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size()));
    } else {
      return E_FAIL;
    }
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
  }

  // Passes over a block without acting on it.
  HRESULT Skip() {
    int depth = 1;
    std::string token;
    bool quoted = false;
    while (depth > 0 && tokens_.Next(&token, &quoted)) {
      if (quoted) continue;
      if (token == "{") ++depth;
      if (token == "}") --depth;
    }
    return depth == 0 ? S_OK : E_FAIL;
  }

  Tokenizer tokens_;
};

bool Expand(const char* script, const RegistrarReplacement* map, int mapCount, std::string* out) {
  for (const char* p = script; *p != '\0'; ++p) {
    if (*p != '%') {
      out->push_back(*p);
      continue;
    }
    if (p[1] == '%') {
      out->push_back('%');
      ++p;
      continue;
    }
    const char* end = std::strchr(p + 1, '%');
    if (end == nullptr || static_cast<size_t>(end - p - 1) > kMaxReplacementName) return false;
    std::string name(p + 1, end);
    int i = 0;
    while (i < mapCount && lstrcmpiA(map[i].name, name.c_str()) != 0) ++i;
    if (i == mapCount) return false;  // a name that is not in the map is an error
    out->append(map[i].value);
    p = end;
  }
  return true;
}

}  // namespace

HRESULT RunRegistryScript(const char* script, bool registering, const RegistrarReplacement* map, int mapCount) {
  std::string expanded;
  if (!Expand(script, map, mapCount, &expanded)) return E_FAIL;
  ScriptRunner runner(expanded.c_str());
  return runner.Run(registering);
}

HRESULT RunRegistryResource(const char* modulePath, int id, bool registering) {
  char shortPath[MAX_PATH] = "";
  DWORD got = GetShortPathNameA(modulePath, shortPath, sizeof(shortPath));
  std::string module;
  for (const char* p = (got > 0 && got < sizeof(shortPath)) ? shortPath : modulePath; *p != '\0'; ++p) {
    module.push_back(*p);
    if (*p == '\'') module.push_back('\'');
  }

  LoadedModule image(LoadLibraryExA(modulePath, nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (image.get() == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  HRSRC resource = FindResourceA(image.get(), MAKEINTRESOURCEA(id), "REGISTRY");
  HGLOBAL loaded = resource != nullptr ? LoadResource(image.get(), resource) : nullptr;
  const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
  std::string text(bytes, SizeofResource(image.get(), resource));  // made zero-terminated

  const RegistrarReplacement map[] = {{"Module", module.c_str()}};
  return RunRegistryScript(text.c_str(), registering, map, 1);
}
