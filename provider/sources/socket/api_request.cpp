#include "api_request.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "action_hand_over.h"
#include "source_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int32_t kDefaultResultWait = 60;

// The operand up to the first ';' (or the end), and what follows that ';'.
std::string firstField(const std::string& text, std::string* rest) {
  size_t semicolon = text.find(';');
  if (rest != nullptr) *rest = semicolon == std::string::npos ? std::string() : text.substr(semicolon + 1);
  return text.substr(0, semicolon);
}

}  // namespace

int ZEVP_ValidateAPIversion(const char* request, int length) {
  return length >= ZEVP_API_EYE_CATCHER_LENGTH &&
                 std::memcmp(request, ZEVP_API_EYE_CATCHER, ZEVP_API_EYE_CATCHER_LENGTH) == 0
             ? 1
             : 0;
}

int ZEVP_UnassociatedRequestRefusal(const char* request, int length) {
  if (!ZEVP_ValidateAPIversion(request, length)) {
    TRC(TRC_ERROR, "*** API request rejected, incorrect version");
    return ZEVP_API_WRONG_VERSION;
  }
  switch (ZEVP_ExtractAPIcallType(request, length)) {
    case ZEVP_VERB_BGNINP:
    case ZEVP_VERB_ACCREQ:
    case ZEVP_VERB_SETSRC:
      return ZEVP_API_DONE;
    default:
      TRC(TRC_ERROR, "*** API request rejected, sequence error");
      return ZEVP_API_SEQUENCE_ERROR;
  }
}

std::string ZEVP_APIoperands(const char* request, int length) {
  if (request == nullptr || length <= ZEVP_API_HEADER_LENGTH) return {};
  return std::string(request + ZEVP_API_HEADER_LENGTH, static_cast<size_t>(length - ZEVP_API_HEADER_LENGTH));
}

void ZEVP_SetAcceptRequestOptions(SourceEntry* source, const std::string& operands) {
  std::string rest;
  std::string enable = firstField(operands, &rest);
  bool present = operands.find(';') != std::string::npos || !enable.empty();
  if (present) source->AcceptActionRequests = std::atoi(enable.c_str()) == 1 ? 1 : 0;
  if (source->AcceptActionRequests == 0) {
    source->ActionResultWait = -1;
  } else {
    if (operands.find(';') != std::string::npos) source->ActionResultWait = std::atoi(firstField(rest, nullptr).c_str());
    if (source->ActionResultWait == 0) source->ActionResultWait = kDefaultResultWait;
    if (source->ActionResultWait < 0) source->ActionResultWait = -1;
  }
  TRC(TRC_DETAIL, "Accept requests %d, result wait %d", source->AcceptActionRequests, source->ActionResultWait);
}

int ZEVP_SaveAPIsourceName(SourceEntry* source, const std::string& operands) {
  size_t start = operands.find_first_not_of(' ');
  std::string word = start == std::string::npos ? std::string() : operands.substr(start, operands.find(' ', start) - start);
  if (word.empty() || word.size() > ZEVP_API_SOURCE_NAME_MAX || word.find('\0') != std::string::npos) {
    TRC(TRC_ERROR, "***** Input API data invalid <%s>", operands.c_str());
    return 0;
  }
  auto* name = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(word.size() + 1)));
  if (name == nullptr) return 0;
  std::memcpy(name, word.c_str(), word.size() + 1);
  BSV1_GetLock(&source->DataLock);
  TRC(TRC_DETAIL, "API source name changed from {%s} to {%s}",
      source->pSourceNodeName != nullptr ? source->pSourceNodeName : "", name);
  ZEV0_FreeStorage(&source->pSourceNodeName);
  source->pSourceNodeName = name;
  source->SourceNodeNameLength = static_cast<int32_t>(word.size());
  BSV1_ReleaseLock(&source->DataLock);
  return 1;
}

bool ZEVP_ParseAPIresult(const std::string& operands, int32_t* actionID, std::string* text, bool* hasText) {
  std::string id = firstField(operands, text);
  if (id.empty() || !std::isdigit(static_cast<unsigned char>(id[0]))) return false;
  *actionID = static_cast<int32_t>(std::atol(id.c_str()));
  *hasText = operands.find(';') != std::string::npos;
  return true;
}
