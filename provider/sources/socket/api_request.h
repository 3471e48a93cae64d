// An API request as the API server reads it: the eye-catcher, the six-character
// verb and the operands (docs/socket-input.md), and the statuses it is answered with.
#pragma once

#include <cstdint>
#include <string>

struct SourceEntry;

constexpr char ZEVP_API_EYE_CATCHER[] = "ZEVPAPI300";
constexpr int ZEVP_API_EYE_CATCHER_LENGTH = 10;
constexpr int ZEVP_API_VERB_LENGTH = 6;
constexpr int ZEVP_API_HEADER_LENGTH = ZEVP_API_EYE_CATCHER_LENGTH + ZEVP_API_VERB_LENGTH;

// Verb indexes, the positions in the verb table.
enum ZEVP_APIverb : int32_t {
  ZEVP_VERB_NONE = 0,
  ZEVP_VERB_BGNINP = 1,
  ZEVP_VERB_ENDINP = 2,
  ZEVP_VERB_BGNROW = 3,
  ZEVP_VERB_ENDROW = 4,
  ZEVP_VERB_SNDDTA = 5,
  ZEVP_VERB_ACCREQ = 6,
  ZEVP_VERB_RCVREQ = 7,
  ZEVP_VERB_RESULT = 8,
  ZEVP_VERB_SETSRC = 9,
};

// Statuses of the API server's replies (0 is success).
enum ZEVP_APIstatus : int {
  ZEVP_API_DONE = 0,
  ZEVP_API_SEQUENCE_ERROR = 13,  // the verb is not valid in the source's state
  ZEVP_API_NAME_REFUSED = 39,    // SETSRC: the source name was not taken
  ZEVP_API_NO_APPLICATION = 51,
  ZEVP_API_NO_GROUP = 52,
  ZEVP_API_NO_SOURCE = 53,
  ZEVP_API_ONLINE_FAILED = 54,
  ZEVP_API_OFFLINE_FAILED = 58,
  ZEVP_API_UNKNOWN_ACTION = 85,
  ZEVP_API_WRONG_VERSION = 90,
  ZEVP_API_DATA_FAILED = 92,
  ZEVP_API_BAD_RESULT = 93,
  ZEVP_API_WRONG_STATE = 94,
};

// The longest source name SETSRC takes: the agent's subnode name part.
constexpr int ZEVP_API_SOURCE_NAME_MAX = 32;

// 1 when the request begins with the eye-catcher, else 0.
int ZEVP_ValidateAPIversion(const char* request, int length);

// What a session that is not associated yet (a new connection, or one after its
// ENDINP) answers a request it does not take: 90 for a wrong eye-catcher, 13 for a
// verb other than BGNINP, ACCREQ and SETSRC; 0 for a request it takes.
int ZEVP_UnassociatedRequestRefusal(const char* request, int length);
// The operands of a request: what follows the verb (empty for a request of the header alone).
std::string ZEVP_APIoperands(const char* request, int length);

// ACCREQ: "enable;wait". Enable 1 accepts action requests and takes the wait in
// seconds (0 is 60, a negative one -1); any other enable refuses them (wait -1).
void ZEVP_SetAcceptRequestOptions(SourceEntry* source, const std::string& operands);

// SETSRC: the first blank-delimited word becomes the source's node name. 0 when it
// is missing or longer than ZEVP_API_SOURCE_NAME_MAX, the name then unchanged.
int ZEVP_SaveAPIsourceName(SourceEntry* source, const std::string& operands);

// RESULT: "ID;text". False when the operands do not begin with a decimal ID; else
// the ID and the text after the first ';' (hasText false when there is no ';').
bool ZEVP_ParseAPIresult(const std::string& operands, int32_t* actionID, std::string* text, bool* hasText);
