#include "engine/keywords.h"

#include <cstring>

const KeywordRow KeywordTable[80] = {
    {"CALL", kOpCall},
    {"CONTINUEIF", kOpContinueIf},
    {"FINDREGKEY", kOpFindRegKey},
    {"GETREGVALUE", kOpGetRegValue},
    {"SETREGVALUE", kOpSetRegValue},
    {"GETINIFILEVALUE", kOpGetIniFileValue},
    {"SETINIFILEVALUE", kOpSetIniFileValue},
    {"DELETEINIFILESECTION", kOpDeleteIniFileSection},
    {"SETWORKDIR", kOpSetWorkDir},
    {"RETURN", kOpReturn},
    {"RETURNIF", kOpReturnIf},
    {"SET", kOpSet},
    {"GETFILEVERSION", kOpGetFileVersion},
    {"COPYFILEAS", kOpCopyFileAs},
    {"CLOSEAPP", kOpCloseApp},
    {"RUN", kOpRun},
    {"RUNWAIT", kOpRunWait},
    {"RUNHIDE", kOpRunHide},
    {"STOPSERVICE", kOpStopService},
    {"STARTSERVICE", kOpStartService},
    {"CANALLFILESBECOPIED", kOpCanAllFilesBeCopied},
    {"CREATEREGKEY", kOpCreateRegKey},
    {"DELETEREGVALUE", kOpDeleteRegValue},
    {"DELETEREGKEY", kOpDeleteRegKey},
    {"DELETEEMPTYREGKEY", kOpDeleteEmptyRegKey},
    {"ISREGKEYEMPTY", kOpIsRegKeyEmpty},
    {"DELETEREGKEYRECURSIVE", kOpDeleteRegKeyRecursive},
    {"FINDREGVALUE", kOpFindRegValue},
    {"ISAPPRUNNING", kOpIsAppRunning},
    {"ISSERVICERUNNING", kOpIsServiceRunning},
    {"GETOSTYPE", kOpGetOsType},
    {"GETOSVERSION", kOpGetOsVersion},
    {"GETWINDOWSDIR", kOpGetWindowsDir},
    {"GETSPECIALDIR", kOpGetSpecialDir},
    {"STRIPFILENAME", kOpStripFileName},
    {"FILEEXISTS", kOpFileExists},
    {"ISCURRENTFILEOLDER", kOpIsCurrentFileOlder},
    {"FINDINIFILEVALUE", kOpFindIniFileValue},
    {"ISFILELOCKED", kOpIsFileLocked},
    {"GETPROCESSORTYPE", kOpGetProcessorType},
    {"WAITFORTIME", kOpWaitForTime},
    {"WAITTILLUNLOCKED", kOpWaitTillUnlocked},
    {"CREATEDIR", kOpCreateDir},
    {"REMOVEDIR", kOpRemoveDir},
    {"REMOVEDIRRECURSIVE", kOpRemoveDirRecursive},
    {"COPYFILES", kOpCopyFiles},
    {"DELFILES", kOpDelFiles},
    {"FILECIO", kOpFileCio},
    {"FILECOW", kOpFileCow},
    {"SHOWMSG", kOpShowMsg},
    {"GOTOIF", kOpGotoIf},
    {"CALLIF", kOpCallIf},
    {"PROGRESS", kOpProgress},
    {"INSTALLCAB", kOpInstallCab},
    {"WAITFORWINDOWCLOSE", kOpWaitForWindowClose},
    {"EXTENDPATH", kOpExtendPath},
    {"YESNO", kOpYesNo},
    {"KILLPROCESS", kOpKillProcess},
    {"STARTUSERAPP", kOpStartUserApp},
    {"CLOSEUSERAPP", kOpCloseUserApp},
    {"ADDSTARTMENU", kOpAddStartMenu},
    {"GETSTARTMENUDIR", kOpGetStartMenuDir},
    {"SETREBOOTFLAG", kOpSetRebootFlag},
    {"SHELLEXECUTE", kOpShellExecute},
    {"SETFINALSTATUS", kOpSetFinalStatus},
    {"STARTPROGRESSDLG", kOpStartProgressDlg},
    {"SETPROGRESS", kOpSetProgress},
    {"ENDPROGRESSDLG", kOpEndProgressDlg},
    {"GETPARAM", kOpGetParam},
    {"ISADMIN", kOpIsAdmin},
    {"RESETLASTUPDATE", kOpResetLastUpdate},
    {"GETKIVRUNVERSION", kOpGetKivrunVersion},
    {"ISPROCESSRUNNING", kOpIsProcessRunning},
    {"CREATESPECIALDIR", kOpCreateSpecialDir},
    {"DELETEONEFILE", kOpDeleteOneFile},
    {"COPYONEFILE", kOpCopyOneFile},
    {"PROMPTREBOOT", kOpPromptReboot},
    {"GETTIMESTAMP", kOpGetTimeStamp},
    {"REMOVESCANEXEFROMAUTOEXEC", kOpRemoveScanExeFromAutoexec},
    {nullptr, kOpNone},
};

namespace {

// Rows grouped by first letter, each group in walking order, so a lookup compares only
// the keywords that can match; the first equal row wins as in a walk of the whole table.
struct KeywordIndex {
  const KeywordRow* rows[26][16];
  int counts[26];
};

KeywordIndex BuildIndex() {
  KeywordIndex index = {};
  for (const KeywordRow* row = KeywordTable; row->keyword != nullptr; ++row) {
    int letter = row->keyword[0] - 'A';
    if (index.counts[letter] < 16) index.rows[letter][index.counts[letter]++] = row;
  }
  return index;
}

}  // namespace

int LookupKeyword(const char* upperWord) {
  static const KeywordIndex index = BuildIndex();
  char first = upperWord[0];
  if (first < 'A' || first > 'Z') return kOpNone;
  int letter = first - 'A';
  for (int i = 0; i < index.counts[letter]; ++i) {
    if (std::strcmp(index.rows[letter][i]->keyword, upperWord) == 0) return index.rows[letter][i]->opcode;
  }
  return kOpNone;
}
