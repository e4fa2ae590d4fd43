#include "commands/ui/cab_commands.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "host/com_object.h"
#include "host/host_link.h"
#include "commands/ui/cab_installer.h"
#include "host/server_lock.h"
#include "platform/message_wait.h"
#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "platform/change_door.h"
#include "platform/final_status_win32.h"

namespace {

constexpr int kCabOptions = 6;

// The completion sink the installer reports to. It lives in the main thread's apartment:
// its calls arrive while the command pumps messages. While it exists it holds one lock
// on the COM server module.
class CabInstallSink final : public ComObject<IHostCallback, IID_IHostCallback> {
 public:
  // Starts with no reference: the command takes its own with AddRef.
  explicit CabInstallSink(HANDLE completed) : ComObject(0), event_(completed) { ServerLock(); }

  // Progress goes on to the host unchanged.
  HRESULT STDMETHODCALLTYPE OnProgress(LONG first, LONG second, LONG third, BSTR text) override {
    if (IHostCallback* host = HostCallback()) host->OnProgress(first, second, third, text);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnComplete(LONG status, BSTR message) override {
    status_ = status;
    SysFreeString(message_);
    message_ = message != nullptr ? SysAllocStringLen(message, SysStringLen(message)) : nullptr;
    completed_ = true;
    ReleaseInstaller();
    if (event_ != nullptr) SetEvent(event_);
    return S_OK;
  }

  // The command is done with the sink: an installer that still holds it and completes late
  // signals nothing (the event is closed by then), and the installer goes.
  void Detach() {
    event_ = nullptr;
    ReleaseInstaller();
  }

  ICabInstaller** installerSlot() { return &installer_; }
  bool completed() const { return completed_; }
  LONG status() const { return status_; }
  BSTR message() const { return message_; }

 private:
  ~CabInstallSink() override {
    SysFreeString(message_);
    ReleaseInstaller();
    ServerUnlock();
  }
  void ReleaseInstaller() {
    if (installer_ != nullptr) installer_->Release();
    installer_ = nullptr;
  }

  ICabInstaller* installer_ = nullptr;
  LONG status_ = 0;
  BSTR message_ = nullptr;
  bool completed_ = false;
  HANDLE event_;
};

// A local server's proxy is asked to impersonate, so the installer may act as the caller.
void AllowImpersonation(IUnknown* proxy) {
  DWORD authentication = 0, authorization = 0, level = 0, impersonation = 0, capabilities = 0;
  OLECHAR* principal = nullptr;
  RPC_AUTH_IDENTITY_HANDLE identity = nullptr;
  if (FAILED(CoQueryProxyBlanket(proxy, &authentication, &authorization, &principal, &level, &impersonation,
                                 &identity, &capabilities))) {
    return;
  }
  CoSetProxyBlanket(proxy, authentication, authorization, principal, level, RPC_C_IMP_LEVEL_IMPERSONATE, identity,
                    capabilities);
  CoTaskMemFree(principal);
}

struct CabArguments {
  char variable[kPathChars];
  char package[kPathChars];
  LONG options[kCabOptions];
};

int ParseCabArguments(ScriptContext* context, const ScriptLine* line, CabArguments* args) {
  LineArgument<> argument;  // VAR=package[,options]: 51 when no package is named
  if (!argument.Read(context, line)) return argument.end;
  CopyText(args->variable, sizeof(args->variable), argument[0]);
  char fields[kCabValueChars];
  int result = SubstituteWhole(context, argument[1], fields, sizeof(fields));  // nothing installed from a cut name
  if (result != kResultOk) return result;
  TrimText(fields);
  args->package[0] = '\0';
  const char* position = NextField(fields, args->package, sizeof(args->package), ',');
  if (args->package[0] == '\0') return kResultBadSwitch;
  for (LONG& option : args->options) {
    char field[kPathChars] = "";
    if (position != nullptr) position = NextField(position, field, sizeof(field), ',');
    option = std::atoi(field);
  }
  return kResultOk;
}

// The outcome the installer reported: its status and message become the final status, and
// the variable says whether it succeeded.
int StoreOutcome(ScriptContext* context, const CabInstallSink& sink, const char* variable) {
  const BSTR message = sink.message();
  char text[kArgumentCopyChars * 2] = "";
  if (message != nullptr) {
    WideCharToMultiByte(CP_ACP, 0, message, -1, text, sizeof(text), nullptr, nullptr);
    text[sizeof(text) - 1] = '\0';
  }
  SetFinalStatus(sink.status(), text);
  return SymbolSet(context->symbols, variable, sink.status() < 0 ? "FALSE" : "TRUE");
}

// An installation that failed without the installer's word (no installer could be created,
// or Install failed before any completion): FALSE in the variable, the line reported as an
// error, and `status` as the final status with the report's text. The line itself does not
// fail, so that the script's own handling of FALSE runs.
int StoreFailure(ScriptContext* context, const ScriptLine* line, const char* variable, HRESULT status) {
  ReportLineError(context, line, kResultCabNotInstalled);
  char text[kHostTextChars];
  FinalStatusText(text, sizeof(text));
  SetFinalStatus(status, text);
  return SymbolSet(context->symbols, variable, "FALSE");
}

}  // namespace

const HandlerRow CabCommandRows[] = {
    {kOpInstallCab, InstallCabCommand},
    {kOpResetLastUpdate, ResetLastUpdateCommand},
    {kOpNone, nullptr},
};

int InstallCabCommand(ScriptContext* context, const ScriptLine* line) {
  CabArguments args;
  int result = ParseCabArguments(context, line, &args);
  if (result != kResultOk) return FailLine(context, line, result);
  // A what-if run installs nothing and plans on the installer's success.
  const std::string planned = "Would install CAB package " + std::string(args.package);
  if (DoorPlansInstead(PlanKind::kInstaller, args.package, planned.c_str())) {
    return SymbolSet(context->symbols, args.variable, "TRUE");
  }

  HANDLE completed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (completed == nullptr) return kResultOk;
  CabInstallSink* sink = new CabInstallSink(completed);
  sink->AddRef();
  ICabInstaller** installer = sink->installerSlot();
  if (FAILED(CoCreateInstance(CLSID_CabInstaller, nullptr, CLSCTX_ALL, IID_ICabInstaller,
                              reinterpret_cast<void**>(installer)))) {
    result = StoreFailure(context, line, args.variable, E_FAIL);
  } else {
    AllowImpersonation(*installer);
    BSTR package = AnsiToBstr(args.package);
    BSTR params = AnsiToBstr(HostParamsRaw());
    ICabInstaller* call = *installer;
    call->AddRef();  // OnComplete may release the sink's reference during the call
    HRESULT installed = call->Install(package, args.options[0], args.options[1], args.options[2], args.options[3],
                                      args.options[4], args.options[5], sink, nullptr, HostAppUtil(), params);
    call->Release();
    SysFreeString(package);
    SysFreeString(params);

    // A failed call with no completion yet will never complete: waiting would be for ever.
    if (FAILED(installed) && !sink->completed()) {
      result = StoreFailure(context, line, args.variable, installed);
    } else {
      WaitOnePumping(completed, INFINITE);
      result = StoreOutcome(context, *sink, args.variable);
    }
  }
  sink->Detach();
  sink->Release();
  CloseHandle(completed);
  return result == kResultOk ? kResultOk : FailLine(context, line, result);
}

int ResetLastUpdateCommand(ScriptContext*, const ScriptLine*) {
  if (DoorPlansInstead(PlanKind::kInstaller, "", "Would reset the installer's record of the last update")) {
    return kResultOk;
  }
  ICabInstaller* installer = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_CabInstaller, nullptr, CLSCTX_ALL, IID_ICabInstaller,
                                 reinterpret_cast<void**>(&installer)))) {
    installer->ResetLastUpdate();
    installer->Release();
  }
  return kResultOk;
}
