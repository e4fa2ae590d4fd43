#include "commands/command_families.h"

#include "commands/files/file_commands.h"
#include "commands/files/file_list_commands.h"
#include "commands/process/process_commands.h"
#include "commands/process/service_commands.h"
#include "commands/registry/ini_commands.h"
#include "commands/registry/registry_commands.h"
#include "commands/target_guard.h"
#include "commands/system/shell_commands.h"
#include "commands/system/system_commands.h"
#include "commands/ui/cab_commands.h"
#include "commands/ui/host_commands.h"
#include "commands/ui/progress_commands.h"
#include "commands/ui/reboot_commands.h"

namespace {

// The families, in the order their rows are added: the first row of an opcode wins.
const HandlerRow* const kFamilies[] = {
    HostCommandRows,     RegistryCommandRows, IniCommandRows,     SystemCommandRows,
    ShellCommandRows,    FileListCommandRows, FileCommandRows,    ProcessCommandRows,
    ServiceCommandRows,  ProgressCommandRows, RebootCommandRows,  CabCommandRows,
};
static_assert(sizeof(kFamilies) / sizeof(kFamilies[0]) <= kMaxCommandFamilies,
              "the executor keeps at most kMaxCommandFamilies families");

}  // namespace

void AddCommandFamilies() {
  for (const HandlerRow* family : kFamilies) AddHandlerRows(family);
  SetProtectedFolderRule(IsProtectedFolder);
}
