#include <algorithm>
#include <cstdio>
#include <cstring>

#include "api_trace.h"
#include "zevpapi/dp_api.h"

// Indexed by status code.
const char* const API_Message[101] = {
    /*   0 */ "ZEVPA00I Function completed successfully",
    /*   1 */ "ZEVPA01E Input handle is invalid",
    /*   2 */ "ZEVPA02E Input parameter is invalid #",
    /*   3 */ "ZEVPA03E Required input parameter not specified",
    /*   4 */ "ZEVPA04E Startup configuration error",
    /*   5 */ "ZEVPA05E Unsupported startup configuration specified",
    /*   6 */ "ZEVPA06E Unable to obtain main control block storage",
    /*   7 */ "ZEVPA07E Unable to obtain data transport buffer storage",
    /*   8 */ "ZEVPA08E Local machine host name cannot be resolved to ip address",
    /*   9 */ "ZEVPA09E Local Winsock/RPC initialization failed, errno #",
    /*  10 */ "ZEVPA10W DP API server inactive",
    /*  11 */ "ZEVPA11E API request timed out",
    /*  12 */ "ZEVPA12E Unable to obtain API handle storage",
    /*  13 */ "ZEVPA13E API request logic sequence error",
    /*  14 */ "ZEVPA14E Required input parameter not specified",
    /*  15 */ "ZEVPA15 ",
    /*  16 */ "ZEVPA16 ",
    /*  17 */ "ZEVPA17 ",
    /*  18 */ "ZEVPA18 ",
    /*  19 */ "ZEVPA19 ",
    /*  20 */ "ZEVPA20E dp_ShowMessage no message id specified",
    /*  21 */ "ZEVPA21I dp_Ping successful",
    /*  22 */ "ZEVPA22I dp_Ping failed",
    /*  23 */ "ZEVPA23E dp_Ping DP API server error #",
    /*  24 */ "ZEVPA24E dp_OpenSession input handle contains active connection",
    /*  25 */ "ZEVPA25E dp_openSession connection to target API server failed",
    /*  26 */ "ZEVPA26 ",
    /*  27 */ "ZEVPA27 ",
    /*  28 */ "ZEVPA28 ",
    /*  29 */ "ZEVPA29 ",
    /*  30 */ "ZEVPA30W dp_Define application already defined to DP",
    /*  31 */ "ZEVPA31E dp_Define metafile not found",
    /*  32 */ "ZEVPA32E dp_Define metafile specification error",
    /*  33 */ "ZEVPA33W dp_define application already known to agent or in use by another DP",
    /*  34 */ "ZEVPA34E dp_Redefine application currently not defined",
    /*  35 */ "ZEVPA35E dp_Redefine metafile not found",
    /*  36 */ "ZEVPA36E dp_Redefine metafile specification error",
    /*  37 */ "ZEVPA37W dp_Redefine application already known to agent or in use by another DP",
    /*  38 */ "ZEVPA38E dp_SetSourceName input name missing or invalid",
    /*  39 */ "ZEVPA39E dp_SetSourceName input name processing failed",
    /*  40 */ "ZEVPA40E Input buffer pointer is invalid",
    /*  41 */ "ZEVPA41E Input buffer was not allocated to the active handle provided",
    /*  42 */ "ZEVPA42E Input buffer storage was not allocated by dp_AllocateBuffer API",
    /*  43 */ "ZEVPA43E dp_AllocateBuffer input parameter is invalid",
    /*  44 */ "ZEVPA44E dp_AllocateBuffer failed because of insufficient storage",
    /*  45 */ "ZEVPA45W dp_FormatBufferData detects no input data. Nothing formatted",
    /*  46 */ "ZEVPA46E dp_FormatBufferData input data size is invalid",
    /*  47 */ "ZEVPA47E dp_FormatBufferData insufficient room remains in buffer to contain formatted input data",
    /*  48 */ "ZEVPA48 ",
    /*  49 */ "ZEVPA49 ",
    /*  50 */ "ZEVPA50E dp_BeginInput requires application name and attribute group parameter specifications",
    /*  51 */ "ZEVPA51E dp_BeginInput specified application not found",
    /*  52 */ "ZEVPA52E dp_BeginInput specified attribute group not found",
    /*  53 */ "ZEVPA53E dp_BeginInput API server application initialization unsuccessful",
    /*  54 */ "ZEVPA54E dp_BeginInput API server application registration with DCH unsuccessful",
    /*  55 */ "ZEVPA55E dp_EndInput rejected. dp_BeginInput not performed or dp_EndInput already completed",
    /*  56 */
    ("ZEVPA56E Ambiguous dp_EndInput rejected. More than one active dp_BeginInput outstanding without sufficient "
     "qualifying input parameter"),
    /*  57 */ "ZEVPA57W dp_EndInput specified application is not active. dp_BeginInput was not performed",
    /*  58 */ "ZEVPA58E dp_EndInput API server application unregistration with DCH unsuccessful",
    /*  59 */ "ZEVPA59 ",
    /*  60 */ "ZEVPA60 ",
    /*  61 */ "ZEVPA61 ",
    /*  62 */ "ZEVPA62 ",
    /*  63 */ "ZEVPA63 ",
    /*  64 */ "ZEVPA64 ",
    /*  65 */ "ZEVPA65 ",
    /*  66 */ "ZEVPA66 ",
    /*  67 */ "ZEVPA67 ",
    /*  68 */ "ZEVPA68 ",
    /*  69 */ "ZEVPA69 ",
    /*  70 */ "ZEVPA70E dp_Input application inactive",
    /*  71 */
    "ZEVPA71I None or more than one active application outstanding. API target is ambiguous without qualification",
    /*  72 */ "ZEVPA72E dp_Input data transfer I/O error",
    /*  73 */ "ZEVPA73E dp_Input input buffer contains no data",
    /*  74 */ "ZEVPA74E dp_Input input buffer is invalid",
    /*  75 */ "ZEVPA75E dp_Input local transport setup unsuccessful",
    /*  76 */ "ZEVPA76 ",
    /*  77 */ "ZEVPA77 ",
    /*  78 */ "ZEVPA78 ",
    /*  79 */ "ZEVPA79 ",
    /*  80 */ "ZEVPA80I dp_RecvReply no data available to receive",
    /*  81 */ "ZEVPA81E dp_ReceiveRequest input buffer size invalid.",
    /*  82 */ "ZEVPA82I dp_ReceiveRequest no activity request outstanding.",
    /*  83 */ "ZEVPA83W dp_ReceiveRequest received request data truncated to input buffer size.",
    /*  84 */ "ZEVPA84W dp_SendRequestResult data truncated to supported maximum.",
    /*  85 */ "ZEVPA85W dp_SendRequestResult request not found or no longer outstanding.",
    /*  86 */ "ZEVPA86 ",
    /*  87 */ "ZEVPA87 ",
    /*  88 */ "ZEVPA88 ",
    /*  89 */ "ZEVPA89 ",
    /*  90 */ "ZEVPA90E DP client API is incompatible and unsupported by the active DP API server",
    /*  91 */ "ZEVPA91E DP server unable to allocate source control block storage",
    /*  92 */ "ZEVPA92E DP server unable to send application data to DCH, input data discarded",
    /*  93 */ "ZEVPA93E DP server detected data field format error in input data record",
    /*  94 */ "ZEVPA94E DP server detected processing state logic error",
    /*  95 */ "ZEVPA95 ",
    /*  96 */ "ZEVPA96 ",
    /*  97 */ "ZEVPA97 ",
    /*  98 */ "ZEVPA98 ",
    /*  99 */ "ZEVPA99 ",
    /* 100 */ "ZEVPAxx Invalid mesaage code",
};

