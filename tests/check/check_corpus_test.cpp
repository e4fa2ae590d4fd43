// kivcheck on its corpus: every script under corpus/ gives exactly the diagnostics (line and
// check) of the .expected file next to it; the shipped example is clean. Faults that live
// in the bytes (UTF-16, NUL, bare LF) are written by the test, as git keeps *.kiv as CR LF.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "check/checks.h"
#include "check/command_rules.h"
#include "check/kivcheck_cli.h"
#include "engine/result_codes.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Found(const std::string& path, const std::string& start = "DefaultInstall") {
  std::vector<Diagnostic> diagnostics;
  CheckOptions options;
  options.startSection = start;
  EXPECT_TRUE(CheckScript(path, options, &diagnostics)) << path;
  std::vector<std::string> found;
  for (const Diagnostic& d : diagnostics) found.push_back(std::to_string(d.line) + " " + d.check);
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> Expected(const fs::path& path) {
  std::ifstream file(path);
  std::vector<std::string> expected;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty()) expected.push_back(line);
  }
  std::sort(expected.begin(), expected.end());
  return expected;
}

std::string Written(const std::string& name, const std::string& bytes) {
  fs::path path = fs::temp_directory_path() / ("kivcheck_" + name + ".kiv");
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

TEST(KivcheckCorpus, EveryScriptGivesItsExpectedDiagnostics) {
  size_t scripts = 0;
  for (const auto& entry : fs::directory_iterator(KIVCHECK_CORPUS_DIR)) {
    if (entry.path().extension() != ".kiv") continue;
    fs::path expected = entry.path();
    expected.replace_extension(".expected");
    ASSERT_TRUE(fs::exists(expected)) << expected;
    EXPECT_EQ(Found(entry.path().string()), Expected(expected)) << entry.path();
    ++scripts;
  }
  EXPECT_GE(scripts, 10u);
  EXPECT_TRUE(EveryKeywordHasARule());
  EXPECT_EQ(Found(KIVRUN_SOURCE_DIR "/examples/update/update.kiv"), std::vector<std::string>{});
}

TEST(KivcheckCorpus, FaultsInTheBytesAreFound) {
  const struct {
    const char* name;
    std::string bytes;
    std::vector<std::string> expected;
  } cases[] = {
      {"utf16", std::string("\xFF\xFE[\0D\0]\0\r\0\n\0", 12), {"1 utf16-file"}},
      {"utf16_no_mark", std::string("[\0D\0e\0f\0", 8), {"1 utf16-file"}},
      {"bom", "\xEF\xBB\xBF[DefaultInstall]\r\nSET A=1\r\n", {"1 utf8-bom"}},
      {"nul", std::string("[DefaultInstall]\r\nSET A=1\r\n\0SETT B\r\n", 30), {"3 nul-byte"}},
      {"bare_lf", "[DefaultInstall]\r\nSET A=1\nSET B=2\r\n", {"2 bare-lf"}},
      // All of it saved with LF line ends: one error, and nothing about the run-together text.
      {"lf_only", "[DefaultInstall]\nSETT A=1\nCALL Missing\n", {"1 lf-line-ends"}},
      {"empty", "", {"1 empty-file"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Found(Written(c.name, c.bytes)), c.expected) << c.name;
}

TEST(KivcheckCorpus, AScriptTooLargeToFollowIsStillChecked) {
  std::string script = "[DefaultInstall]\r\nSHOWMSG %%Never%%\r\nCALL S0\r\n";  // 50,000 sections, a name each
  for (int i = 0; i < 50000; ++i) {
    script +=
        "[S" + std::to_string(i) + "]\r\nSET V" + std::to_string(i) + "=1\r\nCALL S" + std::to_string(i + 1) + "\r\n";
  }
  script += "[S50000]\r\nSHOWMSG %%V7%%\r\n";
  EXPECT_EQ(Found(Written("too_large", script)),
            (std::vector<std::string>{"1 undefined-variable", "2 undefined-variable"}));
}

TEST(KivcheckCommandLine, FormatsAndExitStatus) {
  const std::string bad = Written("cli_bad", "[DefaultInstall]\r\nCALL a\"b\r\n");
  const std::string warned = Written("cli_warned", "[DefaultInstall]\r\nSET A=1\nRETURN\r\n");
  const std::string clean = Written("cli_clean", "[DefaultInstall]\r\nSET A=1\r\n");
  std::string err;
  auto run = [&err](std::vector<std::string> arguments, std::string* out) {
    std::ostringstream stdoutText, stderrText;
    int status = RunKivcheck(arguments, stdoutText, stderrText);
    *out = stdoutText.str();
    err = stderrText.str();
    return status;
  };
  std::string out;
  EXPECT_EQ(run({bad}, &out), kExitFaults);
  EXPECT_EQ(out, bad +
                     ":2: error: section 'a\"b' does not exist (the run fails with 4: Unable to find the specified "
                     "section.) [missing-section]\n" +
                     bad + ": the run stops at line 2 (4: Unable to find the specified section.)\n"
                     "1 error, 0 warnings, 0 notes in 1 file\n");
  EXPECT_EQ(run({"--format=json", bad}, &out), kExitFaults);
  EXPECT_EQ(out,
            "[\n  {\"file\": \"" + bad +
                "\", \"line\": 2, \"severity\": \"error\", \"check\": \"missing-section\", "
                "\"message\": \"section 'a\\\"b' does not exist (the run fails with 4: Unable to find the specified "
                "section.)\"},\n  {\"file\": \"" +
                bad +
                "\", \"line\": 2, \"severity\": \"note\", \"check\": \"run-forecast\", \"message\": \"the run "
                "stops at line 2 (4: Unable to find the specified section.)\"}\n]\n");
  EXPECT_EQ(run({"--format=github", "--start=Other", clean}, &out), kExitFaults);
  EXPECT_EQ(out.substr(0, out.find('\n')),
            "::error file=" + clean +
                ",line=1::the start section 'Other' does not exist (the run fails with 7: "
                "Unable to find 'Main' section.) [missing-start-section]");
  const std::string split = Written("cli_split", "[DefaultInstall]\r\nCALL Mis\nsing\r\n");  // LF inside a line
  EXPECT_EQ(run({split}, &out), kExitFaults);
  EXPECT_NE(out.find(split + ":2: error: section 'Mis\\nsing' does not exist"), std::string::npos) << out;
  EXPECT_EQ(run({"--format=json", clean}, &out), kExitClean);
  EXPECT_EQ(out, "[\n]\n");
  EXPECT_EQ(run({warned}, &out), kExitClean);
  EXPECT_EQ(run({"--werror", warned}, &out), kExitFaults);
  EXPECT_EQ(run({}, &out), kExitUsage);
  EXPECT_EQ(err, "kivcheck: no script named\nkivcheck --help lists the options\n");  // not the whole help
  EXPECT_EQ(run({"--format=xml", clean}, &out), kExitUsage);
  // A value is written with "=": the fault says how.
  const std::pair<std::vector<std::string>, std::string> kSeparated[] = {
      {{"--start", "Main", clean}, "write --start=Main"},
      {{"--format", "json", clean}, "write --format=json"},
      {{clean, "--package"}, "write --package=DIR"},
  };
  for (const auto& [arguments, fault] : kSeparated) {
    EXPECT_EQ(run(arguments, &out), kExitUsage);
    EXPECT_EQ(err, "kivcheck: " + fault + "\nkivcheck --help lists the options\n");
  }
  EXPECT_EQ(run({"-h"}, &out), kExitClean);
  EXPECT_EQ(out.compare(0, 6, "usage:"), 0);
  EXPECT_EQ(run({clean, "/nonexistent/script.kiv"}, &out), kExitUsage);
  EXPECT_EQ(out, "0 errors, 0 warnings, 0 notes in 1 file\n");  // the unreadable one is not counted
  for (const char* notAScript : {KIVRUN_SOURCE_DIR, "/dev/zero"}) EXPECT_EQ(run({notAScript}, &out), kExitUsage);
  run({KIVRUN_SOURCE_DIR}, &out);
  EXPECT_EQ(err, "kivcheck: " KIVRUN_SOURCE_DIR " is a folder: name the scripts in it\n");
  EXPECT_EQ(run({"--disable=missing-section", bad}, &out), kExitClean);
  EXPECT_EQ(run({"--disable=missing-section,nope", bad}, &out), kExitUsage);
  const std::string listed = Written("cli_listed", "[DefaultInstall]\r\nCOPYFILES L\r\n[L]\r\nFILECIO ENGINE.DLL\r\n");
  EXPECT_EQ(run({listed}, &out), kExitFaults);  // not next to the script
  EXPECT_EQ(run({"--package=" KIVRUN_SOURCE_DIR "/examples/update", listed}, &out), kExitClean);
  EXPECT_EQ(run({"--package=/nonexistent", listed}, &out), kExitFaults);
}

// Under --journal each line whose effects a rollback cannot undo gets a note, and only those;
// without it the same script is clean.
TEST(KivcheckJournal, NotesWhatARollbackCannotUndoOnlyWhenAsked) {
  const std::string script = Written("journal",
                                     "[DefaultInstall]\r\n"
                                     "SET Tool=C:\\Vorna\\tool.exe\r\n"
                                     "RUN %%Tool%% /a\r\n"
                                     "RUNWAIT %%Tool%% /b\r\n"
                                     "RUNHIDE %%Tool%% /c\r\n"
                                     "SHELLEXECUTE C:\\Vorna\\readme.txt\r\n"
                                     "KILLPROCESS scan.exe\r\n"
                                     "CLOSEAPP Vorna Console\r\n"
                                     "INSTALLCAB Result=C:\\Vorna\\engine.cab\r\n"
                                     "PROMPTREBOOT Restart now?\r\n"
                                     "SETREGVALUE HKLM\\Software\\Vorna,Level=3\r\n"
                                     "STARTSERVICE VornaScan\r\n"
                                     "COPYONEFILE C:\\Vorna\\new.dll,C:\\Vorna\\engine.dll\r\n"
                                     "DELETEONEFILE C:\\Vorna\\old.dll\r\n");
  auto notes = [&script](bool journal) {
    std::vector<Diagnostic> diagnostics;
    CheckOptions options;
    options.journal = journal;
    EXPECT_TRUE(CheckScript(script, options, &diagnostics));
    std::vector<std::string> found;
    for (const Diagnostic& d : diagnostics) {
      found.push_back(std::to_string(d.line) + " " + SeverityName(d.severity) + " " + d.check);
    }
    return found;
  };
  std::vector<std::string> expected;
  for (int line = 3; line <= 10; ++line) expected.push_back(std::to_string(line) + " note journal-cannot-undo");
  EXPECT_EQ(notes(true), expected);
  EXPECT_EQ(notes(false), std::vector<std::string>{});

  std::ostringstream out, err;
  EXPECT_EQ(RunKivcheck({"--journal", "--werror", script}, out, err), kExitClean);  // notes fail nothing
  EXPECT_NE(out.str().find(script + ":4: note: RUNWAIT starts a program: what it changes is not undone by a "
                                    "rollback [journal-cannot-undo]\n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("0 errors, 0 warnings, 8 notes in 1 file"), std::string::npos) << out.str();
  std::ostringstream help;
  RunKivcheck({"--help"}, help, err);
  EXPECT_NE(help.str().find("--journal"), std::string::npos);
}

}  // namespace

namespace {

RunForecast Forecast(const std::string& script, const std::string& start = "DefaultInstall") {
  std::vector<Diagnostic> diagnostics;
  CheckOptions options;
  options.startSection = start;
  RunForecast forecast;
  EXPECT_TRUE(CheckScript(script, options, &diagnostics, &forecast));
  return forecast;
}

}  // namespace

// The stop is the first fault the run meets, not the first in the file: a called section runs
// before the lines after its CALL, and a section nothing reaches never runs.
TEST(KivcheckForecast, TheRunStopsAtTheFirstFaultInRunOrder) {
  const std::string script = Written("forecast", "[DefaultInstall]\r\nCALL Later\r\nBOGUSA\r\n[Early]\r\nBOGUSB\r\n"
                                                 "[Later]\r\nSET A=1\r\nBOGUSC\r\n");
  RunForecast forecast = Forecast(script);
  EXPECT_TRUE(forecast.stops);
  EXPECT_EQ(forecast.line, 8u);
  EXPECT_EQ(forecast.code, kResultUnrecognizedCommand);
  EXPECT_EQ(ForecastText(forecast), "the run stops at line 8 (2: Unrecognized command in script file.)");

  forecast = Forecast(script, "Other");
  EXPECT_TRUE(forecast.beforeFirstLine);
  EXPECT_EQ(ForecastText(forecast), "the run stops before its first line (7: Unable to find 'Main' section.)");

  EXPECT_FALSE(Forecast(Written("forecast_clean", "[DefaultInstall]\r\nSET A=1\r\n[Never]\r\nBOGUS\r\n")).stops);
}

// A bare LF inside a command line begins a line in an editor but not for the loader: the
// diagnostics and the forecast name the editor's line and the one the run's log will name.
TEST(KivcheckForecast, LinesAreNamedAsAnEditorShowsThem) {
  const std::string script = Written("editor_lines", "[DefaultInstall]\r\nSET A=1\nB\r\nBOGUS\r\n");
  EXPECT_EQ(Found(script), (std::vector<std::string>{"2 bare-lf", "4 unknown-command"}));
  std::vector<Diagnostic> diagnostics;
  RunForecast forecast;
  ASSERT_TRUE(CheckScript(script, CheckOptions(), &diagnostics, &forecast));
  ASSERT_EQ(diagnostics.size(), 2u);
  EXPECT_NE(diagnostics[1].message.find("(the run's log names it line 3)"), std::string::npos) << diagnostics[1].message;
  EXPECT_EQ(ForecastText(forecast),
            "the run stops at line 4, which the run's log names line 3 (2: Unrecognized command in script file.)");
}
