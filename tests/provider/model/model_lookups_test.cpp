// Finding applications, groups, sources and attributes of parsed models: by
// name, by OID, by an SNMP SET action's parameters and by an action's source
// node name.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "application_entry.h"
#include "attribute_entry.h"
#include "metafile_fixture.h"
#include "metafile_text.h"
#include "model_lookups.h"
#include "source_entry.h"
#include "source_node_lookups.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev0/storage.h"

namespace {

using Lines = std::vector<std::string>;

// Three applications (one of them SNMP) parsed on one anchor.
class ModelLookupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    abc_ = load("abc.mdl", {"//APPL Abc", "//NAME Disk P 60", "//ATTRIBUTES ';'", "Name D 8", "//NAME DiskIO P 60",
                            "//ATTRIBUTES ';'", "Name D 8", "//NAME cpu P 60", "//ATTRIBUTES ';'", "Busy G"});
    abcdef_ = load("abcdef.mdl", {"//APPL Abcdef", "//NAME Grp P 60", "//ATTRIBUTES", "Name D 8"});
    mib_ = load("mib.mdl", {"//SNMP TEXT", "//APPL Mib Ent 1.3.6.1.4.1.99", "//NAME System P 60", "//ATTRIBUTES",
                            "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0", "Agent_Name D 64 1.3.6.1.4.1.99.1.2",
                            "sysName D 32 1.3.6.1.4.1.99.1.5", "sysOther D 32 1.3.6.1.2.1.1.4",
                            "//NAME Ifs P 60", "//ATTRIBUTES", "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0",
                            "Agent_Name D 64 1.3.6.1.4.1.99.1.2", "ifDescr D 32 1.3.6.1.4.1.99.2.2"});
  }

  ApplicationEntry* load(const std::string& name, const Lines& lines) {
    models_.write(name, lines);
    ApplicationEntry* application = models_.parse(name).application;
    EXPECT_NE(application, nullptr) << name;
    return application;
  }

  DPAB* anchor() const { return models_.anchor(); }

  MetafileFixture models_;
  ApplicationEntry* abc_ = nullptr;
  ApplicationEntry* abcdef_ = nullptr;
  ApplicationEntry* mib_ = nullptr;
};

std::string NameOf(const ApplicationEntry* application) {
  return application != nullptr ? application->ApplName : "<none>";
}
std::string NameOf(const TableEntry* table) { return table != nullptr ? table->TableName : "<none>"; }
std::string NameOf(const AttributeEntry* attribute) { return attribute != nullptr ? attribute->AttrName : "<none>"; }
std::string NameOf(const char* name) { return name != nullptr ? name : "<none>"; }

