// Argument texts for every keyword, well formed and each way an author gets one wrong, held
// to one question: does kivcheck predict the code the run gives? Each case is one line run as
// the last line of [DefaultInstall] after a short prelude, in a script that the checker
// reads whole. tests/check/command_cases_test.cpp asks natively (the engine's own commands,
// and every other command's row: its form and its acting fields); the Windows test runs the
// real handlers under Wine against fixtures in C:\kivdiff and HKCU\Software\KivrunDiff.
#pragma once
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "check/diagnostics.h"

struct CommandCase {
  std::string line;      // keyword and argument
  bool windowsOnly;      // the outcome depends on the machine (its system folders, a key's presence)
};

// Lines before each case: a variable that is empty, one with a comma, one with a folder, one
// of 250 characters.
inline std::string CommandCasePrelude() {
  return "SET Empty=\r\nSET Pair=a,b\r\nSET Folder=C:\\kivdiff\r\nSET Long=" + std::string(250, 'L') + "\r\n";
}
constexpr unsigned kCommandCaseLine = 6;  // after [DefaultInstall] and the prelude

// The sections the cases may name, after [DefaultInstall].
inline const char* CommandCaseSections() { return "[Target]\r\nRETURN 1\r\n[List]\r\nSET Listed=1\r\n"; }

// The keywords whose well-formed lines wait for a person, start or open something, or run
// for seconds: under Wine only their faulty forms are run.
inline bool WaitsOrShows(const std::string& keyword) {
  static const char* const kKeywords[] = {"SHOWMSG",        "YESNO",       "PROMPTREBOOT",   "STARTPROGRESSDLG",
                                          "ENDPROGRESSDLG", "SETPROGRESS", "SHELLEXECUTE",   "INSTALLCAB",
                                          "RESETLASTUPDATE", "WAITFORTIME", "RUN",           "RUNWAIT",
                                          "RUNHIDE",        "ADDSTARTMENU", "SETREBOOTFLAG"};
  for (const char* word : kKeywords) {
    if (keyword == word) return true;
  }
  return false;
}

