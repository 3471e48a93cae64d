// A small table of the tests, served through the framework stand-in: its own table
// manager and request class, rows per subnode that the test sets, and a command
// callback whose result the command picks. Used in process by the framework's tests
// and by zevrafhost.
//
// Columns: 0 ORIGINNODE (text 32, "Node_Name"), 1 DV1 (text 16, "Job_Name"),
// 2 DV2 (4-byte integer, "Count"), 3 DV3 (2-byte integer, no attribute name).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "pxraf.h"
#include "table_manager.h"

namespace rafdemo {

constexpr char kApplication[] = "DEMOAPP";
constexpr char kTable[] = "DEM0000100";
constexpr int kRowSize = 54;

// One row in the table's layout.
std::string Row(const std::string& origin, const std::string& job, int32_t count, int16_t level);

class DemoRequest;

class DemoManager : public TableManager {
 public:
  DemoManager(const char* application = kApplication, const char* table = kTable);
  ~DemoManager() override;

  Pxraf* CreatePxraf(RequestDetail* detail, ContextInfo* context) override;

  // The rows a sample gives for the subnode.
  void SetRows(const std::string& subnode, const std::vector<std::string>& rows);
  std::vector<std::string> RowsOf(const std::string& subnode);
  // Offers a row to every open request as a table agent pushes an event: under the
  // manager's lock, each request pinned, AddData, Dispatch, ClearCount, Drop. The last
  // non-zero Dispatch status, else 0.
  int PushEvent(const std::string& row);

  // Called inside TakeSample and inside a request's destructor, when set.
  std::function<void()> duringSample;
  std::function<void()> duringDestruction;
  // CreatePxraf makes no request while set.
  std::atomic<bool> refuseRequests{false};
  std::atomic<int> requestsMade{0};
  std::atomic<int> requestsDeleted{0};

 private:
  std::mutex rowsLock_;
  std::map<std::string, std::vector<std::string>> rows_;
};

// What a request of the demo table saw of its request when it was made.
class DemoRequest : public Pxraf {
 public:
  DemoRequest(RequestDetail* detail, ContextInfo* context, DemoManager* manager);
  ~DemoRequest() override;

  void TakeSample() override;
  int NumColumns() override;
  int GetColumnInfo(ColumnInfo* info, int column) override;

  std::vector<std::string> subnodes;  // as GetSubnode gave them
  std::vector<FLT1_FILTERINFO> filters;  // as GetFilterInfo gave them, up to its 63
  std::vector<std::string> filterValues;
  int filterEnd = 0;

 private:
  DemoManager* manager_;
};

// What the command callback saw.
struct SeenCommand {
  std::string command;
  std::string table;
  std::string situation;
  std::vector<std::string> subnodes;
  std::string firingRow;  // the request's row DataRowNum, empty when none
  int automation = 0;
};
// The command callback: the result is n for a command that begins "RESULT n", else 0.
int DemoCommand(PxrafAutomationCapsule* capsule);
// The commands seen since the last take; clears them.
std::vector<SeenCommand> TakeSeenCommands();

}  // namespace rafdemo
