// The message catalogue and dp_ShowMessage.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "stdout_capture.h"
#include "zevpapi/dp_api.h"

namespace {

std::string Shown(int code, int bufferSize = 256) {
  char text[256];
  std::memset(text, '@', sizeof text);
  dp_ShowMessage(code, text, bufferSize);
  return text;
}

TEST(MessageCatalogueTest, EveryTextIsTheCatalogues) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {0, "ZEVPA00I Function completed successfully"},
      {1, "ZEVPA01E Input handle is invalid"},
      {2, "ZEVPA02E Input parameter is invalid #"},
      {3, "ZEVPA03E Required input parameter not specified"},
      {4, "ZEVPA04E Startup configuration error"},
      {5, "ZEVPA05E Unsupported startup configuration specified"},
      {6, "ZEVPA06E Unable to obtain main control block storage"},
      {7, "ZEVPA07E Unable to obtain data transport buffer storage"},
      {8, "ZEVPA08E Local machine host name cannot be resolved to ip address"},
      {9, "ZEVPA09E Local Winsock/RPC initialization failed, errno #"},
      {10, "ZEVPA10W DP API server inactive"},
      {11, "ZEVPA11E API request timed out"},
      {12, "ZEVPA12E Unable to obtain API handle storage"},
      {13, "ZEVPA13E API request logic sequence error"},
      {14, "ZEVPA14E Required input parameter not specified"},
      {20, "ZEVPA20E dp_ShowMessage no message id specified"},
      {21, "ZEVPA21I dp_Ping successful"},
      {22, "ZEVPA22I dp_Ping failed"},
      {23, "ZEVPA23E dp_Ping DP API server error #"},
      {24, "ZEVPA24E dp_OpenSession input handle contains active connection"},
      {25, "ZEVPA25E dp_openSession connection to target API server failed"},
      {30, "ZEVPA30W dp_Define application already defined to DP"},
      {31, "ZEVPA31E dp_Define metafile not found"},
      {32, "ZEVPA32E dp_Define metafile specification error"},
      {33, "ZEVPA33W dp_define application already known to agent or in use by another DP"},
      {34, "ZEVPA34E dp_Redefine application currently not defined"},
      {35, "ZEVPA35E dp_Redefine metafile not found"},
      {36, "ZEVPA36E dp_Redefine metafile specification error"},
      {37, "ZEVPA37W dp_Redefine application already known to agent or in use by another DP"},
      {38, "ZEVPA38E dp_SetSourceName input name missing or invalid"},
      {39, "ZEVPA39E dp_SetSourceName input name processing failed"},
      {40, "ZEVPA40E Input buffer pointer is invalid"},
      {41, "ZEVPA41E Input buffer was not allocated to the active handle provided"},
      {42, "ZEVPA42E Input buffer storage was not allocated by dp_AllocateBuffer API"},
      {43, "ZEVPA43E dp_AllocateBuffer input parameter is invalid"},
      {44, "ZEVPA44E dp_AllocateBuffer failed because of insufficient storage"},
      {45, "ZEVPA45W dp_FormatBufferData detects no input data. Nothing formatted"},
      {46, "ZEVPA46E dp_FormatBufferData input data size is invalid"},
      {47, "ZEVPA47E dp_FormatBufferData insufficient room remains in buffer to contain formatted input data"},
      {50, "ZEVPA50E dp_BeginInput requires application name and attribute group parameter specifications"},
      {51, "ZEVPA51E dp_BeginInput specified application not found"},
      {52, "ZEVPA52E dp_BeginInput specified attribute group not found"},
      {53, "ZEVPA53E dp_BeginInput API server application initialization unsuccessful"},
      {54, "ZEVPA54E dp_BeginInput API server application registration with DCH unsuccessful"},
      {55, "ZEVPA55E dp_EndInput rejected. dp_BeginInput not performed or dp_EndInput already completed"},
      {56,
       "ZEVPA56E Ambiguous dp_EndInput rejected. More than one active dp_BeginInput outstanding without sufficient "
       "qualifying input parameter"},
      {57, "ZEVPA57W dp_EndInput specified application is not active. dp_BeginInput was not performed"},
      {58, "ZEVPA58E dp_EndInput API server application unregistration with DCH unsuccessful"},
      {70, "ZEVPA70E dp_Input application inactive"},
      {71,
       "ZEVPA71I None or more than one active application outstanding. API target is ambiguous without qualification"},
      {72, "ZEVPA72E dp_Input data transfer I/O error"},
      {73, "ZEVPA73E dp_Input input buffer contains no data"},
      {74, "ZEVPA74E dp_Input input buffer is invalid"},
      {75, "ZEVPA75E dp_Input local transport setup unsuccessful"},
      {80, "ZEVPA80I dp_RecvReply no data available to receive"},
      {81, "ZEVPA81E dp_ReceiveRequest input buffer size invalid."},
      {82, "ZEVPA82I dp_ReceiveRequest no activity request outstanding."},
      {83, "ZEVPA83W dp_ReceiveRequest received request data truncated to input buffer size."},
      {84, "ZEVPA84W dp_SendRequestResult data truncated to supported maximum."},
      {85, "ZEVPA85W dp_SendRequestResult request not found or no longer outstanding."},
      {90, "ZEVPA90E DP client API is incompatible and unsupported by the active DP API server"},
      {91, "ZEVPA91E DP server unable to allocate source control block storage"},
      {92, "ZEVPA92E DP server unable to send application data to DCH, input data discarded"},
      {93, "ZEVPA93E DP server detected data field format error in input data record"},
      {94, "ZEVPA94E DP server detected processing state logic error"},
      {100, "ZEVPAxx Invalid mesaage code"},
  };
  for (int code = 0; code <= 99; ++code) {
    SCOPED_TRACE(code);
    char identifier[16];
    std::snprintf(identifier, sizeof identifier, "ZEVPA%02d", code);
    std::string text = Shown(code);
    ASSERT_EQ(text.compare(0, 7, identifier), 0) << text;
    bool listed = false;
    for (const auto& c : cases) {
      if (c.code != code) continue;
      listed = true;
      EXPECT_EQ(text, c.text);
    }
    if (!listed) {
      EXPECT_EQ(text, std::string(identifier) + " ") << "an entry without a text";
    }
  }
}

