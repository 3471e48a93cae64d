// Carrying out one console command on the console service's thread: its status,
// the text that follows the status in the reply, and SHOW's segments.
#pragma once

#include <cstdint>
#include <string>

#include "process_entry.h"
#include "show_reply.h"

struct ApplicationEntry;
struct DPAB;

// The DP log messages of the console.
enum ZEVP_ConsoleLogMessage : int32_t {
  ZEVP_DPLOG_DP_READY = 0,
  ZEVP_DPLOG_CONSOLE_ACTIVE = 2,
  ZEVP_DPLOG_DELETE_RECEIVED = 6,         // the argument
  ZEVP_DPLOG_NOT_DEFINED = 9,             // the argument
  ZEVP_DPLOG_IMPORT_RECEIVED = 11,        // the argument
  ZEVP_DPLOG_KNOWN_TO_AGENT = 12,         // the application name
  ZEVP_DPLOG_REFRESH_RECEIVED = 13,       // the argument
  ZEVP_DPLOG_DEFINITION_ACCEPTED = 15,    // the application name
  ZEVP_DPLOG_API_DEFINE_RECEIVED = 27,    // the argument
  ZEVP_DPLOG_API_REDEFINE_RECEIVED = 28,  // the argument
};

namespace zevp {

struct ConsoleContext {
  DPAB* anchor;
  ZEVP_ProcessRoutine typeRoutine;  // see ZEVP_ConsoleService
  int32_t receivingType;            // the type of the port the command came on; 0 the API port
  uint16_t consolePort;             // host byte order
};

struct ConsoleOutcome {
  int32_t status = 0;  // ZEVP_ConsoleStatus
  std::string text;    // behind the status and its blank
  ShowReply show;      // SHOW of a loaded application
};

// The verb (ZEVP_ConsoleVerb) with its argument (empty when none was given).
ConsoleOutcome RunConsoleCommand(const ConsoleContext& context, int32_t verb, const std::string& argument);

// The loaded application that a command's name designates: by the name itself, and
// for a name without a directory also by its full name in the metafile directory.
// Null for an empty name or one longer than ZEVP_CONSOLE_NAME_MAX.
ApplicationEntry* LookUpConsoleApplication(DPAB* anchor, const std::string& name);

// The verbs that change the loaded applications (console_definitions.cpp).
ConsoleOutcome DeleteApplication(const ConsoleContext& context, const std::string& name);
ConsoleOutcome ImportApplication(const ConsoleContext& context, const std::string& name);
ConsoleOutcome RefreshApplication(const ConsoleContext& context, const std::string& name);
ConsoleOutcome AcceptApplication(const ConsoleContext& context, const std::string& name);

}  // namespace zevp
