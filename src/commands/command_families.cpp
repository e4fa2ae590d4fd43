#include "commands/command_families.h"

#include "commands/files/file_commands.h"
#include "commands/files/file_list_commands.h"
#include "commands/process/process_commands.h"
#include "commands/process/service_commands.h"
#include "commands/registry/ini_commands.h"
#include "commands/registry/registry_commands.h"
#include "commands/system/shell_commands.h"
#include "commands/system/system_commands.h"
#include "commands/ui/cab_commands.h"
#include "commands/ui/host_commands.h"
#include "commands/ui/progress_commands.h"
#include "commands/ui/reboot_commands.h"

void AddCommandFamilies() {
  AddHandlerRows(HostCommandRows);
  AddHandlerRows(RegistryCommandRows);
  AddHandlerRows(IniCommandRows);
  AddHandlerRows(SystemCommandRows);
  AddHandlerRows(ShellCommandRows);
  AddHandlerRows(FileListCommandRows);
  AddHandlerRows(FileCommandRows);
  AddHandlerRows(ProcessCommandRows);
  AddHandlerRows(ServiceCommandRows);
  AddHandlerRows(ProgressCommandRows);
  AddHandlerRows(RebootCommandRows);
  AddHandlerRows(CabCommandRows);
}
