// The values the checker knows a variable holds wherever a run reads it: a name that every
// line setting it sets to the same known value. SET with literal text (or with references
// whose values are known) gives the text itself; GETWINDOWSDIR and GETSPECIALDIR's WINDOWS
// and PROGRAM_FILES give the system folder, known by its shape only (a stand-in spelt as
// its usual name). Any other line that sets a name leaves it unknown.
#pragma once
#include <map>
#include <string>

struct ScriptView;

struct KnownValue {
  std::string text;
  bool exact;       // the very text; otherwise a stand-in of the same shape
  std::string why;  // for messages: "'C:\\a'" or "the Windows folder"
};

class KnownValues {
 public:
  KnownValues() = default;
  explicit KnownValues(const ScriptView& view);

  // `text` with each %%NAME%% replaced by its known value: false when a reference has none
  // (or is unclosed). `exact` is cleared when a stand-in was used; `why` names the values.
  // The run inserts at most 259 characters of a value: a longer one sets `cut` (when given).
  bool Substitute(const std::string& text, std::string* out, bool* exact, std::string* why,
                  bool* cut = nullptr) const;

 private:
  std::map<std::string, KnownValue> values_;
};