namespace command_cases {

// A well-formed argument for each keyword, safe to run: it names only C:\kivdiff, the key
// HKCU\Software\KivrunDiff, and programs, windows and services that do not exist.
struct Base {
  const char* keyword;
  const char* argument;
};
inline const Base kBases[] = {
    {"CALL", "Target"},
    {"CONTINUEIF", "1=1"},
    {"FINDREGKEY", "X=HKCU\\Software\\KivrunDiff"},
    {"GETREGVALUE", "X=HKCU\\Software\\KivrunDiff,V"},
    {"SETREGVALUE", "HKCU\\Software\\KivrunDiff,W=/REG_DWORD:7"},
    {"GETINIFILEVALUE", "X=C:\\kivdiff\\diff.ini,S,K"},
    {"SETINIFILEVALUE", "C:\\kivdiff\\diff.ini,S,K=V"},
    {"DELETEINIFILESECTION", "C:\\kivdiff\\diff.ini,Gone"},
    {"SETWORKDIR", "C:\\kivdiff"},
    {"RETURN", "1"},
    {"RETURNIF", "1=2,1"},
    {"SET", "X=1"},
    {"GETFILEVERSION", "X=C:\\kivdiff\\a.txt"},
    {"COPYFILEAS", "a.txt,b.txt"},
    {"CLOSEAPP", "KivrunNoWindow"},
    {"RUN", "kivrun-missing.exe"},
    {"RUNWAIT", "kivrun-missing.exe"},
    {"RUNHIDE", "kivrun-missing.exe"},
    {"STOPSERVICE", "KivrunNoService"},
    {"STARTSERVICE", "KivrunNoService"},
    {"CANALLFILESBECOPIED", "X=C:\\kivdiff\\a.txt"},
    {"CREATEREGKEY", "HKCU\\Software\\KivrunDiff,Sub"},
    {"DELETEREGVALUE", "HKCU\\Software\\KivrunDiff,W"},
    {"DELETEREGKEY", "HKCU\\Software\\KivrunDiff\\Sub"},
    {"DELETEEMPTYREGKEY", "HKCU\\Software\\KivrunDiff\\Sub"},
    {"ISREGKEYEMPTY", "X=HKCU\\Software\\KivrunDiff"},
    {"DELETEREGKEYRECURSIVE", "HKCU\\Software\\KivrunDiff\\Gone"},
    {"FINDREGVALUE", "X=HKCU\\Software\\KivrunDiff,V"},
    {"ISAPPRUNNING", "X=KivrunNoWindow"},
    {"ISSERVICERUNNING", "X=KivrunNoService"},
    {"GETOSTYPE", "X"},
    {"GETOSVERSION", "X"},
    {"GETWINDOWSDIR", "X"},
    {"GETSPECIALDIR", "X=TEMP"},
    {"STRIPFILENAME", "Folder"},
    {"FILEEXISTS", "X=C:\\kivdiff\\a.txt"},
    {"ISCURRENTFILEOLDER", "X=a.txt"},
    {"FINDINIFILEVALUE", "X=C:\\kivdiff\\diff.ini,S,K"},
    {"ISFILELOCKED", "X=C:\\kivdiff\\a.txt"},
    {"GETPROCESSORTYPE", "X"},
    {"WAITFORTIME", "0"},
    {"WAITTILLUNLOCKED", "C:\\kivdiff\\a.txt,10"},
    {"CREATEDIR", "C:\\kivdiff\\made"},
    {"REMOVEDIR", "C:\\kivdiff\\gone"},
    {"REMOVEDIRRECURSIVE", "C:\\kivdiff\\gone"},
    {"COPYFILES", "List"},
    {"DELFILES", "List"},
    {"FILECIO", "a.txt"},
    {"FILECOW", "a.txt,b.txt"},
    {"SHOWMSG", "Hello"},
    {"GOTOIF", "1=2,Target"},
    {"CALLIF", "1=1,R=Target"},
    {"PROGRESS", "1,2,3,text"},
    {"INSTALLCAB", "R=package.cab,1"},
    {"WAITFORWINDOWCLOSE", "KivrunNoWindow,10"},
    {"EXTENDPATH", "C:\\kivdiff"},
    {"YESNO", "R=Go on?"},
    {"KILLPROCESS", "kivrun-none.exe"},
    {"STARTUSERAPP", "app.exe,1"},
    {"CLOSEUSERAPP", "app.exe"},
    {"ADDSTARTMENU", "KivrunDiff,C:\\kivdiff\\a.txt"},
    {"GETSTARTMENUDIR", "X"},
    {"SETREBOOTFLAG", "KivrunDiff"},
    {"SHELLEXECUTE", "C:\\kivdiff\\missing.txt"},
    {"SETFINALSTATUS", "0,done"},
    {"STARTPROGRESSDLG", "Title"},
    {"SETPROGRESS", "50,half"},
    {"ENDPROGRESSDLG", ""},
    {"GETPARAM", "X=key"},
    {"ISADMIN", "X"},
    {"RESETLASTUPDATE", ""},
    {"GETKIVRUNVERSION", "X"},
    {"ISPROCESSRUNNING", "X=kivrun-none.exe"},
    {"CREATESPECIALDIR", "C:\\kivdiff\\special"},
    {"DELETEONEFILE", "C:\\kivdiff\\del.txt"},
    {"COPYONEFILE", "C:\\kivdiff\\a.txt,C:\\kivdiff\\b.txt"},
    {"PROMPTREBOOT", "Restart now?"},
    {"GETTIMESTAMP", "X=GMT"},
    {"REMOVESCANEXEFROMAUTOEXEC", ""},
};

// Lines beyond the mutations: paths and keys of every shape, numbers in every form, type
// prefixes, variables that a query fills.
inline const CommandCase kExtraCases[] = {
    {"REMOVEDIRRECURSIVE C:\\", false},
    {"REMOVEDIRRECURSIVE c:/", false},
    {"REMOVEDIR C:sub", false},
    {"REMOVEDIR \\sub", false},
    {"REMOVEDIR 1:\\x", false},
    {"REMOVEDIR \\\\server\\share", false},
    {"REMOVEDIR \\\\?\\C:\\kivdiff", false},
    {"REMOVEDIRRECURSIVE %%Empty%%\\sub", false},
    {"REMOVEDIRRECURSIVE C:\\kivdiff\\..", false},
    {"CREATESPECIALDIR C:\\", false},
    {"CREATEDIR ab", false},
    {"CREATEDIR ab\\", false},
    {"CREATEDIR C:", false},
    {"CREATEDIR %%Empty%%", false},
    {"DELETEREGKEYRECURSIVE HKCU\\", false},
    {"DELETEREGKEYRECURSIVE HKCU\\ \\\\", false},
    {"DELETEREGKEY HKLM\\", false},
    {"DELETEREGVALUE HKCU\\,V", false},
    {"DELETEREGKEYRECURSIVE HKCU\\%%OldKey%%", false},
    {"DELETEREGKEYRECURSIVE hkcu\\Software\\KivrunDiff\\Gone", false},
    {"SETREGVALUE HKCU\\Software\\KivrunDiff,W=/REG_SZ:text", false},
    {"SETREGVALUE HKCU\\Software\\KivrunDiff,W=/reg_dword:0x1F", false},
    {"SETREGVALUE HKCU\\Software\\KivrunDiff,W=/DWORD:5", false},
    {"SETREGVALUE HKCU\\Software\\KivrunDiff,W=C:\\Path", false},
    {"SETREGVALUE HKCU\\Software\\KivrunDiff", false},
    {"PROGRESS 1", false},
    {"PROGRESS ,2", false},
    {"PROGRESS 0x10,-5,+3,%%Nope%%", false},
    {"SETFINALSTATUS %%Nope%%", false},
    {"SETFINALSTATUS %%Pair%%", false},
    {"COPYONEFILE %%Pair%%", false},
    {"COPYONEFILE %%Folder%%", false},
    {"KILLPROCESS %%Empty%%", false},
    {"CALL %%Next%%", false},
    {"CALL Target now", false},
    {"CALL R=Target", false},
    {"GOTOIF 1=1", false},
    {"CALLIF 1=1", false},
    {"RETURNIF 1=1", false},
    {"GETSPECIALDIR X=PROGRAMFILES", false},
    {"GETSPECIALDIR X=windows", false},
    {"GETINIFILEVALUE X=%%Pair%%", false},
    {"DELETEONEFILE C:\\kivdiff\\%%Long%%", false},
    {"SETWORKDIR %%Long%%%%Long%%", false},
    {"SET X=%%Long%%%%Long%%%%Long%%", false},
    {"SET X=%%Long%%%%Long%%%%Long%%%%Long%%%%Long%%", false},
    {"SETREGVALUE HKCU\\Software\\KivrunDiff,W=%%Long%%%%Long%%%%Long%%%%Long%%", false},
    {"FILEEXISTS X=%%Long%%%%Long%%", false},
    {"DELETEREGVALUE HKCU\\Software\\KivrunDiff,%%Long%%%%Long%%", false},
    {"ISADMIN ", false},
    {"STRIPFILENAME Nope", false},
    {"COPYFILES Nope", false},
    {"DELFILES List ; the lists", false},
    // The outcome depends on the machine's own folders.
    {"REMOVEDIRRECURSIVE C:\\Windows", true},
    {"REMOVEDIR C:\\WINDOWS\\system32\\", true},
    {"CREATESPECIALDIR C:\\Program Files", true},
    {"REMOVEDIRRECURSIVE C:\\Windows\\Temp\\kivdiff-none", true},
};

// The author's usual slips, made on a well-formed argument.
inline std::vector<std::string> Mutations(const std::string& argument) {
  std::vector<std::string> texts = {argument, "", "%%Empty%%", argument + "%%Nope%%", argument + " trailing"};
  const size_t separator = argument.find_first_of(",=");
  if (separator != std::string::npos) {
    texts.push_back(argument.substr(0, separator) + argument.substr(separator + 1));                   // missing
    texts.push_back(argument.substr(0, separator + 1) + argument.substr(separator));                   // doubled
    texts.push_back(argument.substr(0, separator) + " " + argument[separator] + " " + argument.substr(separator + 1));
    texts.push_back(argument.substr(0, separator + 1));                                                // empty field
  }
  std::string lower = argument;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower != argument) texts.push_back(lower);
  if (!argument.empty() && argument.size() < 259) texts.push_back(argument + std::string(259 - argument.size(), 'x'));
  return texts;
}

}  // namespace command_cases

