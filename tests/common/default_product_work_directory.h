// A work directory of the program's own under the default product's specification,
// both fixed at their first use (the process reads them once).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include "prodspec_directory.h"
#include "scratch_directory.h"
#include "zev0/prodspec.h"

inline const ScratchDirectory& DefaultProductWorkDirectory(const char* label) {
  static const ScratchDirectory* directory = [label] {
    auto* made = new ScratchDirectory(label);
    setenv("ZEV_WORK_PATH", made->path().c_str(), 1);
    static ProdSpecDirectory product;
    product.write({"PRODUCT_CODE=EV", "NODE_TYPE=DV", "PRODUCT_NAME=Dorvane_Agent", "AGENT_AFF_NAME=AFF_DORVANE",
                   "SUBNODE_AFF_NAME=AFF_DORVANE_DATA"});
    product.use();
    EXPECT_EQ(ZEV0_InitializeProductSpec(), 1);
    return made;
  }();
  return *directory;
}
