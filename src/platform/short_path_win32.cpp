// PathText's conversion to the short (8.3) form, which only Windows can give.
#include <windows.h>

#include "platform/text_holders.h"

bool PathText::ToShortPath() {
  if (Empty()) return false;
  GlobalText whole;
  if (!whole.Assign(c_str())) return false;

  // With a wildcard in the last component only the folder part is converted.
  GlobalText wildcard;
  if (HasWildcard()) {
    LastComponent(&wildcard);
    CutAtLastSeparator();
  }
  char shortPath[MAX_PATH] = "";
  if (GetShortPathNameA(c_str(), shortPath, MAX_PATH - 1) == 0) {
    Replace(whole.c_str());  // wildcard part and all
    return false;
  }
  if (!Replace(shortPath)) return false;
  if (!wildcard.Empty() && wildcard.Length() > 0) AppendComponent(wildcard.c_str());
  return true;
}
