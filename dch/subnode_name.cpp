// Subnode names: "source:applRR", under which the agent registers one source of one table
// with the framework, and their parsing back into source name and application key.
//
// The names come from the framework and from data providers, so every copy is bounded and
// a name longer than its buffer is refused with the error result.
#include <cstdio>
#include <cstring>

#include "dch/channel_functions.h"
#include "dch/dch_protocol.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr int kMaxApplName = static_cast<int>(DCH_MAX_APPL_NAME);
constexpr int kMaxAttrGroup = static_cast<int>(DCH_MAX_ATTR_GROUP);
constexpr int kMaxSourceName = static_cast<int>(DCH_MAX_SOURCE_NAME);
constexpr int kMaxRR = 2;
constexpr int kMaxSubnodeName = static_cast<int>(DCH_MAX_SUBNODE);
// Source, ':', application, attribute group and RR.
constexpr int kMaxUntouchedName = 68;

// The last source name parsed (ZEVA_GetSrcNameFromSubNodeName hands it out).
char sourceNameBuffer[kMaxSourceName + 1];

// Length of text, or limit + 1 when it is longer than limit (reads at most limit + 1 bytes).
int boundedLength(const char* text, int limit) { return static_cast<int>(strnlen(text, limit + 1)); }

bool namesPresent(const char* applName, const char* attrGroup, const char* sourceName, const char* RR,
                  const char* subnodeName) {
  if (applName && attrGroup && sourceName && RR && subnodeName) return true;
  TRC(TRC_ERROR, "Error: applName/attrGroup/sourceName/RR/subnodeName were NULL");
  return false;
}

// Writes "source:applGroupRR"; false when it would not fit.
bool buildUntouchedName(const char* applName, const char* attrGroup, const char* sourceName, const char* RR,
                        char* subnodeNameUntouched) {
  int sourceLength = static_cast<int>(strlen(sourceName));
  int applLength = static_cast<int>(strlen(applName));
  int groupLength = static_cast<int>(strlen(attrGroup));
  int rrLength = static_cast<int>(strlen(RR));
  if (sourceLength + applLength + groupLength + rrLength + 2 > kMaxUntouchedName + 1) {
    TRC(TRC_ERROR, "Error: Length ([%d] + [%d] +[%d] +[%d])", sourceLength, applLength, groupLength, rrLength);
    return false;
  }
  snprintf(subnodeNameUntouched, kMaxUntouchedName + 2, "%s:%s%s%s", sourceName, applName, attrGroup,
           RR);
  return true;
}

// The text before the first ':' of name (leading ':' skipped), copied into work; null when
// the name is too long for work or holds nothing but ':'. The standard re-entrant tokenizer
// is used on the private copy: the per-thread one would keep its slot after a single token.
char* firstToken(const char* name, char* work, int workSize, char** rest) {
  if (boundedLength(name, workSize - 1) > workSize - 1) {
    TRC(TRC_ERROR, "Error: subnodeName longer than %d characters: <%.*s...>", workSize - 1, workSize - 1, name);
    return nullptr;
  }
  snprintf(work, workSize, "%s", name);
  char* token = strtok_r(work, ":", rest);
  if (token == nullptr) TRC(TRC_ERROR, "Error: could not find ':' token in <%s>", name);
  return token;
}

}  // namespace

int ZEVA_SetSubnodeName(const char* applName, const char* attrGroup, const char* sourceName, const char* RR,
                        char* subnodeName, char* subnodeNameUntouched) {
  if (!namesPresent(applName, attrGroup, sourceName, RR, subnodeName)) return 1;
  int applLength = boundedLength(applName, kMaxApplName);
  int groupLength = boundedLength(attrGroup, kMaxAttrGroup);
  int sourceLength = boundedLength(sourceName, kMaxSourceName);
  int rrLength = boundedLength(RR, kMaxRR);
  if (applLength > kMaxApplName || groupLength > kMaxAttrGroup || sourceLength > kMaxSourceName ||
      rrLength > kMaxRR) {
    TRC(TRC_ERROR, "Error: max length exceeded: applName[%d] attrGroup[%d] sourceName[%d] RR[%d]", applLength,
        groupLength, sourceLength, rrLength);
    return 1;
  }
  if (subnodeNameUntouched != nullptr &&
      !buildUntouchedName(applName, attrGroup, sourceName, RR, subnodeNameUntouched))
    return 1;
  // The source name gives way; two characters are kept for RR whatever its length.
  int overflow = sourceLength + applLength + 1 + kMaxRR - kMaxSubnodeName;
  int keptSource = overflow > 0 ? sourceLength - overflow : sourceLength;
  snprintf(subnodeName, kMaxSubnodeName + 1, "%.*s:%s%s", keptSource, sourceName, applName, RR);
  return 0;
}

char* ZEVA_GetSrcNameFromSubNodeName(const char* subnodeName) {
  if (subnodeName == nullptr) {
    TRC(TRC_ERROR, "Error: subnodeName was NULL.");
    return nullptr;
  }
  if (strchr(subnodeName, ':') == nullptr) {
    TRC(TRC_ERROR, "Error: could not determine sourceName from<%s>", subnodeName);
    return nullptr;
  }
  char work[kMaxUntouchedName + 3];
  char* rest = nullptr;
  char* token = firstToken(subnodeName, work, sizeof work, &rest);
  if (token == nullptr) return nullptr;
  if (boundedLength(token, kMaxSourceName) > kMaxSourceName) {
    TRC(TRC_ERROR, "Error: sourceName longer than %d characters in <%s>", kMaxSourceName, subnodeName);
    return nullptr;
  }
  snprintf(sourceNameBuffer, sizeof sourceNameBuffer, "%s", token);
  return sourceNameBuffer;
}

int ZEVA_GetApplKeyFromSubNodeName(const char* subnodeName, char* applKey) {
  if (subnodeName == nullptr || applKey == nullptr) {
    TRC(TRC_ERROR, "Error: subnodeName was NULL.");
    return 1;
  }
  if (strchr(subnodeName, ':') == nullptr) {
    TRC(TRC_ERROR, "Error: could not determine sourceName from[%s]", subnodeName);
    return 1;
  }
  char work[kMaxSubnodeName + 1];
  char* rest = nullptr;
  if (firstToken(subnodeName, work, sizeof work, &rest) == nullptr) return 1;
  const char* afterSource = strtok_r(nullptr, "\n", &rest);
  if (afterSource == nullptr) {
    TRC(TRC_ERROR, "Error: parsing [%s]", subnodeName);
    return 1;
  }
  snprintf(applKey, 4, "%.3s", afterSource);
  return 0;
}
