// The console messages by index (texts of the console program and of console
// commands run from actions): '#' marks the place of an insert, a text that begins
// with '$' takes the insert in front.
#pragma once

#include <string>

constexpr int ZEVP_CONSOLE_MESSAGE_COUNT = 66;
// The longest message with its insert: what a 256-byte buffer holds.
constexpr size_t ZEVP_CONSOLE_MESSAGE_MAX = 255;

// Console message indexes that the data provider itself uses.
enum ZEVP_ConsoleMessageIndex : int {
  ZEVP_CMSG_INVALID_COMMAND = 6,
  ZEVP_CMSG_NOT_PROCESSED = 8,
  ZEVP_CMSG_DELETE_NOT_DEFINED = 13,
  ZEVP_CMSG_DELETE_DONE = 17,
  ZEVP_CMSG_SHUTDOWN_DONE = 18,
  ZEVP_CMSG_IMPORT_DONE = 20,
  ZEVP_CMSG_ALREADY_DEFINED = 21,
  ZEVP_CMSG_REFRESH_NOT_DEFINED = 23,
  ZEVP_CMSG_REFRESH_SPECIFICATION_ERROR = 24,
  ZEVP_CMSG_REFRESH_DONE = 27,
  ZEVP_CMSG_IMPORT_DEFINITION_ERROR = 34,
  ZEVP_CMSG_KNOWN_TO_AGENT = 35,
  ZEVP_CMSG_METAFILE_NOT_FOUND = 43,
  ZEVP_CMSG_TRAPS_REJECTED = 44,
  ZEVP_CMSG_TRAPS_DONE = 45,
  ZEVP_CMSG_SNMP_DEFINITION = 50,
  ZEVP_CMSG_COMMUNITY_REJECTED = 51,
  ZEVP_CMSG_COMMUNITY_DONE = 52,
  ZEVP_CMSG_NETWORK_NAME_REJECTED = 54,
  ZEVP_CMSG_NETWORK_NAME_DONE = 55,
  ZEVP_CMSG_NODE_LIST_REJECTED = 57,
  ZEVP_CMSG_NODE_LIST_DONE = 58,
  ZEVP_CMSG_NODE_LIST_NOT_FOUND = 60,
};

namespace zevp {

// The text of an index, or null outside the table.
const char* ConsoleMessageTemplate(int index);

// The message with its insert (null: the text unchanged): a '$' text gets the
// insert in front and the '$' as a blank; in another the insert is written over the
// first '#' and the characters behind it, as many as it is long. At most
// ZEVP_CONSOLE_MESSAGE_MAX characters. Empty outside the table.
std::string ConsoleMessageText(int index, const char* insert);

}  // namespace zevp
