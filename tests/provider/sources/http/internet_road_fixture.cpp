#include "internet_road_fixture.h"

#include "dp_anchor.h"
#include "dp_environment.h"
#include "http_application.h"
#include "url_management.h"
#include "url_management_fixture.h"
#include "zev/dp_types.h"

void InternetRoadTest::SetUp() {
  HTTPworkDirectory();
  ProviderRoadTest::SetUp();
  if (HasFatalFailure()) return;
  anchor()->dpType = ZEV_DP_HTTP;
}

void InternetRoadTest::TearDown() {
  ZEV_Agent_Geographic_Location = nullptr;
  if (anchor() != nullptr) zevp::ReleaseURLmanagement(anchor());
  ProviderRoadTest::TearDown();
}

void InternetRoadTest::start() {
  ASSERT_EQ(ZEVP_DefineHTTPapplication(anchor()), 1);
  ASSERT_NE(anchor()->managedURLSource, nullptr);
  ZEVP_InitializeUMB(anchor());
  ASSERT_NE(anchor()->urlManagement, nullptr);
}

URLmanagementBlock* InternetRoadTest::block() const { return anchor()->urlManagement; }

URLrequestEntry* InternetRoadTest::add(const std::string& url, const std::string& user, const char* alias) {
  return ZEVP_AllocateHTTPrequestBlock(anchor(), url.c_str(), alias, 0, user.c_str(), 0, nullptr);
}

std::vector<std::string> InternetRoadTest::NextRow(RowWaiter& rows, int waitMs, uint16_t* control) {
  Row row;
  if (!ReadRow(rows.next(waitMs), &row)) return {"<no row>"};
  if (control != nullptr) *control = row.controlField;
  return row.values;
}
