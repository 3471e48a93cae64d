#include "metafile_cases.h"

#include <gtest/gtest.h>

#include "metafile_fixture.h"
#include "model_dump.h"

void RunMetafileCases(const std::vector<MetafileCase>& cases) {
  for (const MetafileCase& c : cases) {
    SCOPED_TRACE(c.name);
    MetafileFixture fixture;
    fixture.write("case.mdl", c.metafile);
    MetafileFixture::Parse parse = fixture.parse("case.mdl");
    EXPECT_EQ(parse.output, c.messages);
    EXPECT_EQ(DumpModel(parse.application), c.model);
  }
}