TEST(MessageCatalogueTest, ACodeOutsideTheCatalogueShowsTheInvalidCodeText) {
  for (int code : {100, 150, -1, -100}) EXPECT_EQ(Shown(code), "ZEVPAxx Invalid mesaage code") << code;
}

TEST(MessageCatalogueTest, TheInsertGoesAtTheMarkOnceAndIsThenUsedUp) {
  std::strcpy(Common_SubText, "NULL");
  EXPECT_EQ(Shown(2), "ZEVPA02E Input parameter is invalid NULL");
  EXPECT_EQ(Common_SubText[0], '\0');
  EXPECT_EQ(Shown(2), "ZEVPA02E Input parameter is invalid #");
  EXPECT_EQ(Shown(23), "ZEVPA23E dp_Ping DP API server error #");

  // A text without a mark uses the insert up all the same.
  std::strcpy(Common_SubText, "somehost");
  EXPECT_EQ(Shown(8), "ZEVPA08E Local machine host name cannot be resolved to ip address");
  EXPECT_EQ(Common_SubText[0], '\0');

  // An insert of the full 79 characters is written whole.
  std::string longest(79, 'h');
  std::strcpy(Common_SubText, longest.c_str());
  EXPECT_EQ(Shown(9), "ZEVPA09E Local Winsock/RPC initialization failed, errno " + longest);
}

TEST(MessageCatalogueTest, ABufferTakesWhatFitsBeforeItsTerminator) {
  const struct {
    int size;
    std::string expected;
  } cases[] = {
      {10, "ZEVPA00I "},
      {1, ""},
      {41, "ZEVPA00I Function completed successfully"},
      {40, "ZEVPA00I Function completed successfull"},
  };
  for (const auto& c : cases) EXPECT_EQ(Shown(0, c.size), c.expected) << c.size;
}

// A buffer size below 1 leaves the buffer untouched.
TEST(MessageCatalogueTest, ABufferSizeBelowOneWritesNothing) {
  for (int size : {0, -1, -1000}) {
    char text[16];
    std::memset(text, '@', sizeof text);
    dp_ShowMessage(0, text, size);
    EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, '@')) << size;
  }
}

TEST(MessageCatalogueTest, WithoutABufferTheTextGoesToStandardOutput) {
  StdoutCapture capture;
  dp_ShowMessage(21, nullptr, 0);
  dp_ShowMessage(150, nullptr, 0);
  std::fflush(stdout);
  EXPECT_EQ(capture.takeLines(),
            (std::vector<std::string>{"ZEVPA21I dp_Ping successful", "ZEVPAxx Invalid mesaage code"}));
}

}  // namespace
