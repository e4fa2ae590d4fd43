#include "commands/system/shell_commands.h"

#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "engine/argument_forms.h"
#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "platform/change_door.h"
#include "platform/path_helpers.h"
#include "platform/win32_handles.h"
#include "platform/windows_family.h"

namespace {

int StartMenuFolderId() { return IsNtFamily() ? CSIDL_COMMON_STARTMENU : CSIDL_STARTMENU; }

// The path of a shell folder by its item list; false when either step fails.
bool ShellFolder(int folderId, char* path, HRESULT* locationResult) {
  IMalloc* allocator = nullptr;
  *locationResult = SHGetMalloc(&allocator);
  if (FAILED(*locationResult)) return false;
  LPITEMIDLIST items = nullptr;
  *locationResult = SHGetSpecialFolderLocation(nullptr, folderId, &items);
  bool found = false;
  if (SUCCEEDED(*locationResult)) {
    found = SHGetPathFromIDListA(items, path) != FALSE;
    allocator->Free(items);
  }
  allocator->Release();
  return found;
}

enum class FolderSource { kTemp, kWindows, kShell, kShellByFamily, kScript };

struct SpecialFolderRow {
  FolderSource source;
  int folderId;    // the shell folder, or on the NT family for kShellByFamily
  int folderId9x;  // kShellByFamily on the 9x family
};

// Where each folder of kSpecialFolderNames comes from, row for row.
const SpecialFolderRow kSpecialFolders[] = {
    {FolderSource::kTemp, 0, 0},                                               // TEMP
    {FolderSource::kWindows, 0, 0},                                            // WINDOWS
    {FolderSource::kShell, CSIDL_PROGRAM_FILES, 0},                            // PROGRAM_FILES
    {FolderSource::kShell, CSIDL_DESKTOPDIRECTORY, 0},                         // DESKTOP
    {FolderSource::kShell, CSIDL_COMMON_DOCUMENTS, 0},                         // DOCUMENTS
    {FolderSource::kShell, CSIDL_STARTMENU, 0},                                // STARTMENU
    {FolderSource::kShellByFamily, CSIDL_COMMON_STARTMENU, CSIDL_STARTMENU},   // COMMON_STARTMENU
    {FolderSource::kShell, CSIDL_STARTUP, 0},                                  // STARTUP
    {FolderSource::kShellByFamily, CSIDL_COMMON_STARTUP, CSIDL_STARTUP},       // COMMON_STARTUP
    {FolderSource::kScript, 0, 0},                                             // CURRENT_KIVSCRIPT
};
static_assert(sizeof(kSpecialFolders) / sizeof(kSpecialFolders[0]) == kSpecialFolderCount,
              "one row for each name of kSpecialFolderNames");

const SpecialFolderRow* FindSpecialFolder(const char* name) {
  const int index = SpecialFolderIndex(name);
  return index < 0 ? nullptr : &kSpecialFolders[index];
}

bool IsFolder(const char* path) {
  DWORD attributes = DoorFileAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Security functions bound at run time: the 9x family's Advapi32 lacks some of them.
struct SecurityApi {
  using AllocateSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                      DWORD, DWORD, PSID*);
  using FreeSidFn = PVOID(WINAPI*)(PSID);
  using SetEntriesFn = DWORD(WINAPI*)(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL*);
  using InitDescriptorFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
  using SetDaclFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);

  AllocateSidFn allocateSid = nullptr;
  FreeSidFn freeSid = nullptr;
  SetEntriesFn setEntries = nullptr;
  InitDescriptorFn initDescriptor = nullptr;
  SetDaclFn setDacl = nullptr;
  SetFileSecurityFn setFileSecurity = nullptr;

  bool Bind(HMODULE library) {
    return BindOne(library, "AllocateAndInitializeSid", &allocateSid) && BindOne(library, "FreeSid", &freeSid) &&
           BindOne(library, "SetEntriesInAclA", &setEntries) &&
           BindOne(library, "InitializeSecurityDescriptor", &initDescriptor) &&
           BindOne(library, "SetSecurityDescriptorDacl", &setDacl) &&
           BindOne(library, "SetFileSecurityA", &setFileSecurity);
  }

 private:
  template <class Function>
  static bool BindOne(HMODULE library, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return *function != nullptr;
  }
};

}  // namespace

const HandlerRow ShellCommandRows[] = {
    {kOpGetSpecialDir, GetSpecialDirCommand},
    {kOpGetStartMenuDir, GetStartMenuDirCommand},
    {kOpAddStartMenu, AddStartMenuCommand},
    {kOpCreateSpecialDir, CreateSpecialDirCommand},
    {kOpNone, nullptr},
};

void SpecialFolderPath(int folderId, char* path, size_t size) {
  IShellLinkA* link = nullptr;
  HRESULT created = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link));
  HRESULT located = E_FAIL;
  if (SUCCEEDED(created)) {
    char found[MAX_PATH] = "";
    if (ShellFolder(folderId, found, &located)) CopyText(path, size, found);
    link->Release();
  }
  if ((FAILED(created) || FAILED(located)) && folderId == CSIDL_PROGRAM_FILES) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE,
                      key.receive()) == ERROR_SUCCESS) {
      DWORD bytes = static_cast<DWORD>(size);
      RegQueryValueExA(key.get(), "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &bytes);
      path[size - 1] = '\0';
    }
  }
}