// Every case: each keyword's mutations, then the extra lines.
inline std::vector<CommandCase> CommandCases() {
  std::vector<CommandCase> cases;
  for (const command_cases::Base& base : command_cases::kBases) {
    for (const std::string& argument : command_cases::Mutations(base.argument)) {
      cases.push_back({std::string(base.keyword) + (argument.empty() ? "" : " " + argument), false});
    }
  }
  for (const CommandCase& extra : command_cases::kExtraCases) cases.push_back(extra);
  return cases;
}

// Codes that tell what the machine holds (a file or INI file that is not there, a copy that
// cannot be written, a key that cannot be opened): kivcheck cannot see the machine, so a
// line it finds well formed may still end with one of these. Every other code, and every
// code kivcheck does predict, must be the run's.
inline bool IsMachineOutcome(int code) {
  static const int kCodes[] = {9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 33, 40, 47, 54};
  for (int machine : kCodes) {
    if (code == machine) return true;
  }
  return false;
}

// The code kivcheck predicts from its first error on line `line`: what it says the run
// fails with; 0 when it names no error there.
template <class Diagnostics>
int PredictedCode(const Diagnostics& diagnostics, unsigned line) {
  for (const auto& diagnostic : diagnostics) {
    if (diagnostic.line != line || diagnostic.severity != Severity::kError) continue;
    const std::string marker = "fails with ";
    const size_t at = diagnostic.message.find(marker);
    if (at == std::string::npos) continue;
    return std::atoi(diagnostic.message.c_str() + at + marker.size());
  }
  return 0;
}
