#include "partner_replies.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "dp_anchor.h"
#include "io_entry.h"
#include "metafile_socket_io.h"
#include "partner_binding.h"
#include "partner_code_conversion.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/codepage.h"

TRC_UNIT();

namespace {

// The server thread, the periodic task and the console all reply: one at a time, so
// that no two replies mix on one connection.
std::mutex replyMutex;

std::string bigEndian(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

// A datagram to the address, or the bytes on the connection (never SIGPIPE).
ssize_t sendTo(int socket, const std::string& bytes, const sockaddr_in* address) {
  if (address == nullptr) return send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  return sendto(socket, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(address), sizeof *address);
}

// A partner whose code is not the local one: ASCII to EBCDIC here, the other way
// on a host whose code is EBCDIC.
void toPartnerCode(std::string* text) {
  int32_t length = static_cast<int32_t>(text->size());
  if (Local_A == NETWORK_A)
    ZEV0_ConvertEBCDICtoASCII(text->data(), length);
  else
    ZEV0_ConvertDataToNetwork(text->data(), length);
}

}  // namespace

std::string ZEVP_FormatAPIreply(const DPAB* anchor, int status, const char* data, int dataLength) {
  char header[48];
  std::snprintf(header, sizeof header, data != nullptr ? "%d %ld#" : "%d %ld", status,
                static_cast<long>(anchor->startTime));
  std::string reply = header;
  if (data != nullptr && dataLength > 0) reply.append(data, static_cast<size_t>(dataLength));
  return reply;
}

void ZEVP_SendAPIreply(DPAB* anchor, int socket, const sockaddr_in* address, int status, const char* data,
                       int dataLength) {
  std::string reply = ZEVP_FormatAPIreply(anchor, status, data, dataLength);
  TRC(TRC_DETAIL, "### API Reply %d %s", status, data != nullptr ? std::string(data, static_cast<size_t>(dataLength)).c_str() : "");
  ZEVP_ConvertBufferToNetwork(reply.data(), static_cast<int>(reply.size()));
  std::lock_guard<std::mutex> oneAtATime(replyMutex);
  ssize_t rc = sendTo(socket, reply, address);
  TRC(TRC_DETAIL, "### sendto rc %d, errno %d, %s[%d]", static_cast<int>(rc), rc < 0 ? errno : 0,
      address != nullptr ? zevp::DottedAddress(*address).c_str() : "connection",
      address != nullptr ? ntohs(address->sin_port) : socket);
}

bool ZEVP_BuildAcknowledgement(IOEntry* partner, uint32_t byteCount, std::string* acknowledgement) {
  const SourceEntry* source = partner->Source;
  const TableEntry* table = source != nullptr ? source->Table : nullptr;
  if (table == nullptr) return false;
  switch (table->ConfirmType) {
    case ZEVP_CONFIRM_SIZE:
      *acknowledgement = bigEndian(byteCount);
      return true;
    case ZEVP_CONFIRM_SEQUENCE:
      *acknowledgement = bigEndian(++partner->AckSequence);
      return true;
    case ZEVP_CONFIRM_CHARACTER:
      // The confirm text of one byte: X00 ends it at once.
      *acknowledgement = table->ConfirmCharacter != '\0' ? std::string(1, table->ConfirmCharacter) : std::string();
      return true;
    case ZEVP_CONFIRM_MESSAGE:
      *acknowledgement = table->ConfirmText != nullptr ? table->ConfirmText : "";
      if (source->CodeConversion != 0) toPartnerCode(acknowledgement);
      return true;
    default:
      return false;
  }
}

void ZEVP_SendReceivedDataAck(IOEntry* partner, uint32_t byteCount) {
  std::string acknowledgement;
  if (!ZEVP_BuildAcknowledgement(partner, byteCount, &acknowledgement)) return;
  bool connection = zevp::HasTCPconnection(partner);
  ssize_t rc = sendTo(partner->Socket, acknowledgement, connection ? nullptr : &partner->PartnerAddress);
  TRC(TRC_DETAIL, "Send ack to %s[%d] rc %d errno %d", zevp::DottedAddress(partner->PartnerAddress).c_str(),
      ntohs(partner->PartnerAddress.sin_port), static_cast<int>(rc), rc < 0 ? errno : 0);
}
