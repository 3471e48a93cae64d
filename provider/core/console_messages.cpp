// The console messages: the texts with which the console program and console
// commands run from actions put a console status into words.
#include "console_messages.h"

#include <cstdio>
#include <algorithm>

#include "trc1.h"
#include "zevp/console.h"

TRC_UNIT();

namespace {

const char* const ConsoleMessage[ZEVP_CONSOLE_MESSAGE_COUNT] = {
    /*  0 */ " ",
    /*  1 */ "Console input accepted.",
    /*  2 */ "Enter console command <Application name or Metafile name or file name>",
    /*  3 */ "Nothing entered. Please enter prompted input.",
    /*  4 */ "Interprocess communication unavailable for contacting Proxy/Gateway DataProvider.",
    /*  5 */ "Proxy/Gateway DataProvider not active on #.",
    /*  6 */ "Input console command invalid.",
    /*  7 */ "Enter Application name or Metafile name",
    /*  8 */ "Console to DP communication unsuccessful. Command not processed.",
    /*  9 */ "Console to DP communication timed out. Retry, if DP is active.",
    /* 10 */ "Console command return code #",
    /* 11 */ "Active application definitions:",
    /* 12 */ "No application defined.",
    /* 13 */ "Delete failed. Specified application not defined.",
    /* 14 */ "Delete failed. Logic error.",
    /* 15 */ "Confirm <Yes/No> to delete #",
    /* 16 */ "Delete cancelled for #",
    /* 17 */ "Delete successful.",
    /* 18 */ "DP shutdown completed.",
    /* 19 */ "DP shutdown failed, return code #",
    /* 20 */ "Import successfully completed for #",
    /* 21 */ "$already defined. Use REFRESH command to reload data definition.",
    /* 22 */ "Import failed, return code #",
    /* 23 */ "Refresh failed. Specified application not defined.",
    /* 24 */ "Refresh failed. Specification error.",
    /* 25 */ "Confirm <Yes/No> to refresh #",
    /* 26 */ "Refresh cancelled for #",
    /* 27 */ "Refresh successful.",
    /* 28 */ "$not defined.",
    /* 29 */ "Defined application specification:",
    /* 30 */ "Confirm <Yes/No> to shutdown DP",
    /* 31 */ "Shutdown command cancelled.",
    /* 32 */ "Select an active DP:",
    /* 33 */ "Invalid selection. Select a DP listed above:",
    /* 34 */ "Import failed, metafile definition error.",
    /* 35 */ "Application already known to agent.",
    /* 36 */ "Confirm <Yes/No> to accept existing data definition for #",
    /* 37 */ "Removing imported application definition...",
    /* 38 */ "Import cancelled.",
    /* 39 */ "Removing refreshed application definition...",
    /* 40 */ "Refresh cancelled.",
    /* 41 */ "Command in progress ...",
    /* 42 */ "Command rejected. Console command is still in progress. Active command is #",
    /* 43 */ "Command failed. Metafile not found.",
    /* 44 */ "Load SNMP traps configuration command rejected by Non-SNMP DP.",
    /* 45 */ "Load SNMP traps configuration command successful.",
    /* 46 */ "Load SNMP traps configuration command failed.",
    /* 47 */ "Command failed. SNMP trap configuration file not found.",
    /* 48 */ "Target DP set to #",
    /* 49 */ "Enter target DP name",
    /* 50 */ "SNMP application definition incomplete. Application registration bypassed by Non-SNMP DP.",
    /* 51 */ "Load SNMP agent community name command rejected by Non-SNMP DP.",
    /* 52 */ "Load SNMP agent community name command successful.",
    /* 53 */ "Load SNMP agent community name command failed.",
    /* 54 */ "Load SNMP network name command rejected by Non-SNMP DP.",
    /* 55 */ "Load SNMP network name command successful.",
    /* 56 */ "Load SNMP network name command failed.",
    /* 57 */ "Load SNMP managed node list command rejected by Non-SNMP DP.",
    /* 58 */ "Load SNMP managed node list command successful.",
    /* 59 */ "Load SNMP managed node list command failed.",
    /* 60 */ "Load SNMP managed node list file not found.",
    /* 61 */ "Enter list file name",
    /* 62 */ "Enter metafile file name",
    /* 63 */ "Command not supported for packaged product configuration.",
    /* 64 */ "Receive buffer too small for console reply data.",
    /* 65 */ " ",
};

}  // namespace

namespace zevp {

const char* ConsoleMessageTemplate(int index) {
  return index >= 0 && index < ZEVP_CONSOLE_MESSAGE_COUNT ? ConsoleMessage[index] : nullptr;
}

std::string ConsoleMessageText(int index, const char* insert) {
  const char* text = ConsoleMessageTemplate(index);
  if (text == nullptr) return std::string();
  std::string message(text);
  if (insert == nullptr) return message;
  std::string inserted(insert);
  if (message[0] == '$') {
    // The insert goes in front; the text's own '$' becomes the blank between.
    message = inserted + " " + message.substr(1);
  } else if (size_t mark = message.find('#'); mark != std::string::npos) {
    // Written over the '#' and what follows it, as far as the insert reaches.
    message.replace(mark, std::min(inserted.size(), message.size() - mark), inserted);
  }
  if (message.size() > ZEVP_CONSOLE_MESSAGE_MAX) message.resize(ZEVP_CONSOLE_MESSAGE_MAX);
  return message;
}

}  // namespace zevp

void ZEVP_ShowConsoleMessage(int index, const char* insert) {
  if (zevp::ConsoleMessageTemplate(index) == nullptr) {
    TRC(TRC_ERROR, "***** Console message %d not defined", index);
    return;
  }
  std::printf("%s\n", zevp::ConsoleMessageText(index, insert).c_str());
  std::fflush(stdout);
}
