// Affinity validation, product names and feature texts over a small table of the
// tests, and the compiled tables' form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "affinity_tables.h"
#include "trace_capture.h"
#include "zev0/storage.h"

namespace {

const std::string kLong(100, 'L');

const AffinityEntry kMap[] = {
    {"AFF_ALPHA", "1000000000000000000000000000000000000000000", 11, 0},
    {"AFF_UNNAMED", "2000000000000000000000000000000000000000000", 12, 0},
    {"AFF_FEAT_ONE", "0000000000000000000000000000000000000000001", 21, 0},
    {"AFF_FEAT_TWO", "0000000000000000000000000000000000000000002", 22, 0},
    {"AFF_FEAT_SILENT", "0000000000000000000000000000000000000000004", 23, 0},
    {"AFF_FEAT_FIRST_GROUP", "0000000000000000000000000000000000100000000", 24, 0},
    {"AFF_FEAT_LONG_A", "0000000000000000000000000000000000010000000", 25, 0},
    {"AFF_FEAT_LONG_B", "0000000000000000000000000000000000020000000", 26, 0},
    {"AFF_FEAT_LONG_C", "0000000000000000000000000000000000040000000", 27, 0},
    {"AFF_FEAT_SHORT", "0000000000000000000000000000000000080000000", 28, 0},
    {"", "", 0, 0},
};
const AffinityText kMapText[] = {
    {11, "Alpha Monitor"}, {21, "_One"}, {22, "__Two"}, {24, "First Group"},
    {25, kLong.c_str()},   {26, kLong.c_str()}, {27, kLong.c_str()}, {28, "Short"},
    {0, nullptr},
};

std::string Owned(char* text) {
  std::string copy = text != nullptr ? text : "(null)";
  ZEV0_FreeStorage(&text);
  return copy;
}

std::string Affinity(const std::string& product, const std::string& features) {
  std::string affinity = product;
  affinity.resize(34, '0');
  return affinity + features;
}

TEST(ProductAffinity, FeatureTextsOfAffinities) {
  InstalledAffinityTables tables(kMap, kMapText);
  struct Case {
    const char* features;
    std::string text;
  } cases[] = {
      {"000000000", "No feature reported"},
      {"000000003", "One, Two, "},
      // The last group first; a bit without a known feature adds nothing.
      {"100000005", "One, First Group, "},
      {"000000004", " "},
      {"00000000!", " "},
      // Three 102-character texts do not fit in 255: the third and all after it stay out.
      {"0F0000000", kLong + ", " + kLong + ", "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.features);
    std::string text = Owned(ZEVS_ConstructProductFeatureString(Affinity("1", c.features).c_str()));
    EXPECT_EQ(text, c.text);
    EXPECT_LT(text.size(), static_cast<size_t>(ZEVS_FEATURE_TEXT_CAPACITY));
  }
  EXPECT_EQ(Owned(ZEVS_ConstructProductFeatureString("100000005")), " ") << "not an affinity";

  char out[16];
  EXPECT_EQ(FormFeatureTextOutput(out, sizeof out, "000000002"), 5);
  EXPECT_STREQ(out, "Two, ");
  EXPECT_EQ(FormFeatureTextOutput(out, 5, "000000002"), 0) << "no room for its NUL";
  EXPECT_EQ(FormFeatureTextOutput(out, sizeof out, "000000004"), 0) << "a feature without text";
}

TEST(ProductAffinity, KnownFeaturesAreTheFeatureRowsWithText) {
  TraceCapture trace;
  InstalledAffinityTables tables(kMap, kMapText);
  EXPECT_TRUE(trace.contains("Total 7 affinity feature definition found"));
  EXPECT_TRUE(trace.contains("Affinity 000000002 - Two"));
  EXPECT_FALSE(trace.contains("Affinity 000000004"));
}

TEST(ProductAffinity, ProductNames) {
  InstalledAffinityTables tables(kMap, kMapText);
  struct Case {
    std::string affinity;
    const char* name;
  } cases[] = {
      {Affinity("1", "000000003"), "Alpha Monitor"},
      {Affinity("2", "000000000"), "Unknown Product"},  // identifier without text
      {Affinity("3", "000000000"), "Unknown Product"},  // no row
      {"1000", "Unknown Product"},                       // too short to compare
  };
  for (const Case& c : cases) EXPECT_STREQ(ZEVS_LocateProductNameFromAffinity(c.affinity.c_str()), c.name) << c.affinity;
}

TEST(ProductAffinity, ValidAffinitiesAreKeptOthersBecomeNoAffinity) {
  const std::string valid = Affinity("1", "000000003");
  const std::string longer = valid + "EXTRA";
  struct Case {
    const char* name;
    const char* text;
    std::string result;
  } cases[] = {
      {"valid", valid.c_str(), valid},
      {"longer: its first 43", longer.c_str(), valid},
      {"43 zeros", ZeroAffinity, NoneAffinity},
      {"letter first", "A000000000000000000000000000000000000000003", NoneAffinity},
      {"20 characters", "10000000000000000003", NoneAffinity},
      {"null", nullptr, NoneAffinity},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TraceCapture trace;
    EXPECT_EQ(Owned(ZEVS_CheckValidAffinity(c.text)), c.result);
    EXPECT_EQ(trace.contains("Invalid affinity string from agent. No affinity assumed"), c.result == NoneAffinity);
  }
}

TEST(ProductAffinity, CompiledTablesHaveTheirForm) {
  zev0::AffinityTables tables = zev0::CurrentAffinityTables();
  std::set<std::string> products;
  for (const AffinityEntry* row = tables.map; row->firstNumber != 0; ++row) {
    SCOPED_TRACE(row->name);
    std::string code = row->code;
    ASSERT_EQ(code.size(), 43u);
    if (std::strncmp(row->name, "AFF_FEAT_", 9) == 0) {
      std::string features = code.substr(34);
      EXPECT_EQ(std::count(features.begin(), features.end(), '0'), 8);
      EXPECT_NE(std::string("1248GW").find(features[features.find_first_not_of('0')]), std::string::npos);
    } else {
      EXPECT_TRUE(products.insert(code.substr(0, 32)).second) << "two products of one code";
      EXPECT_STRNE(ZEVS_LocateProductNameFromAffinity(code.c_str()), "Unknown Product");
    }
  }
  EXPECT_STREQ(ZEVS_LocateProductNameFromAffinity(ZEV0_FindAffinity("AFF_DORVANE")->code), "Dorvane Agent");
  ZEVS_InitializePlovenFeatureArray();
  EXPECT_EQ(Owned(ZEVS_ConstructProductFeatureString(Affinity("0000000000000040", "W00000013").c_str())),
            "Remote Commands, Event Forwarding, Take Action, Subnode Registration, ");
}

}  // namespace
