#include "commands/registry/registry_arguments.h"

namespace {

// In the order of kRegistryRootPrefixes.
const HKEY kRootKeys[kRegistryRootCount] = {HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_USERS,
                                            HKEY_CURRENT_CONFIG};

}  // namespace

HKEY RootKeyOf(const char* keyText) {
  const int index = RegistryRootIndex(keyText);
  return index >= 0 ? kRootKeys[index] : nullptr;
}
