// Releasing the model: whole applications, single attributes, help texts and I/O
// entries, on hand-built models. A release that forgets storage fails under the
// leak checker; one that frees twice under the address checker.
#include "model_release.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "bare_anchor.h"
#include "hand_built_model.h"
#include "routine_overrides.h"
#include "trace_capture.h"

namespace {

std::vector<std::string> ApplicationNames(DPAB* anchor) {
  std::vector<std::string> names;
  for (ApplicationEntry* application = anchor->applications; application != nullptr; application = application->next)
    names.push_back(application->ApplName);
  return names;
}

// Releasing the head, a middle and the last application leaves the others, their
// I/O entries and their offline copies in place.
TEST(ModelReleaseTest, ApplicationIsReleasedWholeAndTheListStaysWellFormed) {
  struct Case {
    int released;
    std::vector<std::string> left;
  };
  const Case cases[] = {{0, {"APPL1", "APPL2"}}, {1, {"APPL0", "APPL2"}}, {2, {"APPL0", "APPL1"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.released);
    BareAnchor anchor;
    std::vector<ApplicationEntry*> applications;
    for (int n = 0; n < 3; ++n) applications.push_back(AddFullApplication(anchor.get(), n));
    ModelCounts before = CountModel(anchor.get());
    ASSERT_EQ(before.applications, 3);
    ASSERT_EQ(before.sources, 12);
    ASSERT_EQ(before.offlineCopies, 3);

    ZEVP_ReleaseApplResources(anchor.get(), applications[c.released], 1);
    EXPECT_EQ(ApplicationNames(anchor.get()), c.left);
    ModelCounts after = CountModel(anchor.get());
    EXPECT_EQ(after.tables, 4);
    EXPECT_EQ(after.sources, 8);
    EXPECT_EQ(after.attributes, 24);
    EXPECT_EQ(after.ioEntries, 8);
    EXPECT_EQ(after.fileIOEntries, 4);
    EXPECT_EQ(after.sockIOEntries, 4);
    EXPECT_EQ(after.offlineCopies, 2) << "the released application's copy goes with it";
    for (ApplicationEntry* application : applications)
      if (application != applications[c.released]) ZEVP_ReleaseApplResources(anchor.get(), application, 1);
    ModelCounts none = CountModel(anchor.get());
    EXPECT_EQ(none.applications + none.ioEntries + none.offlineCopies, 0);
  }
}

TEST(ModelReleaseTest, ApplicationWithoutGroupsIsFreed) {
  BareAnchor anchor;
  ApplicationEntry* application = AddApplication(anchor.get(), "EMPTY");
  TraceCapture capture("*=0x02");
  ZEVP_ReleaseApplResources(anchor.get(), application, 0);
  EXPECT_EQ(anchor->applications, nullptr);
  EXPECT_TRUE(capture.contains("Freeing ApplicationEntry @"));
}

// The anchor keeps references into the log and Internet applications; they must
// not outlive the records.
TEST(ModelReleaseTest, AnchorForgetsRecordsOfAReleasedApplication) {
  BareAnchor anchor;
  ApplicationEntry* keep = AddFullApplication(anchor.get(), 1);
  ApplicationEntry* release = AddFullApplication(anchor.get(), 2);
  SourceEntry* logSource = release->FirstTable->FirstSource;
  anchor->logSource = logSource;
  anchor->logTimeAttribute = logSource->FirstAttribute;
  anchor->logTextAttribute = logSource->FirstAttribute->next;
  anchor->managedURLSource = keep->FirstTable->FirstSource;
  anchor->snmpManagerTables[3] = release->FirstTable->next;
  ZEVP_ReleaseApplResources(anchor.get(), release, 1);
  EXPECT_EQ(anchor->logSource, nullptr);
  EXPECT_EQ(anchor->logTimeAttribute, nullptr);
  EXPECT_EQ(anchor->logTextAttribute, nullptr);
  EXPECT_EQ(anchor->snmpManagerTables[3], nullptr);
  EXPECT_EQ(anchor->managedURLSource, keep->FirstTable->FirstSource);
  ZEVP_ReleaseApplResources(anchor.get(), keep, 1);
}

// The unregistration the release asks of the DCH client, recorded.
struct UnregisterRequest {
  SourceEntry* source = nullptr;
  int32_t state = -1;
  ProcessEntry* waiter = nullptr;
  int32_t ownerAtWait = 0;
};
UnregisterRequest request;

void RecordState(SourceEntry* source, int32_t state) {
  request.source = source;
  request.state = state;
}

void RecordWait(DPAB*, ProcessEntry* caller, SourceEntry* source) {
  request.waiter = caller;
  request.ownerAtWait = source->OwningTask == caller;
}

TEST(ModelReleaseTest, ApplicationIsUnregisteredThroughItsFirstSourceUnlessKept) {
  for (int keepRegistration : {0, 1}) {
    SCOPED_TRACE(keepRegistration);
    BareAnchor anchor;
    anchor->pStatPE = ZEVP_InitializeProcessEntry(anchor.get());
    RoutineOverrides overrides;
    overrides.routines().updateSourceEntryState = RecordState;
    overrides.routines().queueAndWaitDCHstatus = RecordWait;
    request = UnregisterRequest{};
    ApplicationEntry* application = AddFullApplication(anchor.get(), 1);
    SourceEntry* first = application->FirstTable->FirstSource;
    ZEVP_ReleaseApplResources(anchor.get(), application, keepRegistration);
    if (keepRegistration) {
      EXPECT_EQ(request.source, nullptr);
    } else {
      EXPECT_EQ(request.source, first);
      EXPECT_EQ(request.state, ZEVP_Unregister);
      // The test's thread has no entry of its own: the lent one waits.
      EXPECT_EQ(request.waiter, anchor->pStatPE);
      EXPECT_EQ(request.ownerAtWait, 1);
    }
    ZEVP_DestroyProcessEntry(anchor->pStatPE);
  }
}

TEST(ModelReleaseTest, ReleasingFirstOrLastAttributeKeepsBothOrdersWellFormed) {
  struct Case {
    const char* name;
    int released;
    std::vector<std::string> left;
  };
  const Case cases[] = {{"first", 0, {"B", "C"}}, {"middle", 1, {"A", "C"}}, {"last", 2, {"A", "B"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BareAnchor anchor;
    ApplicationEntry* application = AddApplication(anchor.get(), "ATTRS");
    SourceEntry* source = AddSource(anchor.get(), AddTable(application, "G"), 'S');
    std::vector<AttributeEntry*> attributes;
    for (const char* name : {"A", "B", "C"}) attributes.push_back(AddAttribute(source, name, true));
    ZEVP_ReleaseAttributeEntry(source, attributes[c.released]);
    std::vector<std::string> definition, sequence;
    for (AttributeEntry* a = source->FirstAttribute; a != nullptr; a = a->next) definition.push_back(a->AttrName);
    for (AttributeEntry* a = source->FirstInSequence; a != nullptr; a = a->NextInSequence)
      sequence.push_back(a->AttrName);
    EXPECT_EQ(definition, c.left);
    EXPECT_EQ(sequence, c.left);
    ZEVP_ReleaseApplResources(anchor.get(), application, 1);
  }
}

TEST(ModelReleaseTest, AttributeOfAnotherSourceIsLeftAlone) {
  BareAnchor anchor;
  ApplicationEntry* application = AddApplication(anchor.get(), "ATTRS");
  TableEntry* table = AddTable(application, "G");
  SourceEntry* one = AddSource(anchor.get(), table, 'S');
  SourceEntry* other = AddSource(anchor.get(), table, 'S');
  AttributeEntry* attribute = AddAttribute(other, "X");
  TraceCapture capture("*=0x80");
  ZEVP_ReleaseAttributeEntry(one, attribute);
  EXPECT_EQ(other->FirstAttribute, attribute);
  EXPECT_TRUE(capture.contains("not in the list of source"));
  ZEVP_ReleaseApplResources(anchor.get(), application, 1);
}

TEST(ModelReleaseTest, GroupHelpIsFreedAndNoAttributeStillPointsIntoIt) {
  BareAnchor anchor;
  ApplicationEntry* application = AddFullApplication(anchor.get(), 1);
  ZEVP_ReleaseApplGroupHelp(application);
  EXPECT_EQ(application->ApplHelp, nullptr);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    EXPECT_EQ(table->HelpBuffer, nullptr);
    EXPECT_EQ(table->HelpBufferSize, 0);
    EXPECT_EQ(table->HelpFillPoint, 0);
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) {
      for (AttributeEntry* a = source->FirstAttribute; a != nullptr; a = a->next) EXPECT_EQ(a->HelpText, nullptr);
      for (AttributeEntry* a = source->SavedRows; a != nullptr; a = a->next) EXPECT_EQ(a->HelpText, nullptr);
    }
  }
  ZEVP_ReleaseApplResources(anchor.get(), application, 1);
}

// I/O entries of every kind leave all the lists that hold them, in any position.
TEST(ModelReleaseTest, IOEntryLeavesItsListsAndClosesItsConnection) {
  BareAnchor anchor;
  std::vector<IOEntry*> entries;
  for (char kind : {'F', 'S', 'B', 'A', 'S', 'F'}) entries.push_back(AddIOEntry(anchor.get(), nullptr, kind, 3));
  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  entries[4]->ConnectionSocket = sockets[0];
  entries[5]->Stream = tmpfile();

  for (IOEntry* entry : {entries[4], entries[0], entries[5], entries[2]}) ZEVP_ReleaseIOResources(anchor.get(), entry);
  EXPECT_EQ(fcntl(sockets[0], F_GETFD), -1) << "the connection socket is closed";
  close(sockets[1]);
  ModelCounts counts = CountModel(anchor.get());
  EXPECT_EQ(counts.ioEntries, 2);
  EXPECT_EQ(counts.fileIOEntries, 0);
  EXPECT_EQ(counts.sockIOEntries, 1);
  EXPECT_EQ(counts.apiIOEntries, 0);
  EXPECT_EQ(counts.appcIOEntries, 1);
  EXPECT_EQ(anchor->ioEntries, entries[1]);
  EXPECT_EQ(anchor->ioEntries->NextAll, entries[3]);

  TraceCapture capture("*=0x80");
  ZEVP_ReleaseIOResources(anchor.get(), nullptr);
  EXPECT_TRUE(capture.contains("Received NULL IO pointer. Exiting..."));
  for (IOEntry* entry : {entries[1], entries[3]}) ZEVP_ReleaseIOResources(anchor.get(), entry);
}

}  // namespace