bool CreateStartMenuShortcut(const char* target, const char* name) {
  IShellLinkA* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  char shortcut[kPathChars] = "";
  if (SUCCEEDED(hr)) {
    char folder[MAX_PATH] = "";
    HRESULT located = E_FAIL;
    if (ShellFolder(StartMenuFolderId(), folder, &located)) {
      int length = std::snprintf(shortcut, sizeof(shortcut), "%s\\%s.lnk", folder, name);
      if (length < 0 || static_cast<size_t>(length) >= sizeof(shortcut)) shortcut[0] = '\0';  // a cut name: refused
    }
    link->SetPath(target);
    link->SetDescription(name);
    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
      wchar_t widePath[MAX_PATH] = L"";
      MultiByteToWideChar(CP_ACP, 0, shortcut, -1, widePath, MAX_PATH);
      hr = shortcut[0] != '\0' ? DoorSaveShortcut(file, widePath, shortcut, target) : E_FAIL;
      file->Release();
    }
    link->Release();
  }
  SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA, shortcut, nullptr);
  // A name the file system refuses (<>|, a missing subfolder) may leave a success code
  // behind it: only the file itself tells.
  return SUCCEEDED(hr) && shortcut[0] != '\0' && FileExists(shortcut);
}

bool CreateFolderForEveryone(const char* path) {
  if ((GetVersion() & 0x80000000u) != 0) {  // the 9x family has no access lists
    SECURITY_ATTRIBUTES plain = {sizeof(plain), nullptr, FALSE};
    return DoorFileAttributes(path) != INVALID_FILE_ATTRIBUTES || DoorCreateFolder(path, &plain);
  }
  LoadedModule advapi(LoadSystemLibrary("Advapi32.dll"));
  SecurityApi api;
  if (advapi.get() == nullptr || !api.Bind(advapi.get())) return false;

  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!api.allocateSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return false;
  EXPLICIT_ACCESS_A access = {};
  access.grfAccessPermissions = GENERIC_ALL;
  access.grfAccessMode = SET_ACCESS;
  access.grfInheritance = NO_INHERITANCE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = static_cast<LPSTR>(everyone);
  PACL list = nullptr;
  bool done = false;
  if (api.setEntries(1, &access, nullptr, &list) == ERROR_SUCCESS) {
    SECURITY_DESCRIPTOR descriptor = {};
    if (api.initDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        api.setDacl(&descriptor, TRUE, list, FALSE)) {
      if (DoorFileAttributes(path) != INVALID_FILE_ATTRIBUTES) {
        done = DoorSetFolderSecurity(path, api.setFileSecurity, &descriptor) != FALSE;
      } else {
        SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
        done = DoorCreateFolder(path, &attributes) != FALSE ||
               DoorSetFolderSecurity(path, api.setFileSecurity, &descriptor) != FALSE;
      }
    }
    LocalFree(list);
  }
  api.freeSid(everyone);
  return done;
}

int GetSpecialDirCommand(ScriptContext* context, const ScriptLine* line) {
  // Without "=", or with a name that no row knows, the row's form fails the line with 51:
  // an unknown name has no folder, and an empty text would put %%X%%\app at the drive's root.
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* variable = argument[0];
  const SpecialFolderRow* row = FindSpecialFolder(argument[1]);
  if (row == nullptr) return FailLine(context, line, kResultBadSwitch);
  char path[kPathChars] = "";
  switch (row->source) {
    case FolderSource::kTemp:
      GetTempPathA(sizeof(path), path);
      break;
    case FolderSource::kWindows:
      GetWindowsDirectoryA(path, sizeof(path));
      break;
    case FolderSource::kShell:
      SpecialFolderPath(row->folderId, path, sizeof(path));
      break;
    case FolderSource::kShellByFamily:
      SpecialFolderPath(IsNtFamily() ? row->folderId : row->folderId9x, path, sizeof(path));
      break;
    case FolderSource::kScript:
      CopyText(path, sizeof(path), context->scriptDir);
      break;
  }
  size_t length = std::strlen(path);
  if (length > 0 && path[length - 1] == '\\') path[length - 1] = '\0';
  return SymbolSet(context->symbols, variable, path);  // not reported
}

int GetStartMenuDirCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* variable = argument[0];
  char folder[MAX_PATH] = "";
  HRESULT located = E_FAIL;
  if (!ShellFolder(StartMenuFolderId(), folder, &located)) return kResultOk;  // VAR untouched
  return SymbolSet(context->symbols, variable, folder);
}

int AddStartMenuCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  // The target keeps up to 259 characters: a shortcut to a cut path would point elsewhere.
  char name[kPathChars], target[kPathChars];
  int result = SubstituteActingText(context, line, argument[0], name, sizeof(name));
  if (result == kResultOk) result = SubstituteActingText(context, line, argument[1], target, sizeof(target));
  if (result != kResultOk) return result;
  TrimText(name);
  TrimText(target);
  if (!CreateStartMenuShortcut(target, name)) return FailLine(context, line, kResultCannotWriteFile);
  return kResultOk;
}

int CreateSpecialDirCommand(ScriptContext* context, const ScriptLine* line) {
  // Everyone gets full control of what is named here: never of a drive, a system folder or
  // anything that is not a folder of the script's own (the executor has refused those).
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* path = argument[0];
  DWORD attributes = DoorFileAttributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return FailLine(context, line, kResultBadSwitch);
  }
  CreateFolderForEveryone(path);
  // A name the file system refuses or a missing parent leaves no folder: the script must know.
  if (!IsFolder(path)) return FailLine(context, line, kResultBadSwitch);
  return kResultOk;
}
