// The texts of the metafile exchange, read from what a peer may send.
#include "metafile_exchange_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using State = zevp::MetafileReplyReader::State;

TEST(MetafileExchangeFormat, RepliesAreTakenWholeOrRefused) {
  struct Case {
    const char* name;
    std::vector<std::string> pieces;
    State state;
    int32_t status;
    std::vector<std::string> records;
  };
  const Case cases[] = {
      {"whole", {"0 \n2 \na\nb\n"}, State::Complete, 0, {"a", "b"}},
      {"in pieces, split inside each field", {"0", " \n2", " \na", "\nb", "\n"}, State::Complete, 0, {"a", "b"}},
      {"a record without its line end is not there yet", {"0 \n2 \na\nb"}, State::Incomplete, 0, {"a"}},
      {"empty lines are no records", {"\n0 \n\n1 \n\n\nonly\n"}, State::Complete, 0, {"only"}},
      {"more records than announced: the count holds", {"0 \n1 \na\nb\n"}, State::Complete, 0, {"a"}},
      {"not found", {"1 \n"}, State::Complete, 1, {}},
      {"no records", {"0 \n0 \n"}, State::Invalid, 0, {}},
      {"a negative count", {"0 \n-4 \n"}, State::Invalid, 0, {}},
      {"a status that is no number", {"OK \n"}, State::Invalid, 0, {}},
      {"a count with more after it", {"0 \n2x \n"}, State::Invalid, 0, {}},
      {"a count beyond 32 bits", {"0 \n99999999999 \n"}, State::Invalid, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zevp::MetafileReplyReader reader;
    for (const std::string& piece : c.pieces) reader.add(piece.data(), piece.size());
    EXPECT_EQ(reader.state(), c.state);
    if (c.state == State::Complete) {
      EXPECT_EQ(reader.status(), c.status);
    }
    if (c.state != State::Invalid) {
      EXPECT_EQ(reader.records(), c.records);
    }
  }
}

TEST(MetafileExchangeFormat, ARequestNamesOneMetafile) {
  const std::pair<const char*, const char*> cases[] = {
      {"GETMETA m.mdl", "m.mdl"}, {"  GETMETA   m.mdl  extra", "m.mdl"}, {"GETMETA", nullptr},
      {"GETMETA   ", nullptr},    {"getmeta m.mdl", nullptr},              {"GETMETAX m", nullptr},
      {"", nullptr},
  };
  for (const auto& [request, name] : cases) {
    SCOPED_TRACE(request);
    std::string parsed;
    EXPECT_EQ(zevp::ParseMetafileRequest(request, &parsed), name != nullptr);
    if (name != nullptr) {
      EXPECT_EQ(parsed, name);
    }
  }
  EXPECT_EQ(zevp::MetafileRequest(std::string(247, 'n').c_str()), "GETMETA " + std::string(247, 'n'));
  EXPECT_EQ(zevp::MetafileRequest(std::string(248, 'n').c_str()), "") << "256 bytes do not fit";
}

}  // namespace
