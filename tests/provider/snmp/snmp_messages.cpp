#include "snmp_messages.h"

#include <cstdlib>

namespace {

void Append(SnmpBytes& to, const SnmpBytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

// One TLV at `at`; its content range. False when it does not fit.
bool Read(const SnmpBytes& bytes, size_t& at, unsigned char& tag, size_t& begin, size_t& end) {
  if (at + 2 > bytes.size()) return false;
  tag = bytes[at];
  size_t length = bytes[at + 1];
  size_t header = 2;
  if (length & 0x80) {
    size_t count = length & 0x7F;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = (length << 8) | bytes.at(at + 2 + i);
    header += count;
  }
  begin = at + header;
  end = begin + length;
  if (end > bytes.size()) return false;
  at = end;
  return true;
}

}  // namespace

SnmpBytes IntegerBytes(int32_t value) {
  SnmpBytes content;
  auto word = static_cast<uint32_t>(value);
  int bytes = 4;
  while (bytes > 1) {
    int32_t shorter = static_cast<int32_t>(word << (8 * (5 - bytes))) >> (8 * (5 - bytes));
    if (shorter != value) break;
    --bytes;
  }
  for (int i = bytes - 1; i >= 0; --i) content.push_back(static_cast<unsigned char>(word >> (8 * i)));
  return TlvBytes(0x02, content);
}

SnmpBytes TextBytes(const std::string& text) { return TlvBytes(0x04, SnmpBytes(text.begin(), text.end())); }

SnmpBytes OIDfieldBytes(const std::string& dotted) {
  std::vector<uint32_t> elements;
  for (const char* p = dotted.c_str(); *p != '\0';) {
    char* end = nullptr;
    elements.push_back(static_cast<uint32_t>(std::strtoul(p, &end, 10)));
    p = *end == '.' ? end + 1 : end;
  }
  SnmpBytes content = {static_cast<unsigned char>(elements[0] * 40 + elements[1])};
  for (size_t i = 2; i < elements.size(); ++i) {
    SnmpBytes groups;
    uint32_t value = elements[i];
    do {
      groups.insert(groups.begin(), static_cast<unsigned char>((value & 0x7F) | (groups.empty() ? 0 : 0x80)));
      value >>= 7;
    } while (value != 0);
    Append(content, groups);
  }
  return TlvBytes(0x06, content);
}

std::string DottedOID(const SnmpBytes& oidField) {
  size_t at = 0, begin = 0, end = 0;
  unsigned char tag = 0;
  if (!Read(oidField, at, tag, begin, end) || tag != 0x06 || begin == end) return "";
  std::string dotted = std::to_string(oidField[begin] / 40) + "." + std::to_string(oidField[begin] % 40);
  uint32_t value = 0;
  for (size_t i = begin + 1; i < end; ++i) {
    value = (value << 7) | (oidField[i] & 0x7F);
    if ((oidField[i] & 0x80) != 0) continue;
    dotted += "." + std::to_string(value);
    value = 0;
  }
  return dotted;
}

SnmpBytes TlvBytes(unsigned char tag, const SnmpBytes& content) {
  SnmpBytes out = {tag};
  size_t n = content.size();
  if (n < 128) {
    out.push_back(static_cast<unsigned char>(n));
  } else if (n < 256) {
    out.push_back(0x81);
    out.push_back(static_cast<unsigned char>(n));
  } else {
    out.push_back(0x82);
    out.push_back(static_cast<unsigned char>(n >> 8));
    out.push_back(static_cast<unsigned char>(n));
  }
  Append(out, content);
  return out;
}

SnmpBytes VarBindBytes(const SnmpBytes& oidField, const SnmpBytes& valueField) {
  SnmpBytes content = oidField;
  Append(content, valueField);
  return TlvBytes(0x30, content);
}

SnmpBytes ResponseBytes(const SnmpReply& reply) {
  SnmpBytes list;
  for (const SnmpBytes& varBind : reply.varBinds) Append(list, varBind);
  SnmpBytes pdu = IntegerBytes(reply.id);
  Append(pdu, IntegerBytes(reply.status));
  Append(pdu, IntegerBytes(reply.index));
  Append(pdu, TlvBytes(0x30, list));
  SnmpBytes message = IntegerBytes(reply.version);
  Append(message, TlvBytes(0x04, SnmpBytes(reply.community.begin(), reply.community.end())));
  Append(message, TlvBytes(reply.pduTag, pdu));
  return TlvBytes(0x30, message);
}

SnmpReply ParsedRequest(const SnmpBytes& request) {
  SnmpReply parsed;
  parsed.id = -1;
  size_t at = 0, begin = 0, end = 0;
  unsigned char tag = 0;
  if (!Read(request, at, tag, begin, end)) return parsed;
  at = begin;
  size_t b = 0, e = 0;
  if (!Read(request, at, tag, b, e)) return parsed;  // version
  if (!Read(request, at, tag, b, e)) return parsed;  // community
  parsed.community.assign(request.begin() + static_cast<long>(b), request.begin() + static_cast<long>(e));
  if (!Read(request, at, parsed.pduTag, b, e)) return parsed;
  at = b;
  if (!Read(request, at, tag, b, e)) return parsed;
  int32_t id = (request[b] & 0x80) ? -1 : 0;
  for (size_t i = b; i < e; ++i) id = static_cast<int32_t>((static_cast<uint32_t>(id) << 8) | request[i]);
  if (!Read(request, at, tag, b, e) || !Read(request, at, tag, b, e)) return parsed;  // status, index
  if (!Read(request, at, tag, b, e)) return parsed;
  for (at = b; at < e;) {
    size_t vb = at, vBegin = 0, vEnd = 0;
    if (!Read(request, at, tag, vBegin, vEnd)) return parsed;
    parsed.varBinds.emplace_back(request.begin() + static_cast<long>(vb), request.begin() + static_cast<long>(at));
  }
  parsed.id = id;
  return parsed;
}

SnmpBytes RequestOIDfield(const SnmpBytes& request) {
  SnmpReply parsed = ParsedRequest(request);
  if (parsed.varBinds.empty()) return {};
  const SnmpBytes& varBind = parsed.varBinds.front();
  size_t at = 0, begin = 0, end = 0;
  unsigned char tag = 0;
  if (!Read(varBind, at, tag, begin, end)) return {};
  size_t oid = begin;
  at = begin;
  if (!Read(varBind, at, tag, begin, end)) return {};
  return SnmpBytes(varBind.begin() + static_cast<long>(oid), varBind.begin() + static_cast<long>(at));
}