namespace {

constexpr int kInvalidCodeEntry = 100;

// SubMsg: the text with the pending insert, which it uses up.
char SubMsg[256];

const char* TextWithInsert(const char* text) {
  if (Common_SubText[0] == '\0') return text;
  std::memset(SubMsg, 0, sizeof SubMsg);
  if (text[0] == '$')
    std::snprintf(SubMsg, sizeof SubMsg, "%s%s", Common_SubText, text);
  else
    std::snprintf(SubMsg, sizeof SubMsg, "%s", text);
  if (char* dollar = std::strchr(SubMsg, '$')) *dollar = ' ';
  if (char* mark = std::strchr(SubMsg, '#')) {
    // The insert is written over the '#' and what follows it, within the work area.
    size_t room = sizeof SubMsg - 1 - static_cast<size_t>(mark - SubMsg);
    size_t length = std::min(std::strlen(Common_SubText), room);
    std::memcpy(mark, Common_SubText, length);
  }
  Common_SubText[0] = '\0';
  return SubMsg;
}

}  // namespace

extern "C" void dp_ShowMessage(int msgID, char* msgBuffer, int bufferSize) {
  if (msgID < 0 || msgID > 99) msgID = kInvalidCodeEntry;
  const char* text = TextWithInsert(API_Message[msgID]);
  if (msgBuffer == nullptr) {
    std::printf("%s\n", text);
    zevpapi::TraceLine("Msg->%s", text);
    return;
  }
  if (bufferSize < 1) return;
  size_t length = std::strlen(text);
  if (length < static_cast<size_t>(bufferSize)) {
    std::memcpy(msgBuffer, text, length + 1);
    return;
  }
  std::memset(msgBuffer, 0, static_cast<size_t>(bufferSize));
  std::memcpy(msgBuffer, text, static_cast<size_t>(bufferSize) - 1);
}
