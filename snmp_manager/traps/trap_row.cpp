#include "trap_row.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "trap_configuration.h"
#include "trap_decoder.h"
#include "trc1.h"
#include "var_bind_text.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

constexpr char kUnavailable[] = "Unavailable";
constexpr char kNoVarBinds[] = "Not included in trap";
constexpr char kSeparator = ';';

// Appends fields to the row, each followed by the separator, never beyond the
// row buffer: the field that does not fit is cut and nothing follows it.
class RowText {
 public:
  explicit RowText(std::string* text) : text_(text) { text_->clear(); }

  void field(const std::string& value) {
    if (full_) return;
    size_t room = ZEVS_TRAP_ROW_SIZE - 1 - text_->size();
    append(value, room);
    if (value.size() < room) {
      text_->push_back(kSeparator);
    } else {
      full_ = true;
    }
  }

  // The last field: cut without its separator when it is longer than the room
  // left, traced as such.
  void lastField(const std::string& value) {
    if (full_) return;
    size_t room = ZEVS_TRAP_ROW_SIZE - 1 - text_->size();
    if (value.size() + 1 > room) {
      TRC(TRC_ERROR, "*****VarBind truncated from length %d to %d", static_cast<int>(value.size()),
          static_cast<int>(room));
      append(value, room);
      full_ = true;
      return;
    }
    field(value);
  }

 private:
  // A ';' inside a value would split the row in the wrong place.
  void append(const std::string& value, size_t room) {
    size_t start = text_->size();
    text_->append(value, 0, room);
    for (size_t i = start; i < text_->size(); ++i)
      if ((*text_)[i] == kSeparator) (*text_)[i] = ',';
  }

  std::string* text_;
  bool full_ = false;
};

// A burst of traps from one agent asks the name service once.
std::string SourceName(const in_addr& address) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_addr = address;
  std::string name;
  if (zev0::RecentNameOfAddress(socketAddress, false, &name)) return name;
  char dotted[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &address, dotted, sizeof(dotted));
  return dotted;
}

std::string VarBindText(DPAB* anchor, const ZEVS_VarBindList& list) {
  char* text = ZEVS_ConvertVarBindListToString(anchor, &list);
  if (text == nullptr) {
    TRC(TRC_DETAIL, "SNMP Trap - VarBind   None");
    return "";
  }
  std::string copy = text;
  ZEV0_FreeStorage(&text);
  TRC(TRC_DETAIL, "SNMP Trap - VarBind   %s", copy.c_str());
  return copy;
}

}  // namespace

namespace zevs {

bool TrapDatagramToRow(DPAB* anchor, const char* datagram, uint32_t length, TrapRow* row) {
  DecodedTrap trap;
  if (!DecodeSNMPtrap(datagram, length, &trap)) return false;
  std::string varBinds = VarBindText(anchor, trap.varBinds);
  const int32_t generic = static_cast<int32_t>(trap.generic);
  const int32_t specific = static_cast<int32_t>(trap.specific);

  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = "";
  ZEV0_GetPlovenTime(stamp);
  TrapSpecification spec;
  row->specified = ZEVS_LocateTrapSpec(trap.enterprise.c_str(), generic, specific, &spec);

  RowText text(&row->text);
  text.field(stamp);
  text.field(trap.enterprise);
  text.field(std::to_string(generic));
  text.field(std::to_string(specific));
  text.field(SourceName(trap.agentAddress));
  if (row->specified) {
    for (const std::string* configured : {&spec.sourceText, &spec.statusText, &spec.enterpriseName, &spec.name,
                                          &spec.categoryText, &spec.severityText, &spec.description})
      text.field(*configured);
  } else {
    for (int i = 0; i < 7; ++i) text.field(kUnavailable);
  }
  size_t varBindStart = row->text.size();
  text.lastField(varBinds.empty() ? kNoVarBinds : varBinds);

  if (row->specified) {
    row->severity = spec.severity;
    row->category = spec.categoryText;
    row->severityText = spec.severityText;
    row->consoleText = "SNMP Trap: " + spec.name + ", Enterprise: " + spec.enterpriseName +
                       ", Description: " + spec.description + ", VarBind: " +
                       (varBindStart < row->text.size() ? row->text.substr(varBindStart) : std::string());
  }
  return true;
}

}  // namespace zevs
