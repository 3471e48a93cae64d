// The records in what a partner sends: the cut of a receive into records, and the
// record a full TCP receive ends in the middle of, kept for the next receive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "association_record.h"
#include "partner_records.h"
#include "zev0/codepage.h"

namespace {

std::vector<std::string> Texts(const std::vector<zevp::RecordView>& records) {
  std::vector<std::string> texts;
  for (const zevp::RecordView& record : records) texts.emplace_back(record.text, static_cast<size_t>(record.length));
  return texts;
}

std::vector<std::string> Cut(const std::string& bytes) {
  return Texts(zevp::CutRecords(bytes.data(), static_cast<int>(bytes.size())));
}

TEST(PartnerRecordsTest, ARecordEndsAtItsLineFeedWithACarriageReturnOnEitherSide) {
  const struct {
    const char* title;
    std::string bytes;
    std::vector<std::string> records;
  } cases[] = {
      {"CR LF", "a;1\r\nb;2\r\n", {"a;1", "b;2"}},
      {"LF alone, last without one", "a;1\nb;2", {"a;1", "b;2"}},
      {"LF CR", "a;1\n\rb;2\n\r", {"a;1", "b;2"}},
      {"empty lines make no record", "a;1\n\n\r\nb;2\n", {"a;1", "b;2"}},
      {"a line end alone", "\r\n", {}},
      {"a CR inside a record stays", "a\rb\n", {"a\rb"}},
      {"a zero byte is data", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    EXPECT_EQ(Cut(c.bytes), c.records);
  }
}

TEST(PartnerRecordsTest, AnAPIrequestsRecordsAreCutAtLineFeedsAlone) {
  EXPECT_EQ(Texts(zevp::CutAtLineFeeds("a;1\nb;2\r\nc;3")), (std::vector<std::string>{"a;1", "b;2\r", "c;3"}));
  EXPECT_TRUE(zevp::CutAtLineFeeds("").empty());
}

// Pretends that a receive of `size` bytes filled the buffer.
TEST(PartnerRecordsTest, AFullReceiveKeepsItsUnfinishedLastRecordForTheNext) {
  zevp::UnfinishedRecords unfinished;
  const auto* partner = reinterpret_cast<const IOEntry*>(0x1000);
  const auto* other = reinterpret_cast<const IOEntry*>(0x2000);
  std::string first = "a;1\nb;2\nc;";
  EXPECT_EQ(unfinished.take(partner, first.data(), static_cast<int>(first.size()), true), "a;1\nb;2\n");
  EXPECT_EQ(unfinished.take(other, "x\n", 2, false), "x\n") << "kept per partner";
  EXPECT_EQ(unfinished.take(partner, "3\nd;4", 5, false), "c;3\nd;4") << "a receive that did not fill goes whole";
  EXPECT_EQ(unfinished.take(partner, "e;5\n", 4, true), "e;5\n") << "nothing kept after a line end";
  std::string noLineFeed(50, 'z');
  EXPECT_EQ(unfinished.take(partner, noLineFeed.data(), 50, true), noLineFeed) << "a record longer than a receive";
}

TEST(PartnerRecordsTest, WhatIsKeptIsFlushedAtTheEndOrForgotten) {
  zevp::UnfinishedRecords unfinished;
  const auto* partner = reinterpret_cast<const IOEntry*>(0x1000);
  const auto* released = reinterpret_cast<const IOEntry*>(0x2000);
  unfinished.take(partner, "a\nb", 3, true);
  unfinished.take(released, "a\nc", 3, true);
  unfinished.keepOnly({partner});
  EXPECT_EQ(unfinished.flush(released), "");
  EXPECT_EQ(unfinished.flush(partner), "b");
  EXPECT_EQ(unfinished.flush(partner), "") << "handed out once";
}

TEST(PartnerRecordsTest, AnAssociationRecordIsTheFirstRecordWithItsNameUpToABlank) {
  std::string ebcdic = "//lines\r\nnext";
  ZEV0_ConvertDataToNetwork(ebcdic.data(), static_cast<int32_t>(ebcdic.size()));
  const struct {
    const char* title;
    std::string bytes;
    bool present;
    bool convert;
    std::string metafile;
    std::string rest;
  } cases[] = {
      {"with its line end", "//lines\r\nfirst;1\r\n", true, false, "lines", "first;1\r\n"},
      {"a datagram without one", "//lines", true, false, "lines", ""},
      {"LF CR", "//lines\n\rfirst", true, false, "lines", "first"},
      {"words after the name", "//lines by partner 7\nfirst", true, false, "lines", "first"},
      {"in EBCDIC", ebcdic, true, true, "lines", "next"},
      {"the end of input", "//END-DP-INPUT", false, false, "", ""},
      {"slashes alone", "//\r\n", false, false, "", ""},
      {"one slash", "/lines", false, false, "", ""},
      {"a record", "lines;1", false, false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    std::string bytes = c.bytes;
    zevp::AssociationRecord association = zevp::ReadAssociationRecord(bytes);
    EXPECT_EQ(association.present, c.present);
    if (!c.present) continue;
    EXPECT_EQ(association.convert, c.convert);
    EXPECT_EQ(association.metafile, c.metafile);
    EXPECT_EQ(bytes.substr(association.end), c.rest);
  }
}

}  // namespace
