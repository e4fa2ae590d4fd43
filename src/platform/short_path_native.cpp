// Natively there are no short names: the path stays as it is.
#include "platform/text_holders.h"

bool PathText::ToShortPath() { return !Empty(); }
