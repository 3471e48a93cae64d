#include "action_opt_log.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "dch/channel_functions.h"
#include "raf.h"
#include "trc1.h"

TRC_UNIT();

namespace {

struct textColumn {
  int offset;
  int width;
};

constexpr textColumn kOwner{32 + 16, 64};
constexpr textColumn kNode{kOwner.offset + kOwner.width, 32};
constexpr textColumn kName{kNode.offset + kNode.width, 256};
constexpr textColumn kParms{kName.offset + kName.width, 1024};
constexpr textColumn kStatus{kParms.offset + kParms.width, 64};
constexpr textColumn kResult{kStatus.offset + kStatus.width, 256};
constexpr int kIDOffset = kResult.offset + kResult.width;
static_assert(kIDOffset + 4 == kActionLogRowSize, "the action log's columns fill its row");

// A result is written when it starts within this many characters.
constexpr int kResultLead = 32;

// The column's text up to its first blank (or NUL), never past the column.
std::string firstWord(const char* row, textColumn column) {
  const char* text = row + column.offset;
  size_t length = 0;
  while (length < static_cast<size_t>(column.width) && text[length] != ' ' && text[length] != '\0') ++length;
  return std::string(text, length);
}

// The result from its first non-blank character to the end of its column (or a NUL);
// empty when the first kResultLead characters are blank.
std::string resultText(const char* row) {
  const char* text = row + kResult.offset;
  int start = 0;
  while (start < kResultLead && text[start] == ' ') ++start;
  if (start == kResultLead) return {};
  return std::string(text + start, strnlen(text + start, static_cast<size_t>(kResult.width - start)));
}

void insertLog(const std::string& text) {
  if (DV_Debug() == 1) TRC(TRC_DETAIL, "PXRAF_insert_log <%s>", text.c_str());
  PXRAF_insert_log("DVACTION", text.c_str(), "DV");
}

}  // namespace

void processOptLog(const char* row, int rowSize) {
  if (row == nullptr) {
    TRC(TRC_ERROR, "Error: data was NULL.");
    return;
  }
  if (rowSize < kActionLogRowSize) {
    TRC(TRC_ERROR, "Error: action log row of %d bytes is shorter than its layout of %d bytes.", rowSize,
        kActionLogRowSize);
    return;
  }
  int32_t actionID;
  std::memcpy(&actionID, row + kIDOffset, sizeof actionID);
  char IDText[16];
  std::snprintf(IDText, sizeof IDText, "%ld", static_cast<long>(actionID));
  insertLog(std::string(IDText) + " " + firstWord(row, kOwner) + " " + firstWord(row, kNode) + " STATUS=" +
            firstWord(row, kStatus) + " " + firstWord(row, kName) + " " + firstWord(row, kParms));
  std::string result = resultText(row);
  if (!result.empty()) insertLog(std::string(IDText) + " " + result);
}
