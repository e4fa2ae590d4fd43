#include "commands/registry/registry_arguments.h"

#include "engine/result_codes.h"

namespace {

// In the order of kRegistryRootPrefixes.
const HKEY kRootKeys[kRegistryRootCount] = {HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_USERS,
                                            HKEY_CURRENT_CONFIG};

}  // namespace

int ParseRegistryRoot(const char* text, HKEY* root) {
  int index = RegistryRootIndex(text);
  if (index < 0) return kResultNoRegistryRoot;
  *root = kRootKeys[index];
  return kResultOk;
}

int ParseRegistryQuery(const char* text, RegistryQuery* query) {
  int result = ParseRegistryQueryText(text, query);
  if (result == kResultOk) query->root = kRootKeys[query->rootIndex];
  return result;
}

int ParseRegistryAssignment(const char* text, RegistryAssignment* assignment) {
  int result = ParseRegistryAssignmentText(text, assignment);
  if (result != kResultOk) return result;
  assignment->root = kRootKeys[assignment->rootIndex];
  assignment->type = assignment->dataType == RegistryDataType::kDword ? REG_DWORD : REG_SZ;
  return kResultOk;
}