TEST_F(ModelLookupsTest, ApplicationByName) {
  struct Case {
    const char* name;
    int32_t length;
    const char* found;
  } cases[] = {
      {"ABC", 3, "Abc"},        // the first whose upper-cased name begins with the letters
      {"ABCZ", 3, "Abc"},       // only the first `length` bytes count
      {"ABCD", 4, "Abcdef"},    //
      {"Abc", 3, "Abc"},        // the name as stored, exactly
      {"Abcdef", 3, "Abcdef"},  // exactly, whatever the length
      {"abc", 3, "<none>"},     // neither the upper-cased name nor the stored one
      {"MIB", 3, "Mib"},        //
      {"ABCDEFG", 7, "<none>"},
      {"", 0, "<none>"},  // an empty name names nothing, not the first application
      {"ABC", 0, "<none>"},
      {"ABC", -1, "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "/" + std::to_string(c.length));
    EXPECT_EQ(NameOf(ZEVP_LocateApplicationByName(anchor(), c.name, c.length)), c.found);
  }
  EXPECT_EQ(ZEVP_LocateApplicationByName(anchor(), nullptr, 3), nullptr);
}

TEST_F(ModelLookupsTest, GroupByName) {
  struct Case {
    const char* name;
    int32_t length;
    const char* found;
  } cases[] = {
      {"DISK", 4, "Disk"},   {"Disk", 4, "Disk"},     {"DISKI", 5, "DiskIO"}, {"DiskIOx", 6, "DiskIO"},
      {"cpu", 3, "cpu"},     {"CPU", 3, "cpu"},       {"Cpu", 3, "<none>"},   {"NET", 3, "<none>"},
      {"", 0, "<none>"},     {"DISK", 0, "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "/" + std::to_string(c.length));
    EXPECT_EQ(NameOf(ZEVP_LocateTableByName(abc_, c.name, c.length)), c.found);
  }
  EXPECT_EQ(ZEVP_LocateTableByName(nullptr, "DISK", 4), nullptr);
}

TEST_F(ModelLookupsTest, AttributeByOID) {
  struct Case {
    const char* oid;
    const char* found;
  } cases[] = {
      {"1.3.6.1.4.1.99.1.5", "sysName"},
      {"1.3.6.1.4.1.99.1.5.0", "sysName"},        // the scalar instance of the attribute's OID
      {"1.3.6.1.4.1.99.1.1.0", "Agent_Info"},     // an OID that holds its instance itself
      {"1.3.6.1.4.1.99.2.2", "ifDescr"},          // in the second group
      {"1.3.6.1.4.1.99.2.2.7", "<none>"},         // another instance is not the scalar one
      {"1.3.6.1.4.1.99.1", "<none>"},             //
      {"1.3.6.1.2.1.1.4", "<none>"},              // the application's enterprise OID is not within
      {"1.3.6.1.2.1.1.4.1.3.6.1.4.1.99", "<none>"},  // within, but no attribute's OID
      {"", "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.oid);
    EXPECT_EQ(NameOf(ZEVP_LocateAttributeByOID(anchor(), c.oid)), c.found);
  }
  EXPECT_EQ(ZEVP_LocateAttributeByOID(anchor(), nullptr), nullptr);
  EXPECT_EQ(ZEVP_LocateAttributeByOID(nullptr, "1.3.6.1.4.1.99.1.5"), nullptr);
}

TEST_F(ModelLookupsTest, SetAttributeFromTheActionsParameters) {
  struct Case {
    const char* parameters;
    const char* found;
  } cases[] = {
      {"APPLNAME=MIB ATTR=sysName VALUE=x", "sysName"},
      {"ATTR=ifDescr APPLNAME=Mib", "ifDescr"},  // in the second group; the names in any order
      {"APPLNAME=   MIB   ATTR=  sysName", "sysName"},  // blanks before a value skipped
      {"APPLNAME=MIB ATTR=sys", "<none>"},            // a prefix of a name is not the name
      {"APPLNAME=MIB ATTR=sysNameX", "<none>"},
      {"APPLNAME=MIB ATTR=SYSNAME", "<none>"},
      {"APPLNAME=MIB ATTR=", "<none>"},
      {"APPLNAME=MIB", "<none>"},             // no ATTR=
      {"APPLNAME=ABC ATTR=Name", "<none>"},   // not an SNMP application
      {"APPLNAME=NOPE ATTR=sysName", "<none>"},
      {"APPLNAME= ATTR=sysName", "<none>"},   // no application name: none, not the first one
      {"APPLNAME=", "<none>"},
      {"ATTR=sysName", "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parameters);
    EXPECT_EQ(NameOf(ZEVP_LocateSetAttribute(anchor(), c.parameters)), c.found);
  }
}

void SetNode(SourceEntry* source, const char* node, int32_t state) {
  ZEV0_FreeStorage(&source->pSourceNodeName);
  source->pSourceNodeName = zevp::NewStorageText(node);
  source->SourceNodeNameLength = static_cast<int32_t>(std::string(node).size());
  source->State = state;
}

// An application whose sources stand on several nodes and in several states.
class SourceNodeLookupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    models_.write("nodes.mdl", {"//APPL Nodes", "//NAME Grp1 P 60", "//SOURCE BASE a", "//SOURCE BASE b",
                                "//SOURCE BASE c", "//SOURCE BASE d", "//SOURCE BASE e", "//SOURCE BASE f",
                                "//ATTRIBUTES ';'", "Name D 8", "//NAME Grp2 P 60", "//SOURCE BASE g",
                                "//ATTRIBUTES ';'", "Name D 8", "//NAME Other P 60", "//SOURCE BASE h",
                                "//ATTRIBUTES ';'", "Name D 8"});
    nodes_ = models_.parse("nodes.mdl").application;
    ASSERT_NE(nodes_, nullptr);
    SourceEntry* source = nodes_->FirstTable->FirstSource;
    const char* names[] = {"alpha.example.com", "myserver", "pending", "ready", "input", "output"};
    int32_t states[] = {ZEVP_Active, ZEVP_Active, ZEVP_Pending, ZEVP_Ready, ZEVP_Input, ZEVP_Output};
    for (int i = 0; i < 6; ++i, source = source->next) {
      SetNode(source, names[i], states[i]);
      sources_[names[i]] = source;
    }
    grp2_ = nodes_->FirstTable->next->FirstSource;
    SetNode(grp2_, "alpha.example.com", ZEVP_Active);
    other_ = nodes_->FirstTable->next->next->FirstSource;
    SetNode(other_, "elsewhere", ZEVP_Input);
  }

  std::string Found(const char* nodeName) {
    SourceEntry* found = ZEVP_LocateSourceBySubNode(models_.anchor(), nodeName);
    if (found == nullptr) return "<none>";
    return std::string(found->Table->TableName) + "/" + found->pSourceNodeName;
  }

  MetafileFixture models_;
  ApplicationEntry* nodes_ = nullptr;
  std::map<std::string, SourceEntry*> sources_;
  SourceEntry* grp2_ = nullptr;
  SourceEntry* other_ = nullptr;
};

TEST_F(SourceNodeLookupsTest, SourceByActionSourceNodeName) {
  struct Case {
    const char* nodeName;
    const char* found;
  } cases[] = {
      {"myserver:NODESGRP103", "Grp1/myserver"},        // equal node names
      {"server:NODESGRP103", "Grp1/myserver"},          // the last characters of a longer name
      {"myserverx:NODESGRP103", "<none>"},              // longer than the source's node name
      {"Myserver:NODESGRP103", "<none>"},               //
      {"alpha:NODESGRP103", "Grp1/alpha.example.com"},  // a short host name: the first characters up to '.'
      {"alpha.ex:NODESGRP103", "Grp1/alpha.example.com"},
      {"alph:NODESGRP103", "<none>"},                   // neither its first characters up to '.' nor its last
      {"com:NODESGRP103", "Grp1/alpha.example.com"},    // its last characters, no '.' before them
      {"example.com:NODESGRP103", "<none>"},            // '.' within: the first characters are compared
      {"pending:NODESGRP103", "<none>"},                // Pending and Ready sources are never found
      {"ready:NODESGRP103", "<none>"},
      {"input:NODESGRP103", "Grp1/input"},
      {"output:NODESGRP103", "Grp1/output"},
      {"alpha.example.com:NODESGRP203", "Grp2/alpha.example.com"},  // the group named
      {"alpha.example.com:NODESG03", "Grp1/alpha.example.com"},     // the first group the name begins
      {"elsewhere:NODESOTHER03", "Other/elsewhere"},
      {"elsewhere:NODESGRP03", "<none>"},               // a node of another group
      {"myserver:NODESGRP1XX03", "<none>"},             // no group of that name
      {"myserver:NODES03", "<none>"},                   // no group name before the release
      {"myserver:NODESG", "<none>"},                    // a group part shorter than the release
      {"myserver:NODES", "<none>"},
      {"myserver:nodesGRP103", "<none>"},               // names are given upper-cased
      {"myserver:ABCGRP103", "<none>"},                 // no such application
      {":NODESGRP103", "<none>"},                       // no node part
      {"myserver", "<none>"},                           // no ':'
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nodeName);
    EXPECT_EQ(Found(c.nodeName), c.found);
  }
  TraceCapture trace("*=0x80");
  EXPECT_EQ(ZEVP_LocateSourceBySubNode(models_.anchor(), "NODESGRP103"), nullptr);
  EXPECT_TRUE(trace.contains("***** invalide action source node name format NODESGRP103"));
}

TEST_F(SourceNodeLookupsTest, PolicyLookUpListsEveryMatchInEveryGroup) {
  auto found = [this](const char* nodeName) {
    std::vector<std::string> names;
    for (SourceEntry* source : ZEVP_LocatePolicySourceBySubNode(models_.anchor(), nodeName))
      names.push_back(std::string(source->Table->TableName) + "/" + source->SourceName);
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(found("alpha:NODESGRP103"), (Names{"Grp1/a", "Grp2/g"})) << "the group part does not choose";
  EXPECT_EQ(found("alpha:NODES"), (Names{"Grp1/a", "Grp2/g"}));
  EXPECT_EQ(found("elsewhere:NODESXX03"), (Names{"Other/h"}));
  EXPECT_EQ(found("ready:NODESGRP103"), Names{});
  EXPECT_EQ(found(":NODESGRP103"), Names{});
  EXPECT_EQ(found("alpha:ABC03"), Names{});

  TraceCapture trace("*=0x90");
  EXPECT_EQ(found("alpha"), Names{});
  EXPECT_TRUE(trace.contains("*****Error: invalid action source node name format <alpha>"));
  found("alpha:NODESGRP103");
  EXPECT_TRUE(trace.contains("2 matching SourceEntry object(s) found"));
}

// Two workers looking up at once each get their own whole list.
TEST_F(SourceNodeLookupsTest, PolicyLookUpsOnTwoThreadsDoNotMixTheirLists) {
  std::vector<std::thread> workers;
  std::vector<int> wrong(2, 0);
  const char* names[] = {"alpha:NODESGRP103", "elsewhere:NODESGRP103"};
  std::vector<std::vector<SourceEntry*>> expected = {{sources_["alpha.example.com"], grp2_}, {other_}};
  for (int w = 0; w < 2; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < 500; ++i)
        if (ZEVP_LocatePolicySourceBySubNode(models_.anchor(), names[w]) != expected[w]) ++wrong[w];
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(wrong, (std::vector<int>{0, 0}));
}

}  // namespace
