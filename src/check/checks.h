// The checks kivcheck runs on a script, read with Kivrun's own loader: one table row per
// check (its stable name, its severity, its function).
#pragma once
#include <set>
#include <string>
#include <vector>

#include "check/diagnostics.h"
#include "check/forecast.h"

struct CheckOptions {
  std::string startSection = "DefaultInstall";
  std::string packageDir;          // the folder the files come from; empty: the script's folder
  std::set<std::string> disabled;  // names of checks that do not run
  bool journal = false;            // the script runs with /Journal=: note what a rollback cannot undo
};

struct CheckRow {
  const char* name;
  Severity severity;
};

// Every check of the table, in the order they run.
std::vector<CheckRow> CheckTable();
bool IsCheckName(const std::string& name);

// Appends the diagnostics of the script at `path`, in line order, and gives where the run
// would stop first when `forecast` is given. False when the file cannot be read at all
// (nothing is appended then).
bool CheckScript(const std::string& path, const CheckOptions& options, std::vector<Diagnostic>* diagnostics,
                 RunForecast* forecast = nullptr);
