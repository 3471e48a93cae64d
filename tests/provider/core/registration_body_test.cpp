// The register request is sized from its entries: however long an attribute's
// texts, the request holds them whole and ends where its length word says.
#include "registration_body.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metafile_fixture.h"
#include "raw_dch_peer.h"
#include "zev0/storage.h"
#include "zev0/typed_field.h"

namespace {

TEST(RegistrationBodyTest, LongEntriesAreKeptWhole) {
  MetafileFixture models;
  std::string enumeration = "ENUM{";
  for (int i = 0; i < 300; ++i) enumeration += "v" + std::to_string(i) + "=" + std::to_string(i) + ",";
  enumeration.back() = '}';
  const std::string help(200, 'h');
  std::vector<std::string> lines = {"//APPL Big", "//NAME Grp P 60", "//ATTRIBUTES ';'"};
  for (int i = 0; i < 2; ++i) lines.push_back("A" + std::to_string(i) + std::string(200, 'x') + " D 8 @" + help);
  lines.push_back("State D 8 " + enumeration);
  models.write("big.mdl", lines);
  MetafileFixture::Parse parse = models.parse("big.mdl");
  ASSERT_NE(parse.application, nullptr);

  char* request = ZEVP_ConstructRegistrationBuffer(parse.application);
  ASSERT_NE(request, nullptr);
  std::string bytes(request, ZEV0_MessageTotalLength(request));
  ZEV0_FreeStorage(&request);
  std::vector<rawdch::Field> fields;
  ASSERT_TRUE(rawdch::SplitFields(bytes, &fields)) << "the fields add up to the length word";
  ASSERT_EQ(fields.size(), 8u);
  std::string attributes = rawdch::FromNetworkCode(fields[7].value);
  EXPECT_GT(attributes.size(), 3u * 640 + 320) << "more than 640 bytes an attribute";
  EXPECT_NE(attributes.find("State,D,8," + enumeration + ", ;"), std::string::npos);
  EXPECT_NE(attributes.find(",D,8, ," + help + ";A1xxx"), std::string::npos);
}

}  // namespace
