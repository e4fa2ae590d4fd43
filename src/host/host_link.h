// The link to the host that started Kivrun: its two interfaces (handed over marshalled on
// the command line), its parameter text, and the watch on its process.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "host/host_interfaces.h"

// Params=: decodes the hexadecimal value into the parameter text (the raw value is kept too).
void SetHostParams(const char* hexText);
const char* HostParams();     // the decoded text, zero-terminated
const char* HostParamsRaw();  // as it stood on the command line

// Parent=: when that process can be opened, a thread waits for it to end and then ends
// Kivrun at once with exit code -1.
// That process is also spared by every command that ends processes.
void WatchParentProcess(const char* processId);

// CallBack= and AppUtil=: unmarshal the interface; on failure the place stays empty.
void AttachHostCallback(const char* hexText);
void AttachHostAppUtil(const char* hexText);
IHostCallback* HostCallback();  // nullptr when none is attached
IHostAppUtil* HostAppUtil();

// The end of the run: OnComplete with the final status, then both interfaces released.
void CompleteHostRun();

// A new BSTR of ANSI text in the system code page; the caller frees it.
BSTR AnsiToBstr(const char* text);
