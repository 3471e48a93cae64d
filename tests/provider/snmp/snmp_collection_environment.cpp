#include "snmp_collection_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "zev0/prodspec.h"

const ScratchDirectory& SnmpCollectionWork(const std::vector<std::string>& extraProductLines) {
  static const ScratchDirectory* work = [&] {
    auto* made = new ScratchDirectory("zev_snmp_collection");
    setenv("ZEV_WORK_PATH", made->path().c_str(), 1);
    static ProdSpecDirectory product;
    product.use();
    std::vector<std::string> lines{"PRODUCT_CODE=EV", "PRODUCT_NAME=Test_Product", "ENABLE_DPLOG=N"};
    lines.insert(lines.end(), extraProductLines.begin(), extraProductLines.end());
    product.write(lines);
    EXPECT_EQ(ZEV0_InitializeProductSpec(), 1);
    return made;
  }();
  return *work;
}
