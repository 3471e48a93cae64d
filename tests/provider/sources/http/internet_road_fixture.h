// The HTTP data provider's application Internet against the agent's real DCH
// server in its host program: the application defined on the anchor of a
// provider road, its URL management block made, and rows read by a parked consumer.
#pragma once

#include <string>
#include <vector>

#include "provider_road_fixture.h"
#include "url_records.h"

class InternetRoadTest : public ProviderRoadTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The application defined (and online) and the URL management block made.
  void start();
  URLmanagementBlock* block() const;
  URLrequestEntry* add(const std::string& url, const std::string& user, const char* alias = nullptr);

  // The next row's values (and control field); {"<no row>"} when none came.
  static std::vector<std::string> NextRow(RowWaiter& rows, int waitMs = kAnswerWaitMs, uint16_t* control = nullptr);
};

// The attributes of a Managed_URL row by their place.
enum ManagedURLvalue {
  kURL, kStatus, kStatusTimestamp, kPageTitle, kPageSize, kCurrentResponseTime, kMaximumResponseTime,
  kAverageResponseTime, kPageObjects, kTotalObjectSize, kUserName, kURLalias, kISPname, kServerType,
  kTotalSamplesTaken, kStatusInterval, kHTTPversion
};
