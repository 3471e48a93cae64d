// What a DCH endpoint receives from the server: every reader of replies and pushed
// messages takes any bytes without reading past the smaller of the declared total
// and the bytes held, and every view it hands back lies inside the message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dch_message_parser.h"
#include "trc1.h"
#include "zev0/typed_field.h"

namespace {

// A received message, exactly as long as the bytes held.
class Received {
 public:
  Received(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
  char* data() { return bytes_.empty() ? nullptr : reinterpret_cast<char*>(bytes_.data()); }
  size_t size() const { return bytes_.size(); }
  void inside(const DCHview& view) const {
    if (view.length == 0) return;
    auto* begin = reinterpret_cast<const char*>(bytes_.data());
    if (view.data < begin || view.data + view.length > begin + bytes_.size()) std::abort();
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

// Each parser converts the message in place: each reads a copy of its own.
template <typename Parse>
void parseCopy(const uint8_t* data, size_t size, Parse parse) {
  Received message(data, size);
  parse(message);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  parseCopy(data, size, [](Received& message) {
    uint16_t code = 0;
    DCH_PeekFirstField(message.data(), message.size(), &code);
  });
  parseCopy(data, size, [](Received& message) {
    DCHstatusReply reply;
    DCH_ParseStatusReply(message.data(), message.size(), &reply);
  });
  parseCopy(data, size, [](Received& message) {
    DCHstatusReply reply;
    DCH_ParseStatusReplyWithHandle(message.data(), message.size(), &reply);
  });
  parseCopy(data, size, [](Received& message) {
    DCHview text;
    if (DCH_ParseResponse(message.data(), message.size(), &text)) message.inside(text);
  });
  parseCopy(data, size, [](Received& message) {
    DCHstatusNotice notice;
    if (!DCH_ParseStatusNotice(message.data(), message.size(), &notice)) return;
    for (const DCHview& text : {notice.applName, notice.attrGroup, notice.sourceName}) message.inside(text);
  });
  parseCopy(data, size, [](Received& message) {
    DataFieldReader row(message.data(), message.size());
    DCHrowHead head;
    if (!DCH_ParseRowHead(row, &head)) return;
    message.inside(head.sourceName);
    DCHview value;
    while (DCH_NextRowValue(row, &value)) message.inside(value);
  });
  parseCopy(data, size, [](Received& message) {
    DCHactionMessage action;
    if (!DCH_ParseActionMessage(message.data(), message.size(), &action)) return;
    for (const DCHview& text : {action.owner, action.node, action.name, action.parms}) message.inside(text);
  });
  return 0;
}
