// Managed node lists: loading list files (filters, exclusions, ports, names), the
// configuration file that follows the loaded lists, the packaged lists, whole-word
// edits of a list file, the filters over discovered nodes and network expansion.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <thread>
#include <string>
#include <vector>

#include "bare_anchor.h"
#include "data_provider_run.h"
#include "engine_routines.h"
#include "host_name_table.h"
#include "managed_node_filters.h"
#include "managed_node_list.h"
#include "managed_node_list_edit.h"
#include "managed_node_list_file.h"
#include "network_node_expansion.h"
#include "process_entry.h"
#include "routine_overrides.h"
#include "snmp_collection_environment.h"
#include "trace_capture.h"
#include "zev0/storage.h"

namespace {

const ScratchDirectory& Work() {
  return SnmpCollectionWork({"SNMP_HOTLIST_TO_LOAD=hot1.lst, hot2.lst"});
}

struct Node {
  std::string address;
  uint16_t port;
  bool monitored;
  bool operator==(const Node& other) const {
    return address == other.address && port == other.port && monitored == other.monitored;
  }
};

std::ostream& operator<<(std::ostream& out, const Node& node) {
  return out << node.address << ":" << node.port << (node.monitored ? "" : " excluded");
}

std::vector<Node> NodesOf(ManagedNodeListEntry* list) {
  std::vector<Node> nodes;
  for (const sockaddr_in& node : list->nodes) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &node.sin_addr, text, sizeof text);
    nodes.push_back({text, ntohs(node.sin_port), node.sin_family == ZEVP_NODE_MONITORED});
  }
  return nodes;
}

class ManagedNodeListTest : public ::testing::Test {
 protected:
  void SetUp() override { Work().remove("ZEVSLIST"); }
  void TearDown() override { ZEVP_ShutdownSNMPManagedNodeListTask(anchor_.get()); }

  int load(const std::string& name, const std::string& content) {
    Work().write(name, content);
    return ZEVP_LoadSNMPManagedNodeList(anchor_.get(), name.c_str());
  }

  BareAnchor anchor_;
  HostNameTable names_{{{"10.0.0.1", "host1"}, {"10.0.0.10", "host10"}, {"10.0.0.2", "web1"}}};
};

TEST_F(ManagedNodeListTest, ListFilesLoadAsTheirLinesSay) {
  struct Case {
    const char* label;
    std::string content;
    std::string listName;
    int32_t filterType;
    std::string filterValue;
    std::vector<Node> nodes;
    const char* trace;
  };
  const std::vector<Case> cases = {
      {"filter only: a list without nodes", "* comment\nFILTER=( NAME web* )\n", "nodes", ZEVP_FILTER_NAME_STARTS,
       "web", {}, nullptr},
      {"names, exclusions and a port", "host1 -127.0.0.5\r\n\n127.0.0.6[1161]  host10\nnosuch\n", "nodes", 0, "",
       {{"10.0.0.1", 0, true}, {"127.0.0.5", 0, false}, {"127.0.0.6", 1161, true}, {"10.0.0.10", 0, true}},
       "Input node name <nosuch> in file"},
      {"LISTNAME twice: the last wins", "ListName= first\n127.0.0.1\nLISTNAME=  SecondNameIsLongerThan16\n", "SecondNameIsLong",
       0, "", {{"127.0.0.1", 0, true}},
       "Warning: More than one LISTNAME statement found in input file"},
      {"the same node twice", "127.0.0.1 127.0.0.1 -127.0.0.1\n", "nodes", 0, "", {{"127.0.0.1", 0, true}},
       "Add bypassed. Node <127.0.0.1> is already being monitored"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TraceCapture trace("*=0xFF");
    ASSERT_EQ(load("nodes.lst", c.content), 1);
    ManagedNodeListEntry* list = ZEVP_LocateManagedNodeListFromInputFileName("nodes.lst");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->listName, c.listName);
    EXPECT_EQ(list->filterType, c.filterType);
    EXPECT_EQ(list->filterValue, c.filterValue);
    EXPECT_EQ(NodesOf(list), c.nodes);
    EXPECT_EQ(list->changed, 1);
    if (c.trace != nullptr) {
      EXPECT_TRUE(trace.contains(c.trace));
    }
    EXPECT_EQ(ZEVP_LocateManagedNodeListFromListName(("  " + c.listName + " rest").c_str()), list);
  }
  EXPECT_EQ(Work().read("ZEVSLIST"), "nodes.lst\n") << "a reload replaces the list";
}

