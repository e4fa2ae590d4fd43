#include "check/kivcheck_cli.h"

#include <algorithm>

#include "check/checks.h"
#include "check/diagnostics.h"
#include "kivrun_version.h"
#include "platform/folder_entries.h"

namespace {

const char kUsage[] =
    "usage: kivcheck [options] SCRIPT...\n"
    "Checks KIV scripts without running them.\n"
    "  --start=SECTION   the start section (default DefaultInstall)\n"
    "  --package=DIR     the folder the script's files are delivered from (default: the script's folder)\n"
    "  --disable=CHECK[,CHECK...]  checks that do not run (names as printed in [brackets])\n"
    "  --format=FORMAT   text (default), json or github\n"
    "  --journal         note each line whose effects a rollback of the journal cannot undo\n"
    "  --werror          a warning fails the check too\n"
    "  --version         print the version\n"
    "  --help, -h        print this help\n"
    "Exit status: 0 no error, 1 an error (or a warning with --werror), 2 a usage fault or an unreadable file.\n";

enum class Format { kText, kJson, kGithub };

struct Options {
  CheckOptions check;
  Format format = Format::kText;
  bool werror = false;
  std::vector<std::string> scripts;
};

bool StartsWith(const std::string& text, const char* prefix, std::string* rest) {
  size_t length = std::char_traits<char>::length(prefix);
  if (text.compare(0, length, prefix) != 0) return false;
  *rest = text.substr(length);
  return true;
}

// The options that take a value, as a reminder of how a value is written.
struct ValueOption {
  const char* name;
  const char* placeholder;
};
const ValueOption kValueOptions[] = {
    {"--start", "SECTION"}, {"--package", "DIR"}, {"--disable", "CHECK"}, {"--format", "FORMAT"}};

// False with a message in `fault` for an option it does not know or a bad value.
bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* fault) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    // A value is joined to its option with "=": "--start X" would check a script named X.
    for (const ValueOption& option : kValueOptions) {
      if (argument != option.name) continue;
      const bool next = i + 1 < arguments.size() && arguments[i + 1].compare(0, 1, "-") != 0;
      return *fault = "write " + argument + "=" + (next ? arguments[i + 1] : option.placeholder), false;
    }
    std::string value;
    if (StartsWith(argument, "--start=", &value)) {
      options->check.startSection = value;
    } else if (StartsWith(argument, "--package=", &value)) {
      options->check.packageDir = value;
    } else if (StartsWith(argument, "--disable=", &value)) {
      for (size_t begin = 0; begin <= value.size();) {
        size_t end = std::min(value.find(',', begin), value.size());
        std::string name = value.substr(begin, end - begin);
        if (!IsCheckName(name)) return *fault = "unknown check '" + name + "'", false;
        options->check.disabled.insert(name);
        begin = end + 1;
      }
    } else if (StartsWith(argument, "--format=", &value)) {
      if (value == "text")
        options->format = Format::kText;
      else if (value == "json")
        options->format = Format::kJson;
      else if (value == "github")
        options->format = Format::kGithub;
      else
        return *fault = "unknown format '" + value + "'", false;
    } else if (argument == "--werror") {
      options->werror = true;
    } else if (argument == "--journal") {
      options->check.journal = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return *fault = "unknown option '" + argument + "'", false;
    } else {
      options->scripts.push_back(argument);
    }
  }
  if (options->scripts.empty()) return *fault = "no script named", false;
  return true;
}

}  // namespace

int RunKivcheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") return out << kUsage, kExitClean;
    if (argument == "--version") return out << "kivcheck " KIVRUN_VERSION_TEXT "\n", kExitClean;
  }
  Options options;
  std::string fault;
  if (!ParseOptions(arguments, &options, &fault)) {
    err << "kivcheck: " << fault << "\nkivcheck --help lists the options\n";
    return kExitUsage;
  }

  // Checked all the same (its list entries are missing from it), with a word on why.
  std::vector<std::string> entries;
  if (!options.check.packageDir.empty() && !ListFolderEntries(options.check.packageDir, &entries)) {
    err << "kivcheck: the package folder " << options.check.packageDir
        << " cannot be listed: every file list entry counts as missing\n";
  }

  std::vector<Diagnostic> diagnostics;
  std::vector<Diagnostic> forecasts;  // where each run stops first, printed after the diagnostics
  size_t checked = 0;
  for (const std::string& script : options.scripts) {
    RunForecast forecast;
    if (CheckScript(script, options.check, &diagnostics, &forecast)) {
      ++checked;
      if (forecast.stops) {
        forecasts.push_back({script, forecast.line, Severity::kNote, "run-forecast", ForecastText(forecast)});
      }
    } else if (std::vector<std::string> names; ListFolderEntries(script, &names)) {
      err << "kivcheck: " << script << " is a folder: name the scripts in it\n";
    } else {
      err << "kivcheck: cannot read " << script << " (missing or unreadable)\n";
    }
  }
  const bool unreadable = checked < options.scripts.size();

  bool failed = false;
  for (const Diagnostic& d : diagnostics) {
    failed = failed || d.severity == Severity::kError || (options.werror && d.severity == Severity::kWarning);
    if (options.format == Format::kText) out << FormatText(d) << "\n";
    if (options.format == Format::kGithub) out << FormatGithub(d) << "\n";
  }
  for (const Diagnostic& f : forecasts) {
    if (options.format == Format::kText) out << f.file << ": " << f.message << "\n";
    if (options.format == Format::kGithub) out << FormatGithub(f) << "\n";
  }
  if (options.format == Format::kJson) {
    std::vector<Diagnostic> all = diagnostics;
    all.insert(all.end(), forecasts.begin(), forecasts.end());
    out << FormatJson(all);
  } else {
    out << FormatSummary(diagnostics, checked) << "\n";
  }
  if (unreadable) return kExitUsage;
  return failed ? kExitFaults : kExitClean;
}
