// Runs the BER codec on commands read from stdin, one answer line per command:
//   int VALUE          -> hex of the INTEGER field written
//   octets HEX         -> hex of the OCTET STRING field written
//   null               -> hex of the NULL field written
//   oid TEXT           -> hex of the OBJECT IDENTIFIER field written
//   seq HEX            -> hex of a SEQUENCE wrapped around HEX in place
//   read HEX           -> the field HEX holds, as text: "int -5", "octets 6162",
//                         "null", "oid 1.3.6", "seq(int 1,null)"
// FAIL answers a refusal. check_ber_codec.py compares the answers with pyasn1.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "ber_bytes.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

namespace {

std::string written(const std::vector<char>& buffer, int count) {
  return count > 0 ? Hex(buffer.data(), static_cast<size_t>(count)) : "FAIL";
}

std::string writeInteger(const std::string& argument) {
  std::vector<char> buffer(16);
  char* cursor = buffer.data();
  return written(buffer, ZEV0_FormatBERintegerType(&cursor, ZEV0_ASN_INTEGER,
                                                   static_cast<int32_t>(std::stol(argument))));
}

std::string writeOctets(const std::string& argument) {
  Packet data(argument);
  std::vector<char> buffer(data.size() + 8);
  char* cursor = buffer.data();
  return written(buffer, ZEV0_FormatBERoctetstringType(&cursor, ZEV0_ASN_OCTETSTRING, data.data(),
                                                       static_cast<int32_t>(data.size())));
}

std::string writeNull() {
  std::vector<char> buffer(2);
  char* cursor = buffer.data();
  return written(buffer, ZEV0_FormatBERnullType(&cursor));
}

std::string writeOid(const std::string& argument) {
  char* block = nullptr;
  int32_t length = 0;
  if (ZEV0_FormatOIDfromString(argument.c_str(), &block, &length) != 1) return "FAIL";
  std::string hex = Hex(block, static_cast<size_t>(length));
  ZEV0_FreeStorage(&block);
  return hex;
}

// The content goes right behind the sequence's tag, where the header will overlap it.
std::string wrapSequence(const std::string& argument) {
  Packet content(argument);
  std::vector<char> buffer(content.size() + 8);
  std::copy(content.data(), content.end(), buffer.begin() + 1);
  char* cursor = buffer.data();
  return written(buffer, ZEV0_FormatBERoctetstringType(&cursor, ZEV0_ASN_SEQUENCE, buffer.data() + 1,
                                                       static_cast<int32_t>(content.size())));
}

std::string readFields(char* cursor, uint32_t size);

std::string readField(char** cursor, const char* end) {
  char* start = *cursor;
  auto remaining = static_cast<uint32_t>(end - start);
  uint32_t length = 0;
  char* value = nullptr;
  int tag = ZEV0_ExtractBERfield(cursor, remaining, &length, &value);
  switch (tag) {
    case ZEV0_ASN_INTEGER: {
      int32_t number = 0;
      *cursor = start;
      return ZEV0_ExtractBERinteger(cursor, remaining, &number) == 1 ? "int " + std::to_string(number) : "FAIL";
    }
    case ZEV0_ASN_OCTETSTRING:
      return "octets " + Hex(value, length);
    case ZEV0_ASN_NULL:
      return length == 0 ? "null" : "FAIL";
    case ZEV0_ASN_OBJECTIDENTIFIER: {
      int32_t count = 0;
      uint32_t* elements = ZEV0_DecodeOIDfromBER(value, length, &count);
      char* text = elements != nullptr ? ZEV0_ConvertOIDtoString(elements, count) : nullptr;
      std::string answer = text != nullptr ? std::string("oid ") + text : "FAIL";
      ZEV0_FreeStorage(&elements);
      ZEV0_FreeStorage(&text);
      return answer;
    }
    case ZEV0_ASN_SEQUENCE: {
      std::string fields = readFields(value, length);
      return fields == "FAIL" ? fields : "seq(" + fields + ")";
    }
    default:
      return "FAIL";
  }
}

// The fields of a content, comma-separated; FAIL when one does not read.
std::string readFields(char* cursor, uint32_t size) {
  if (size == 0) return "";
  const char* end = cursor + size;
  std::string fields;
  while (cursor < end) {
    std::string field = readField(&cursor, end);
    if (field == "FAIL") return field;
    fields += (fields.empty() ? "" : ",") + field;
  }
  return fields;
}

std::string readOne(const std::string& argument) {
  Packet packet(argument);
  char* cursor = packet.data();
  std::string answer = readField(&cursor, packet.end());
  return cursor == packet.end() ? answer : "FAIL";
}

std::string answer(const std::string& command, const std::string& argument) {
  if (command == "int") return writeInteger(argument);
  if (command == "octets") return writeOctets(argument);
  if (command == "null") return writeNull();
  if (command == "oid") return writeOid(argument);
  if (command == "seq") return wrapSequence(argument);
  if (command == "read") return readOne(argument);
  return "FAIL unknown command";
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    size_t blank = line.find(' ');
    std::string command = line.substr(0, blank);
    std::string argument = blank == std::string::npos ? "" : line.substr(blank + 1);
    std::cout << answer(command, argument) << '\n';
  }
  return 0;
}