TEST_F(ManagedNodeListTest, FilterStatementsGiveTheirTypeAndValue) {
  struct Case {
    std::string line;
    int32_t type;
    std::string value;
  };
  const std::vector<Case> cases = {
      {"FILTER=( NAME abc* )", ZEVP_FILTER_NAME_STARTS, "abc"},
      {"filter=(NAME *abc)", ZEVP_FILTER_NAME_ENDS, "abc"},
      {"FILTER=( NAME **abc*def )", ZEVP_FILTER_NAME_CONTAINS, "abc"},
      {"FILTER=( NAME * )", ZEVP_FILTER_NAME_ENDS, ""},
      {"FILTER=( type ah )", ZEVP_FILTER_NODE_TYPE, "Applications Hosts "},
      {"FILTER=( TYPE RBGHA )", ZEVP_FILTER_NODE_TYPE, "Applications Hosts Gateways Bridges Repeaters "},
      {"FILTER=( DESC 'x y' )", ZEVP_FILTER_DESCRIPTION, "x y"},
      {"FILTER=( EOID 1.3.6.1.4.1.99 more )", ZEVP_FILTER_ENTERPRISE_OID, "1.3.6.1.4.1.99"},
      {"FILTER=( SIZE 3 )", ZEVP_FILTER_NONE, ""},
      {"FILTER= NAME abc", ZEVP_FILTER_NONE, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string text = c.line + "\n";
    FILE* file = fmemopen(text.data(), text.size(), "r");
    ManagedNodeListText list = ZEVP_ReadManagedNodeListText(file, "case");
    std::fclose(file);
    EXPECT_EQ(list.filterType, c.type);
    EXPECT_EQ(list.filterValue, c.value);
    EXPECT_TRUE(list.nodeWords.empty());
  }
}

TEST_F(ManagedNodeListTest, ListsComeAndGoWithTheirFilesAndTheConfigurationFileFollows) {
  TraceCapture trace("*=0xFF");
  EXPECT_EQ(load("empty.lst", "* neither nodes nor a filter\n"), 1);
  EXPECT_EQ(ZEVP_LocateManagedNodeListFromInputFileName("empty.lst"), nullptr);
  ASSERT_EQ(load("a.lst", "127.0.0.1\n"), 1);
  ASSERT_EQ(load("b.lst", "127.0.0.2\n"), 1);
  EXPECT_EQ(Work().read("ZEVSLIST"), "a.lst\nb.lst\n");
  EXPECT_TRUE(trace.contains("Managed Node List Server is inactive. Request not performed."));

  Work().remove("a.lst");
  EXPECT_EQ(ZEVP_LoadSNMPManagedNodeList(anchor_.get(), "a.lst"), 0);
  EXPECT_TRUE(trace.contains("MNL input file a.lst already exists in the MNL configuration file"));
  EXPECT_TRUE(trace.contains("does not exist"));
  EXPECT_EQ(ZEVP_LocateManagedNodeListFromInputFileName("a.lst"), nullptr);
  EXPECT_EQ(Work().read("ZEVSLIST"), "b.lst\n");
  EXPECT_EQ(ZEVP_LoadSNMPManagedNodeList(anchor_.get(), ""), 0);
}

// The configuration file is replaced whole, never rewritten in place: a reader that
// holds it sees it as it was, and a rewrite that cannot be made leaves it so.
TEST_F(ManagedNodeListTest, RegressionTheConfigurationFileIsReplacedWholeNeverRewrittenInPlace) {
  ASSERT_EQ(load("a.lst", "127.0.0.1\n"), 1);
  FILE* held = std::fopen(Work().file("ZEVSLIST").c_str(), "re");
  ASSERT_NE(held, nullptr);
  ASSERT_EQ(load("b.lst", "127.0.0.2\n"), 1);
  char text[64] = {};
  EXPECT_EQ(std::string(text, std::fread(text, 1, sizeof text - 1, held)), "a.lst\n");
  std::fclose(held);
  EXPECT_EQ(Work().read("ZEVSLIST"), "a.lst\nb.lst\n");

  ASSERT_EQ(mkdir(Work().file("ZEVSLIST.new").c_str(), 0700), 0);
  TraceCapture trace("*=0x90");
  ASSERT_EQ(load("c.lst", "127.0.0.3\n"), 1);
  EXPECT_EQ(Work().read("ZEVSLIST"), "a.lst\nb.lst\n");
  EXPECT_TRUE(trace.contains("***** Managed Node List configuration file " + Work().file("ZEVSLIST.new") +
                             " open failed, ErrorText <"));
  rmdir(Work().file("ZEVSLIST.new").c_str());
  ZEVP_WriteSNMPManagedNodeListConfigFile();
  EXPECT_EQ(Work().read("ZEVSLIST"), "a.lst\nb.lst\nc.lst\n");
}

TEST_F(ManagedNodeListTest, AListIsHandedToTheServerAndAReloadWaitsForItsTaskToEnd) {
  ScaledClock clock;  // the reload looks for the task's end once a second
  ProcessEntry* server = ZEVP_InitializeProcessEntry(anchor_.get());
  anchor_->managedNodeListEntry = server;
  ASSERT_EQ(load("served.lst", "127.0.0.1\n"), 1);
  ManagedNodeListEntry* handed = zevp::TakeQueuedManagedNodeLists(server);
  ASSERT_NE(handed, nullptr);
  EXPECT_EQ(handed->taskMark, 1);
  std::thread task([handed] {
    while (handed->stopRequested == 0) BSV1_Sleep(0);
    zevp::EndManagedNodeListTask(handed);
  });
  ASSERT_EQ(load("served.lst", "127.0.0.2\n"), 1);
  task.join();
  EXPECT_EQ(NodesOf(ZEVP_LocateManagedNodeListFromInputFileName("served.lst")),
            (std::vector<Node>{{"127.0.0.2", 0, true}}));

  // Still queued when stopped: the server frees it as it takes the queue, and a
  // list whose task could not start is not waited for.
  ZEVP_ShutdownSNMPManagedNodeListTask(anchor_.get());
  EXPECT_EQ(server->terminationFlag, 1);
  EXPECT_EQ(zevp::TakeQueuedManagedNodeLists(server), nullptr);
  ASSERT_EQ(load("unstarted.lst", "127.0.0.3\n"), 1);
  ManagedNodeListEntry* unstarted = zevp::TakeQueuedManagedNodeLists(server);
  ASSERT_NE(unstarted, nullptr);
  zevp::ForgoManagedNodeListTask(unstarted);
  ZEVP_ShutdownSNMPManagedNodeListTask(anchor_.get());
  EXPECT_EQ(ZEVP_LocateManagedNodeListFromInputFileName("unstarted.lst"), nullptr);
  zevp::EndManagedNodeListServer(anchor_.get(), server);
  EXPECT_EQ(anchor_->managedNodeListEntry.load(), nullptr);
  ZEVP_DestroyProcessEntry(server);
}

TEST_F(ManagedNodeListTest, PackagedListsLoadInPlaceOfTheConfigurationFile) {
  Work().write("ZEVSLIST", "configured.lst\n");
  Work().write("configured.lst", "127.0.0.9\n");
  Work().write("hot1.lst", "127.0.0.1\n");
  Work().write("hot2.lst", "127.0.0.2\n");
  ASSERT_EQ(load("hot2.lst", "127.0.0.2\n"), 1);
  TraceCapture trace("*=0xFF");
  ZEVP_ReadSNMPManagedNodeListConfigFile(anchor_.get());
  EXPECT_TRUE(trace.contains("Loading Packaged Solution Managed Node List hot1.lst"));
  EXPECT_TRUE(trace.contains("Packaged solution node list hot2.lst already pre-loaded"));
  EXPECT_EQ(ZEVP_LocateManagedNodeListFromInputFileName("configured.lst"), nullptr);
  EXPECT_EQ(Work().read("ZEVSLIST"), "hot2.lst\nhot1.lst\n");
}

TEST_F(ManagedNodeListTest, AnExcludedNodeAddedAgainIsActiveInTheArrayAndInTheFile) {
  ASSERT_EQ(load("ex.lst", "-127.0.0.5 127.0.0.50\n"), 1);
  ManagedNodeListEntry* list = ZEVP_LocateManagedNodeListFromInputFileName("ex.lst");
  list->changed = 0;
  BSV1_GetLock(&list->lock);
  EXPECT_EQ(ZEVP_AddNodeToManagedNodeArray(list, "127.0.0.5", 0), 1);
  BSV1_ReleaseLock(&list->lock);
  ZEVP_AddManagedNodeListFile("ex.lst", "127.0.0.5");
  EXPECT_EQ(NodesOf(list), (std::vector<Node>{{"127.0.0.5", 0, true}, {"127.0.0.50", 0, true}}));
  EXPECT_EQ(list->changed, 1);
  EXPECT_EQ(Work().read("ex.lst"), "127.0.0.5 127.0.0.50\n");

  sockaddr_in address{};
  inet_pton(AF_INET, "127.0.0.50", &address.sin_addr);
  BSV1_GetLock(&list->lock);
  EXPECT_EQ(ZEVP_RemoveNodeFromManagedNodeArray(list, &address), 1);
  EXPECT_EQ(ZEVP_RemoveNodeFromManagedNodeArray(list, &address), 0);
  BSV1_ReleaseLock(&list->lock);
  EXPECT_EQ(NodesOf(list)[1], (Node{"127.0.0.50", 0, false}));
}

TEST_F(ManagedNodeListTest, EditsFindWholeWordsAndCopyEveryLineWhole) {
  const std::string longLine = [] {
    std::string line;
    for (int n = 0; n < 70; ++n) line += "10.9.9." + std::to_string(n) + " ";
    return line;
  }();
  ASSERT_GT(longLine.size(), 600u);
  const std::string head = "* nodes\nLISTNAME=edits\n";
  struct Case {
    const char* label;
    bool add;
    const char* node;
    std::string before;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"remove a node, not its longer neighbour", false, "10.1.1.1", "10.1.1.10 10.1.1.1[1161]\n",
       "10.1.1.10 -10.1.1.1[1161]\n"},
      {"remove what is excluded already", false, "10.1.1.1", "-10.1.1.1 10.1.1.10\n", "-10.1.1.1 10.1.1.10\n"},
      {"remove what is not there", false, "10.1.1.1", "10.1.1.10\n", "10.1.1.10\n"},
      {"add a host whose longer name is there", true, "host1", "host10\n", "host10\nhost1\n"},
      {"add an excluded host", true, "host1", "host10 -host1\n", "host10 host1\n"},
      {"the long line stays whole", false, "host1", longLine + "\nhost1\n", longLine + "\n-host1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Work().write("edit.lst", head + c.before);
    if (c.add)
      ZEVP_AddManagedNodeListFile("edit.lst", c.node);
    else
      ZEVP_RemoveManagedNodeListFile("edit.lst", c.node);
    EXPECT_EQ(Work().read("edit.lst"), head + c.after);
  }
  TraceCapture trace("*=0x80");
  ZEVP_AddManagedNodeListFile("missing.lst", "host1");
  EXPECT_TRUE(trace.contains("***** Unable to open Managed Node List file"));
}

TEST_F(ManagedNodeListTest, DiscoveredNodesJoinTheListsWhoseFilterTheyMatch) {
  ASSERT_EQ(load("web.lst", "FILTER=( NAME web* )\n"), 1);
  ASSERT_EQ(load("linux.lst", "FILTER=( DESC 'Linux box' )\n127.0.0.7\n"), 1);
  struct Case {
    const char* label;
    const char* address;
    const char* name;
    const char* description;
    int outcome;
    std::string webFile;
  };
  const std::vector<Case> cases = {
      {"matches the first list only", "10.0.0.2", "web1", "Solaris", 0, "FILTER=( NAME web* )\nweb1\n"},
      {"matches the last list", "127.0.0.8", "db1", "a Linux box", 1, "FILTER=( NAME web* )\nweb1\n"},
      {"in the last list already", "127.0.0.7", "db2", "Linux box", 2, "FILTER=( NAME web* )\nweb1\n"},
      {"unresolved name: added by address", "127.0.0.9", "web9", "none", 0,
       "FILTER=( NAME web* )\nweb1\n127.0.0.9\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    char* name = static_cast<char*>(ZEV0_GetStorage(32));
    std::snprintf(name, 32, "%s", c.name);
    DiscoveredNodeRecord node{const_cast<char*>(c.address), name, nullptr, c.description, nullptr, 0};
    EXPECT_EQ(ZEVP_CheckManagedNodeFilters(&node), c.outcome);
    EXPECT_EQ(node.checked, 1);
    EXPECT_EQ(Work().read("web.lst"), c.webFile);
    ZEV0_FreeStorage(&node.nodeName);
  }
  EXPECT_EQ(NodesOf(ZEVP_LocateManagedNodeListFromInputFileName("web.lst")),
            (std::vector<Node>{{"10.0.0.2", 0, true}, {"127.0.0.9", 0, true}}));
  EXPECT_EQ(NodesOf(ZEVP_LocateManagedNodeListFromInputFileName("linux.lst")),
            (std::vector<Node>{{"127.0.0.7", 0, true}, {"127.0.0.8", 0, true}}));
}

uint32_t LoopbackIsKnown(uint32_t network) { return network == 0x7F000000 ? 0xFF000000 : 0; }

TEST_F(ManagedNodeListTest, NetworksExpandIntoTheirNodes) {
  RoutineOverrides overrides;
  overrides.routines().knownNetworkMask = LoopbackIsKnown;
  struct Case {
    const char* network;
    int count;
    const char* first;
    const char* last;
    const char* trace;
  };
  const std::vector<Case> cases = {
      {"192.168.5.0", 254, "192.168.5.1 ", "192.168.5.254 ", nullptr},
      {"10.0.0.0", 0, nullptr, nullptr, ">>>>>Non-class C network bypassed"},
      {"10.1.2.3", 0, nullptr, nullptr, ">>>>>Assume unresolved node address"},
      {"127.0.0.0", 65534, "127.0.0.1 ", "127.0.255.254 ", "Discovered network found. Range 65535"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.network);
    TraceCapture trace("*=0xFF");
    char* text = nullptr;
    EXPECT_EQ(ZEVP_ConstructNetworkNodeList(anchor_.get(), &text, c.network), c.count);
    if (c.trace != nullptr) {
      EXPECT_TRUE(trace.contains(c.trace));
    }
    if (c.first == nullptr) {
      EXPECT_EQ(text, nullptr);
      continue;
    }
    ASSERT_NE(text, nullptr);
    std::string all = text;
    EXPECT_EQ(all.substr(0, std::strlen(c.first)), c.first);
    EXPECT_EQ(all.substr(all.size() - std::strlen(c.last)), c.last);
    ZEV0_FreeStorage(&text);
  }
}

}  // namespace
