// Formula attributes computed before a row goes: from a metafile's formulas, on
// operands of both sizes, with the edge values of each operator.
#include "derived_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "application_entry.h"
#include "attribute_entry.h"
#include "metafile_fixture.h"
#include "source_entry.h"
#include "table_entry.h"

namespace {

// A (2 bytes) and B (4 bytes) are the operands; T and U two texts.
const std::vector<std::string> kFormulas = {
    "//APPL Frm",         "//NAME Grp P 60",    "//ATTRIBUTES ';'", "A G 100",
    "B C",                "Sum (A + B)",        "Dif (A - B)",      "Mul (A * B)",
    "Quo (A / B)",        "Pct (A % B)",        "Real (A / B) REAL", "T D 4",
    "U D 4",              "TU (T + U)",
};

class DerivedValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    models_.write("frm.mdl", kFormulas);
    MetafileFixture::Parse parse = models_.parse("frm.mdl");
    ASSERT_NE(parse.application, nullptr);
    ASSERT_EQ(parse.output, std::vector<std::string>{});
    source_ = parse.application->FirstTable->FirstSource;
  }

  AttributeEntry* attribute(const char* name) const {
    for (AttributeEntry* attribute = source_->FirstAttribute; attribute != nullptr; attribute = attribute->next)
      if (std::strcmp(attribute->AttrName, name) == 0) return attribute;
    ADD_FAILURE() << "no attribute " << name;
    return nullptr;
  }
  void setOperands(int16_t a, int32_t b) {
    std::memcpy(attribute("A")->Value(), &a, sizeof a);
    attribute("A")->ActualValSize = sizeof a;
    std::memcpy(attribute("B")->Value(), &b, sizeof b);
    attribute("B")->ActualValSize = sizeof b;
  }
  void setText(const char* name, const char* text) {
    std::memcpy(attribute(name)->Value(), text, std::strlen(text));
    attribute(name)->ActualValSize = static_cast<uint16_t>(std::strlen(text));
  }
  int32_t number(const char* name) const {
    const AttributeEntry* result = attribute(name);
    EXPECT_EQ(result->ActualValSize, 4) << name;
    int32_t value = 0;
    std::memcpy(&value, result->Value(), sizeof value);
    return value;
  }
  std::string text(const char* name) const {
    const AttributeEntry* result = attribute(name);
    return std::string(result->Value(), result->ActualValSize);
  }

  MetafileFixture models_;
  SourceEntry* source_ = nullptr;
};

TEST_F(DerivedValuesTest, EachOperatorOnTwoAndFourByteOperands) {
  struct {
    int16_t a;
    int32_t b;
    int32_t sum, difference, product, quotient, percent;
    const char* real;
  } const cases[] = {
      {1, 3, 4, -2, 3, 0, 33, "0.333"},
      {2, 3, 5, -1, 6, 0, 67, "0.667"},
      {7, 2, 9, 5, 14, 3, 350, "3.500"},
      {7, 0, 7, 7, 0, 0, 0, "0.000"},
      {-7, 2, -5, -9, -14, -3, -350, "-3.500"},
      {32767, INT_MAX, INT_MAX, -2147450880, INT_MAX, 0, 0, "0.000"},
      {-2, INT_MIN, INT_MIN, INT_MAX - 1, INT_MAX, 0, 0, "0.000"},
      {-1, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, "0.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.a) + " and " + std::to_string(c.b));
    setOperands(c.a, c.b);
    ZEVP_ComputeDerivedValues(source_);
    EXPECT_EQ(number("Sum"), c.sum);
    EXPECT_EQ(number("Dif"), c.difference);
    EXPECT_EQ(number("Mul"), c.product);
    EXPECT_EQ(number("Quo"), c.quotient);
    EXPECT_EQ(number("Pct"), c.percent);
    EXPECT_EQ(text("Real"), c.real);
  }
}

TEST_F(DerivedValuesTest, FormulaWaitsForBothOperandsAndKeepsTheSummaryOutputsTotals) {
  setOperands(1, 3);
  attribute("B")->ActualValSize = 0;
  ZEVP_ComputeDerivedValues(source_);
  EXPECT_EQ(attribute("Pct")->ActualValSize, 0);
  // While summary rows go, a total (SKEY=SUM) holds the summed value; a formula
  // over the row's values is computed from them.
  setOperands(1, 3);
  attribute("Pct")->AttrSortKey = -1;
  source_->SummaryDelivering = 1;
  ZEVP_ComputeDerivedValues(source_);
  EXPECT_EQ(attribute("Pct")->ActualValSize, 0);
  EXPECT_EQ(number("Sum"), 4);
}

TEST_F(DerivedValuesTest, TwoTextsJoinWithinTheDeclaredSize) {
  setText("T", "ab");
  setText("U", "cd");
  ZEVP_ComputeDerivedValues(source_);
  EXPECT_EQ(text("TU"), "abcd");
  // A value longer than its own attribute (a partner's record) is cut, not
  // copied past the formula attribute's value area.
  AttributeEntry* t = attribute("T");
  std::memcpy(t->Value(), "wxyz", 4);
  t->ActualValSize = 4;
  setText("U", "1234");
  attribute("TU")->MaxValSize = 6;
  ZEVP_ComputeDerivedValues(source_);
  EXPECT_EQ(text("TU"), "wxyz12");
}

TEST_F(DerivedValuesTest, TwoByteResultHoldsTheValueNotItsHighHalf) {
  AttributeEntry* pct = attribute("Pct");
  pct->MaxValSize = 2;
  struct {
    int16_t a;
    int32_t b;
    int16_t stored;
  } const cases[] = {{2, 3, 67}, {-7, 2, -350}, {32767, 1, INT16_MAX}, {-32768, 1, INT16_MIN}};
  for (const auto& c : cases) {
    setOperands(c.a, c.b);
    ZEVP_ComputeDerivedValues(source_);
    ASSERT_EQ(pct->ActualValSize, 2);
    int16_t stored;
    std::memcpy(&stored, pct->Value(), sizeof stored);
    EXPECT_EQ(stored, c.stored) << c.a << " % " << c.b;
  }
  pct->MaxValSize = 4;
}

TEST(FormulaTest, UnknownOperatorGivesZero) {
  int32_t result = 5;
  double exact = 5.0;
  EXPECT_FALSE(ZEVP_ComputeFormula('^', 2, 3, &result, &exact));
  EXPECT_EQ(result, 0);
}

}  // namespace
