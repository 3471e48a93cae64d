#include "trap_emitter.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "action_entry.h"
#include "ber_message_writer.h"
#include "bsv1.h"
#include "dp_anchor.h"
#include "trap_parameters.h"
#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/env.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int32_t kNoDestination = 14;
constexpr int32_t kSendFailed = 15;
constexpr uint32_t kTrapBufferSize = 4096;
constexpr int kIpAddress = 0x40;
constexpr int kTimeTicks = 0x43;
constexpr int32_t kEnterpriseSpecific = 6;
constexpr int32_t kSpecificTrap = 8;
constexpr size_t kResultTextSize = 256;
// An address is added to the result text only while more than this much room is left.
constexpr size_t kResultAddressRoom = 16;
constexpr char kEmittedText[] = "SNMP trap emitted to agents: ";

// The encoded object identifiers of the trap, in VarBind order after the enterprise.
enum TrapOID { Enterprise, SitName, SitOriginNode, SitTimeStamp, SitSeverity, SitCategory, SitPredicates,
               SitAttrList, TrapOIDcount };
constexpr const char* TrapOIDtext[TrapOIDcount] = {
    "1.3.6.1.4.1.8541.1.3",          "1.3.6.1.4.1.8541.1.2.1.1.1.1", "1.3.6.1.4.1.8541.1.2.1.1.1.2",
    "1.3.6.1.4.1.8541.1.2.1.1.1.3",  "1.3.6.1.4.1.8541.1.2.1.1.1.6", "1.3.6.1.4.1.8541.1.2.1.4.0",
    "1.3.6.1.4.1.8541.1.2.1.1.1.5",  "1.3.6.1.4.1.8541.1.2.1.5.0"};

// Made once for the process; sends are serialised by EmitSockUseLock.
struct Emitter {
  int EmitSock = -1;
  sockaddr_in local{};
  std::string oid[TrapOIDcount];
  std::string DefaultAgentCommunity;
  std::mutex EmitSockUseLock;
};

std::once_flag EmitterOnce;
Emitter* emitter = nullptr;

Emitter& TheEmitter() {
  std::call_once(EmitterOnce, [] {
    emitter = new Emitter;
    for (int i = 0; i < TrapOIDcount; ++i) {
      char* block = nullptr;
      int32_t length = 0;
      if (ZEV0_FormatOIDfromString(TrapOIDtext[i], &block, &length) != 0) emitter->oid[i].assign(block, length);
      ZEV0_FreeStorage(&block);
    }
    emitter->DefaultAgentCommunity = ZEV0_GetEnv("ZEVP_TRAP_EMIT_COMMUNITY", "willow");
    emitter->EmitSock = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &emitter->local, 1);
    if (emitter->EmitSock >= 0) TRC(TRC_DETAIL, "Socket %u opened for emitting SNMP traps", emitter->EmitSock);
  });
  return *emitter;
}

// One VarBind: its OID and an OCTET STRING, or NULL when the text is absent.
struct VarBind {
  const std::string* oid;
  int tag;
  int32_t number;
  const std::string* text;

  uint32_t valueSize() const {
    if (tag == ZEV0_ASN_INTEGER) return BerMessageWriter::IntegerFieldSize(number);
    return BerMessageWriter::FieldSize(text != nullptr ? static_cast<uint32_t>(text->size()) : 0);
  }
  uint32_t contentSize() const { return static_cast<uint32_t>(oid->size()) + valueSize(); }
  void write(BerMessageWriter& out) const {
    out.header(ZEV0_ASN_SEQUENCE, contentSize());
    out.raw(oid->data(), static_cast<uint32_t>(oid->size()));
    if (tag == ZEV0_ASN_INTEGER)
      out.integer(ZEV0_ASN_INTEGER, number);
    else if (text != nullptr)
      out.field(ZEV0_ASN_OCTETSTRING, text->data(), static_cast<uint32_t>(text->size()));
    else
      out.header(ZEV0_ASN_NULL, 0);
  }
};

VarBind textVarBind(const Emitter& e, TrapOID oid, const std::optional<std::string>& text) {
  return VarBind{&e.oid[oid], ZEV0_ASN_OCTETSTRING, 0, text ? &*text : nullptr};
}

// The whole trap message into out; false when it does not fit.
bool buildTrap(const Emitter& e, const TrapRequest& request, int32_t upSeconds, BerMessageWriter& out) {
  VarBind binds[7];
  int count = 0;
  binds[count++] = textVarBind(e, SitName, request.situation);
  binds[count++] = textVarBind(e, SitOriginNode, request.node);
  binds[count++] = textVarBind(e, SitTimeStamp, request.time);
  binds[count++] = VarBind{&e.oid[SitSeverity], ZEV0_ASN_INTEGER, TrapSeverityCode(request.severity), nullptr};
  binds[count++] = VarBind{&e.oid[SitCategory], ZEV0_ASN_INTEGER, TrapCategoryCode(request.category), nullptr};
  if (request.predicates) binds[count++] = textVarBind(e, SitPredicates, request.predicates);
  if (request.attributes) binds[count++] = textVarBind(e, SitAttrList, request.attributes);

  uint32_t varBinds = 0;
  for (int i = 0; i < count; ++i) varBinds += BerMessageWriter::FieldSize(binds[i].contentSize());
  const auto& enterprise = e.oid[Enterprise];
  const uint32_t pdu = static_cast<uint32_t>(enterprise.size()) + BerMessageWriter::FieldSize(4) +
                       BerMessageWriter::IntegerFieldSize(kEnterpriseSpecific) +
                       BerMessageWriter::IntegerFieldSize(kSpecificTrap) +
                       BerMessageWriter::IntegerFieldSize(upSeconds) + BerMessageWriter::FieldSize(varBinds);
  const auto communityLength = static_cast<uint32_t>(e.DefaultAgentCommunity.size());
  const uint32_t message = BerMessageWriter::IntegerFieldSize(0) + BerMessageWriter::FieldSize(communityLength) +
                           BerMessageWriter::FieldSize(pdu);

  out.header(ZEV0_ASN_SEQUENCE, message);
  out.integer(ZEV0_ASN_INTEGER, 0);
  out.field(ZEV0_ASN_OCTETSTRING, e.DefaultAgentCommunity.data(), communityLength);
  out.header(0xA4, pdu);
  out.raw(enterprise.data(), static_cast<uint32_t>(enterprise.size()));
  out.field(kIpAddress, &e.local.sin_addr, 4);
  out.integer(ZEV0_ASN_INTEGER, kEnterpriseSpecific);
  out.integer(ZEV0_ASN_INTEGER, kSpecificTrap);
  out.integer(kTimeTicks, upSeconds);
  out.header(ZEV0_ASN_SEQUENCE, varBinds);
  for (int i = 0; i < count; ++i) binds[i].write(out);
  return out.ok();
}

