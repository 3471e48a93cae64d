// Requests queued to the SNMP data provider's network-monitoring and managed-node-list
// servers: in order on the server's entry, which is woken; refused while no server runs.
#include <gtest/gtest.h>

#include "bare_anchor.h"
#include "managed_node_list.h"
#include "network_manage_entry.h"
#include "process_entry.h"
#include "trace_capture.h"

namespace {

TEST(SNMPserverQueuesTest, RequestsQueueInOrderOnARunningServer) {
  BareAnchor anchor;
  ProcessEntry* network = ZEVP_InitializeProcessEntry(anchor.get());
  ProcessEntry* lists = ZEVP_InitializeProcessEntry(anchor.get());
  anchor->networkManagementEntry = network;
  anchor->managedNodeListEntry = lists;
  NetworkManageEntry first{}, second{};
  second.nextRequest = &first;  // a stale link is cleared
  ManagedNodeListEntry list{};
  EXPECT_EQ(ZEVP_EnqueueNetManageToServer(anchor.get(), &first), 1);
  EXPECT_EQ(ZEVP_EnqueueNetManageToServer(anchor.get(), &second), 1);
  EXPECT_EQ(ZEVP_EnqueueManagedNodeListToServer(anchor.get(), &list), 1);
  EXPECT_EQ(network->requestQueue, &first);
  EXPECT_EQ(first.nextRequest, &second);
  EXPECT_EQ(second.nextRequest, nullptr);
  EXPECT_EQ(first.Anchor, anchor.get());
  EXPECT_EQ(lists->requestQueue, &list);
  EXPECT_EQ(ZEVP_EnqueueNetManageToServer(anchor.get(), nullptr), 0);
  EXPECT_EQ(ZEVP_EnqueueManagedNodeListToServer(anchor.get(), nullptr), 0);
  anchor->networkManagementEntry = anchor->managedNodeListEntry = nullptr;
  ZEVP_DestroyProcessEntry(network);
  ZEVP_DestroyProcessEntry(lists);
}

TEST(SNMPserverQueuesTest, WithoutTheServerARequestIsRefused) {
  BareAnchor anchor;
  TraceCapture trace("*=0x80");
  NetworkManageEntry request{};
  ManagedNodeListEntry list{};
  EXPECT_EQ(ZEVP_EnqueueNetManageToServer(anchor.get(), &request), 0);
  EXPECT_EQ(ZEVP_EnqueueManagedNodeListToServer(anchor.get(), &list), 0);
  EXPECT_TRUE(trace.contains("Network Monitoring Server is inactive. Request not performed."));
  EXPECT_TRUE(trace.contains("Managed Node List Server is inactive. Request not performed."));
}

}  // namespace
