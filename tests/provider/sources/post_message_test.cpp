// The pieces of a posted message: how its code is told, its text and fields, the
// acknowledgement stamp, and the category table with ZEVP_POST_CATEGORY applied.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <string>
#include <vector>

#include "post_categories.h"
#include "post_message.h"
#include "raw_dch_peer.h"

namespace {

using Fields = std::vector<std::string>;

int Converted(const std::string& bytes) {
  return ZEVP_CheckDataConversion(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
}

TEST(PostMessageTest, AMessageWithoutAnASCIILetterOrDigitIsEBCDIC) {
  struct Case {
    const char* label;
    std::string bytes;
    int converted;
  } cases[] = {
      {"ASCII text", "Disk full;W;", 0},
      {"digits only", "42", 0},
      {"the same text in EBCDIC", rawdch::ToNetworkCode("Disk full;W;"), 1},
      {"punctuation only", "@@ ;;", 1},
      {"bytes above 0x7F only", "\x81\xC1\xF1", 1},
      {"a letter after zero bytes", std::string("\0\0x", 3), 0},
      {"nothing", "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Converted(c.bytes), c.converted);
  }
}

TEST(PostMessageTest, FieldsLieBetweenDelimitersAndEmptyOnesCollapse) {
  struct Case {
    std::string text;
    const char* delimiters;
    Fields fields;
  } cases[] = {
      {"Disk full;W;", ";", {"Disk full", "W"}},
      {"Disk full", ";", {"Disk full"}},
      {";C;", ";", {"C"}},
      {";;a;;;b;;", ";", {"a", "b"}},
      {"a|b;c", "|;", {"a", "b", "c"}},
      {";;;", ";", {}},
      {"", ";", {}},
      {"no delimiters; at all", nullptr, {"no delimiters; at all"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Fields fields;
    for (std::string_view field : zevp::PostFields(c.text, c.delimiters)) fields.emplace_back(field);
    EXPECT_EQ(fields, c.fields);
  }
}

TEST(PostMessageTest, TheTextEndsAtItsFirstZeroByteOrWithItsBytes) {
  std::string padded("hi;W;\0\0\0garbage", 15);
  EXPECT_EQ(zevp::PostText(padded.data(), padded.size()), "hi;W;");
  std::string full(4096, 'x');  // nothing behind it to read
  EXPECT_EQ(zevp::PostText(full.data(), full.size()).size(), 4096u);
}

TEST(PostMessageTest, TheStampIsTheAddressTheRowsTimeTheKeyAndTheCheckSum) {
  in_addr address{};
  inet_pton(AF_INET, "10.1.2.3", &address);
  EXPECT_EQ(zevp::PostAckStamp(address, "1021102093015042", 'W', 42), "0A010203021102093015W00042");
  inet_pton(AF_INET, "192.168.200.1", &address);
  EXPECT_EQ(zevp::PostAckStamp(address, "0991231235959999", 'I', 65535), "C0A8C801991231235959I65535");
}

// The table as its keys (blank: a free slot) and a word of interest.
std::string Keys(const zevp::PostCategories& categories) {
  std::string keys;
  for (int slot = 0; slot < zevp::ZEVP_POST_MAX_CATEGORY; ++slot) keys += categories.key(slot);
  return keys;
}

TEST(PostCategoriesTest, TheSettingChangesAddsAndRemovesCategoriesInOrder) {
  struct Case {
    const char* setting;
    std::string keys;
    int slot;
    const char* word;
  } cases[] = {
      {"", "IOPSNACWRD      ", 7, "Warning"},
      {"A=,X=Extra", "IOPSNXCWRD      ", 5, "Extra"},
      {"A=,B=Blue", "IOPSNBCWRD      ", 5, "Blue"},
      {"W=Warn", "IOPSNACWRD      ", 7, "Warn"},
      {"w=warm", "IOPSNACWRD      ", 7, "warm"},
      {"Y=Yellow", "IOPSNACWRDY     ", 10, "Yellow"},
      {"W=Warn,A=", "IOPSNACWRD      ", 5, "Alert"},  // the last "=" is cut: "A" alone changes nothing
      {"A=", "IOPSNACWRD      ", 5, "Alert"},           // cut to "A" too
      {"A=,W=Warn", "IOPSN CWRD      ", 5, "Alert"},     // removed; the free slot keeps its word
      {" ,;W=Warn;; ", "IOPSNACWRD      ", 7, "Warn"},
      {"=,;", "IOPSNACWRD      ", 7, "Warning"},
      {"W,Wxyz,Q", "IOPSNACWRD      ", 7, "Warning"},
      {"1=One,2=Two,3=Three,4=Four,5=Five,6=Six,7=Seven", "IOPSNACWRD123456", 15, "Six"},
      {"A=,1=One,2=Two,3=Three,4=Four,5=Five,6=Six,7=Seven", "IOPSN1CWRD234567", 5, "One"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    zevp::PostCategories categories;
    categories.configure(c.setting);
    EXPECT_EQ(Keys(categories), c.keys);
    EXPECT_EQ(categories.word(c.slot), c.word);
  }
}

TEST(PostCategoriesTest, KeysAreLookedUpAsGiven) {
  zevp::PostCategories categories;
  EXPECT_EQ(categories.slotOf('I'), 0);
  EXPECT_EQ(categories.slotOf('D'), 9);
  EXPECT_EQ(categories.slotOf('d'), -1);
  EXPECT_EQ(categories.slotOf('X'), -1);
  EXPECT_EQ(categories.word(0), "Information");
}

}  // namespace