void traceRequest(const TrapRequest& r) {
  auto shown = [](const std::optional<std::string>& value) { return value ? value->c_str() : "NONE"; };
  TRC(TRC_DETAIL, "Processing SNMP emit trap request:");
  TRC(TRC_DETAIL, "   Destinations----------{%s}", shown(r.destinations));
  TRC(TRC_DETAIL, "   SituationName---------{%s}", shown(r.situation));
  TRC(TRC_DETAIL, "   SituationTime---------{%s}", shown(r.time));
  TRC(TRC_DETAIL, "   ManagedSystem---------{%s}", shown(r.node));
  TRC(TRC_DETAIL, "   Severity--------------{%s}", shown(r.severity));
  TRC(TRC_DETAIL, "   Category--------------{%s}", shown(r.category));
  TRC(TRC_DETAIL, "   SituationPredicates---{%s}", shown(r.predicates));
  TRC(TRC_DETAIL, "   ResultList------------{%s}", shown(r.attributes));
}

void setResult(ActionEntry* entry, int32_t status, const std::string& text) {
  entry->ActionStatus = status;
  ZEVP_SetActionResult(entry, text.empty() ? nullptr : text.c_str());
  entry->ResultLength = entry->ActionResult != nullptr ? static_cast<int32_t>(text.size()) : 0;
}

std::string sendFailedText(long rc, int error) {
  char text[kResultTextSize];
  std::snprintf(text, sizeof text, "Send trap rc=%ld errno=%d", rc, error);
  return text;
}

}  // namespace

void ZEVP_EmitSNMPtrap(DPAB* anchor, ActionEntry* entry) {
  Emitter& e = TheEmitter();
  const TrapRequest request = ParseTrapRequest(entry->ActionParm);
  traceRequest(request);

  sockaddr_in* own = nullptr;
  int32_t count = 0;
  const sockaddr_in* destinations = anchor->trapDestinations;
  int32_t destinationCount = anchor->trapDestinationCount;
  if (request.destinations && *request.destinations != "_DEFAULT") {
    own = ZEVP_ConstructTrapDestinationArray(request.destinations->c_str(), &count);
    destinations = own;
    destinationCount = count;
  }
  if (destinations == nullptr || destinationCount < 1) {
    TRC(TRC_ERROR, "*****No SNMP trap destination");
    setResult(entry, kNoDestination, "");
    ZEV0_FreeStorage(&own);
    return;
  }

  BSV1_Time now;
  BSV1_GetTime(&now);
  const auto upSeconds = static_cast<int32_t>(now.seconds - static_cast<int64_t>(anchor->startTime));
  char message[kTrapBufferSize];
  BerMessageWriter out(message, sizeof message);
  if (!buildTrap(e, request, upSeconds, out)) {
    TRC(TRC_ERROR, "*****SNMP trap does not fit in %u bytes: not sent", kTrapBufferSize);
    setResult(entry, kSendFailed, sendFailedText(0, EMSGSIZE));
    ZEV0_FreeStorage(&own);
    return;
  }

  long rc = 0;
  int error = 0;
  std::string sentTo;
  {
    std::lock_guard<std::mutex> hold(e.EmitSockUseLock);
    for (int32_t i = 0; i < destinationCount; ++i) {
      const sockaddr_in& to = destinations[i];
      if (to.sin_addr.s_addr == 0) {
        TRC(TRC_DETAIL, "Unresolved trap destination %d bypassed", i);
        continue;
      }
      char dotted[INET_ADDRSTRLEN] = "?";
      inet_ntop(AF_INET, &to.sin_addr, dotted, sizeof dotted);
      rc = sendto(e.EmitSock, message, out.length(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
      error = rc < 1 ? errno : 0;
      TRC(TRC_DETAIL, "SNMP trap Sendto %s[%d], rc=%ld, errno=%d", dotted, ntohs(to.sin_port), rc, error);
      if (rc < 1) {
        TRC(TRC_ERROR, "*ERROR: Send SNMP trap failed. rc=%ld, errno=%d", rc, error);
        break;
      }
      if (sizeof kEmittedText - 1 + sentTo.size() + kResultAddressRoom < kResultTextSize - 1)
        sentTo.append(dotted).append(", ");
    }
  }
  ZEV0_FreeStorage(&own);
  if (rc < 1) {
    setResult(entry, kSendFailed, sendFailedText(rc, error));
    return;
  }
  if (sentTo.size() >= 2) sentTo.resize(sentTo.size() - 2);
  setResult(entry, 0, kEmittedText + sentTo);
}
