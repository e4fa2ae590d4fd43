// kivrun_test_host: a host for Kivrun.exe, for tests and for script authors.
//
//   kivrun_test_host [options] [-- more Kivrun arguments]
//     --kivrun PATH       the Kivrun.exe to start (default: Kivrun.exe beside this program)
//     --out FILE          write the record to FILE instead of standard output
//     --param KEY=VALUE   an entry of the parameter text (written KEY="VALUE"); repeatable
//     --params-hex HEX    the Params= value exactly as given (instead of --param)
//     --parent PID        pass Parent=PID
//     --no-callback, --no-apputil   leave that interface out
//
// It implements both host interfaces, registers their type library (so the standard
// marshaller can carry them), marshals them into hexadecimal text, starts Kivrun with
// CallBack=, AppUtil=, Params= and Parent=, serves the calls while it waits, and writes
// one line per call received, then "exit <code>".
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/com_object.h"
#include "host/host_interfaces.h"

namespace {

std::vector<std::string> g_record;

std::string Narrow(BSTR text) {
  if (text == nullptr) return "";
  int bytes = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), &narrow[0], bytes, nullptr, nullptr);
  return narrow;
}

std::string Quoted(BSTR text) { return "\"" + Narrow(text) + "\""; }

void Record(const std::string& line) { g_record.push_back(line); }

class Callback final : public ComObject<IHostCallback, IID_IHostCallback> {
 public:
  HRESULT STDMETHODCALLTYPE OnProgress(LONG first, LONG second, LONG third, BSTR text) override {
    char line[64];
    std::snprintf(line, sizeof(line), "OnProgress(%ld, %ld, %ld, ", static_cast<long>(first),
                  static_cast<long>(second), static_cast<long>(third));
    Record(line + Quoted(text) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnComplete(LONG status, BSTR message) override {
    char line[48];
    std::snprintf(line, sizeof(line), "OnComplete(0x%08lX, ", static_cast<unsigned long>(status));
    Record(line + Quoted(message) + ")");
    return S_OK;
  }
};

class AppUtil final : public ComObject<IHostAppUtil, IID_IHostAppUtil> {
 public:
  HRESULT STDMETHODCALLTYPE StartUserApp(BSTR command, LONG number) override {
    Record("StartUserApp(" + Quoted(command) + ", " + std::to_string(number) + ")");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CloseUserApp(BSTR name, BSTR unused, LONG timeout, LONG flags) override {
    Record("CloseUserApp(" + Quoted(name) + ", " + Quoted(unused) + ", " + std::to_string(timeout) + ", " +
           std::to_string(flags) + ")");
    return S_OK;
  }
};

std::string Hex(const void* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    unsigned char byte = static_cast<const unsigned char*>(bytes)[i];
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 15]);
  }
  return text;
}

// The marshalled packet of an interface, as CoMarshalInterface writes it, in hexadecimal.
std::string MarshalToHex(IUnknown* object, const IID& iid) {
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return "";
  std::string hex;
  if (SUCCEEDED(CoMarshalInterface(stream, iid, object, MSHCTX_LOCAL, nullptr, MSHLFLAGS_NORMAL))) {
    HGLOBAL block = nullptr;
    ULARGE_INTEGER size = {};
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_CUR, &size);
    if (SUCCEEDED(GetHGlobalFromStream(stream, &block))) {
      void* bytes = GlobalLock(block);
      hex = Hex(bytes, static_cast<size_t>(size.QuadPart));
      GlobalUnlock(block);
    }
  }
  stream->Release();
  return hex;
}

bool RegisterHostTypeLib() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLib(path, &library))) return false;
  HRESULT hr = RegisterTypeLib(library, path, nullptr);
  library->Release();
  return SUCCEEDED(hr);
}

std::string ProgramFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1);
}

// Waits for Kivrun while serving the COM calls that arrive as window messages.
DWORD WaitServing(HANDLE process) {
  for (;;) {
    DWORD outcome = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
    if (outcome != WAIT_OBJECT_0 + 1) break;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  std::string kivrun = ProgramFolder() + "Kivrun.exe", out, params, paramsHex, parent;
  bool withCallback = true, withAppUtil = true, paramsGiven = false;
  std::vector<std::string> extra;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasNext = i + 1 < argc;
    if (arg == "--kivrun" && hasNext) kivrun = argv[++i];
    else if (arg == "--out" && hasNext) out = argv[++i];
    else if (arg == "--parent" && hasNext) parent = argv[++i];
    else if (arg == "--no-callback") withCallback = false;
    else if (arg == "--no-apputil") withAppUtil = false;
    else if (arg == "--params-hex" && hasNext) {
      paramsHex = argv[++i];
      paramsGiven = true;
    } else if (arg == "--param" && hasNext) {
      std::string entry = argv[++i];
      size_t equals = entry.find('=');
      params += (params.empty() ? "" : " ") + entry.substr(0, equals) + "=\"" +
                (equals == std::string::npos ? "" : entry.substr(equals + 1)) + "\"";
      paramsGiven = true;
    } else if (arg == "--") {
      for (++i; i < argc; ++i) extra.push_back(argv[i]);
    } else {
      std::fprintf(stderr, "unknown option %s\n", arg.c_str());
      return 2;
    }
  }
  if (paramsHex.empty() && !params.empty()) paramsHex = Hex(params.data(), params.size());

  CoInitialize(nullptr);
  if (!RegisterHostTypeLib()) std::fprintf(stderr, "the host type library could not be registered\n");
  Callback* callback = withCallback ? new Callback : nullptr;
  AppUtil* appUtil = withAppUtil ? new AppUtil : nullptr;

  std::string commandLine = "\"" + kivrun + "\"";
  if (callback != nullptr) commandLine += " /CallBack=" + MarshalToHex(callback, IID_IHostCallback);
  if (appUtil != nullptr) commandLine += " /AppUtil=" + MarshalToHex(appUtil, IID_IHostAppUtil);
  if (paramsGiven) commandLine += " /Params=" + paramsHex;
  if (!parent.empty()) commandLine += " /Parent=" + parent;
  for (const std::string& arg : extra) commandLine += " " + arg;

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  DWORD code = static_cast<DWORD>(-2);
  if (CreateProcessA(kivrun.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &info)) {
    CloseHandle(info.hThread);
    code = WaitServing(info.hProcess);
    CloseHandle(info.hProcess);
  } else {
    std::fprintf(stderr, "cannot start %s\n", kivrun.c_str());
  }
  Record("exit " + std::to_string(static_cast<long>(code)));

  if (callback != nullptr) {
    CoDisconnectObject(callback, 0);
    callback->Release();
  }
  if (appUtil != nullptr) {
    CoDisconnectObject(appUtil, 0);
    appUtil->Release();
  }
  CoUninitialize();

  std::FILE* file = out.empty() ? stdout : std::fopen(out.c_str(), "w");
  if (file == nullptr) return 3;
  for (const std::string& line : g_record) std::fprintf(file, "%s\n", line.c_str());
  if (file != stdout) std::fclose(file);
  return 0;
}
