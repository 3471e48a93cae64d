// A datagram's bytes to its TRAP row: the fields of a trap as net-snmp's snmptrap
// sends it, with and without a configuration; the VarBind values by type; the
// datagrams that make no row, each with its message; a row that would not fit.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "host_name_table.h"
#include "scratch_directory.h"
#include "trace_capture.h"
#include "trap_configuration.h"
#include "trap_row.h"
#include "udp_peer.h"

namespace {

// Captured from `snmptrap -v 1 -c public <to> 1.3.6.1.4.1.8072.2.3 127.0.0.1 6 17 '' 1.3.6.1.2.1.1.6.0 s "rack 4"`.
const std::string kRackTrap = FromHex(
    "303f02010004067075626c6963a43206092b06010401bf08020340047f0000010201060201114303154a223014301206082b06010201010600"
    "04067261636b2034");

std::string TLV(int tag, const std::string& content) {
  std::string field(1, static_cast<char>(tag));
  size_t size = content.size();
  if (size < 128) {
    field.push_back(static_cast<char>(size));
  } else {
    field.push_back(static_cast<char>(0x82));
    field.push_back(static_cast<char>(size >> 8));
    field.push_back(static_cast<char>(size & 0xFF));
  }
  return field + content;
}

const std::string kEnterprise = FromHex("2b06010401bf080203");  // 1.3.6.1.4.1.8072.2.3
const std::string kLocation = FromHex("2b06010201010600");    // 1.3.6.1.2.1.1.6.0

std::string VarBind(int tag, const std::string& value, const std::string& oid = kLocation) {
  return TLV(0x30, TLV(0x06, oid) + TLV(tag, value));
}

// A version-0 trap, element by element, for the cases to change.
struct TrapParts {
  std::string version = TLV(0x02, std::string(1, '\0'));
  std::string community = TLV(0x04, "public");
  int pduTag = 0xA4;
  std::string enterprise = TLV(0x06, kEnterprise);
  std::string agent = TLV(0x40, FromHex("7f000001"));
  std::string generic = TLV(0x02, FromHex("06"));
  std::string specific = TLV(0x02, FromHex("11"));
  std::string time = TLV(0x43, FromHex("154a22"));
  std::string varBinds = TLV(0x30, "");

  std::string bytes() const {
    return TLV(0x30, version + community + TLV(pduTag, enterprise + agent + generic + specific + time + varBinds));
  }
};

std::string WithVarBinds(const std::string& bindings) {
  TrapParts parts;
  parts.varBinds = TLV(0x30, bindings);
  return parts.bytes();
}

std::vector<std::string> Fields(const std::string& row) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t semicolon; (semicolon = row.find(';', start)) != std::string::npos; start = semicolon + 1)
    fields.push_back(row.substr(start, semicolon - start));
  if (start < row.size()) fields.push_back(row.substr(start));
  return fields;
}

class TrapRowTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ZEVP_SNMP_TRAPCNFG_FILE", files_.file("traps.cfg").c_str(), 1); }
  void TearDown() override {
    ZEVS_ReleaseTrapConfigurationArrays();
    unsetenv("ZEVP_SNMP_TRAPCNFG_FILE");
  }
  void configure(const std::string& text) {
    files_.write("traps.cfg", text);
    ZEVS_LoadTrapConfigurationFile(nullptr);
  }
  static bool Row(const std::string& datagram, TrapRow* row) {
    return zevs::TrapDatagramToRow(nullptr, datagram.data(), static_cast<uint32_t>(datagram.size()), row);
  }
  // The row's last field, the VarBind text.
  static std::string VarBindField(const std::string& datagram) {
    TrapRow row;
    if (!Row(datagram, &row)) return "<no row>";
    std::vector<std::string> fields = Fields(row.text);
    return fields.size() == 13 ? fields[12] : "<" + row.text + ">";
  }

  HostNameTable names_{{{"127.0.0.1", "localhost"}}};
  ScratchDirectory files_{"zev_trap_row"};
};

TEST_F(TrapRowTest, AnUnconfiguredTrapHasSevenUnavailableFieldsAndNoConsoleMessage) {
  TrapRow row;
  ASSERT_TRUE(Row(kRackTrap, &row));
  std::vector<std::string> fields = Fields(row.text);
  ASSERT_EQ(fields.size(), 13u) << row.text;
  EXPECT_EQ(fields[0].size(), 16u);
  EXPECT_EQ(std::vector<std::string>(fields.begin() + 1, fields.end()),
            (std::vector<std::string>{"1.3.6.1.4.1.8072.2.3", "6", "17", "localhost", "Unavailable", "Unavailable",
                                      "Unavailable", "Unavailable", "Unavailable", "Unavailable", "Unavailable",
                                      "{1.3.6.1.2.1.1.6.0[ASN_OCTETSTRING]rack 4}"}));
  EXPECT_EQ(row.text.back(), ';');
  EXPECT_FALSE(row.specified);
}

TEST_F(TrapRowTest, AConfiguredTrapCarriesItsSevenTextsAndItsConsoleMessage) {
  configure(
      "rackMoved {1.3.6.1.4.1.8072.2.3} 6 17 A 4 2 \"Map Events\"\nSDESC\nThe rack moved; see the log. Twice.\n"
      "EDESC\nnetSnmp {1.3.6.1.4.1.8072.2.3}\n");
  TrapRow row;
  ASSERT_TRUE(Row(kRackTrap, &row));
  std::vector<std::string> fields = Fields(row.text);
  ASSERT_EQ(fields.size(), 13u) << row.text;
  // The description's ';' would split the row: it is written as ','.
  EXPECT_EQ(std::vector<std::string>(fields.begin() + 5, fields.end()),
            (std::vector<std::string>{"Agent", "Up", "netSnmp", "rackMoved", "Map Events", "Critical",
                                      "The rack moved, see the log.", "{1.3.6.1.2.1.1.6.0[ASN_OCTETSTRING]rack 4}"}));
  EXPECT_TRUE(row.specified);
  EXPECT_EQ(row.severity, 4);
  EXPECT_EQ(row.category, "Map Events");
  EXPECT_EQ(row.severityText, "Critical");
  EXPECT_EQ(row.consoleText,
            "SNMP Trap: rackMoved, Enterprise: netSnmp, Description: The rack moved; see the log., VarBind: "
            "{1.3.6.1.2.1.1.6.0[ASN_OCTETSTRING]rack 4};");
}

TEST_F(TrapRowTest, VarBindValuesAreShownByTheirType) {
  struct Case {
    const char* what;
    std::string datagram;
    std::string shown;
  };
  const std::string oid = "1.3.6.1.2.1.1.6.0";
  const Case cases[] = {
      {"no VarBinds", WithVarBinds(""), "Not included in trap"},
      {"a tab makes hexadecimal", WithVarBinds(VarBind(0x04, "a\tb")), "{" + oid + "[ASN_OCTETSTRING]610962}"},
      {"a line feed becomes a blank", WithVarBinds(VarBind(0x04, "a\r\nb")), "{" + oid + "[ASN_OCTETSTRING]a  b}"},
      {"a ';' is written as ','", WithVarBinds(VarBind(0x04, "x;y")), "{" + oid + "[ASN_OCTETSTRING]x,y}"},
      {"NULL", WithVarBinds(VarBind(0x05, "")), "{" + oid + "[ASN_NULL]NULL}"},
      {"an INTEGER", WithVarBinds(VarBind(0x02, FromHex("07"))), "{" + oid + "[ASN_INTEGER]7}"},
      {"a Counter of 2^31 and more prints negative, its leading zero byte aside",
       WithVarBinds(VarBind(0x41, FromHex("00ee6b2800"))), "{" + oid + "[UNKNOWN]-294967296}"},
      {"a number over four bytes is zero", WithVarBinds(VarBind(0x42, FromHex("0102030405"))), "{" + oid + "[UNKNOWN]0}"},
      {"an IpAddress", WithVarBinds(VarBind(0x40, FromHex("0a010203"))), "{" + oid + "[UNKNOWN]10.1.2.3}"},
      {"an IpAddress not of four bytes is hexadecimal", WithVarBinds(VarBind(0x40, FromHex("0a0102"))),
       "{" + oid + "[UNKNOWN]0A0102}"},
      {"an OID value is opaque", WithVarBinds(VarBind(0x06, FromHex("2b0601"))),
       "{" + oid + "[ASN_OBJECTIDENTIFIER]2B0601}"},
      {"a name that is no OID leaves its record out",
       WithVarBinds(TLV(0x30, TLV(0x04, "name") + TLV(0x02, "\x01")) + VarBind(0x02, FromHex("02"))),
       "{" + oid + "[ASN_INTEGER]2}"},
      {"the first element that is no SEQUENCE ends the list",
       WithVarBinds(VarBind(0x02, FromHex("01")) + TLV(0x05, "") + VarBind(0x02, FromHex("02"))),
       "{" + oid + "[ASN_INTEGER]1}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(VarBindField(c.datagram), c.shown);
  }
}

TEST_F(TrapRowTest, DatagramsThatAreNoVersionZeroTrapMakeNoRowAndSayWhichElementWasWrong) {
  auto changed = [](void (*change)(TrapParts*)) {
    TrapParts parts;
    change(&parts);
    return parts.bytes();
  };
  std::string overlong = kRackTrap;
  overlong[1] = 0x40;
  std::string truncatedInside = kRackTrap;
  truncatedInside[44] = 0x20;  // the VarBind list claims more than the PDU holds
  struct Case {
    const char* what;
    std::string datagram;
    std::string message;  // empty: none
  };
  const Case cases[] = {
      {"empty", "", "*****unrecognized SNMP trap format"},
      {"garbage", "hello, trap", "*****unrecognized SNMP trap format"},
      {"overlong", overlong, "*****unrecognized SNMP trap format"},
      {"truncated", kRackTrap.substr(0, kRackTrap.size() - 1), "*****unrecognized SNMP trap format"},
      {"a four-byte length past the end", FromHex("3084ffffffff0201"), "*****unrecognized SNMP trap format"},
      {"version", changed([](TrapParts* p) { p->version[0] = 0x04; }),
       "*****unexpected SNMP PDU field 1, expect 02 get 04"},
      {"version over four bytes", changed([](TrapParts* p) { p->version = TLV(0x02, FromHex("0100000000")); }),
       "*****unexpected SNMP PDU field 1, expect 02 get 02"},
      {"community", changed([](TrapParts* p) { p->community[0] = 0x02; }),
       "*****unexpected SNMP PDU field 2, expect 04 get 02"},
      {"PDU", changed([](TrapParts* p) { p->pduTag = 0xA7; }), "*****unexpected SNMP trap type, expect A4 get A7"},
      {"enterprise", changed([](TrapParts* p) { p->enterprise[0] = 0x04; }),
       "*****unexpected SNMP trap field, expect OID get 04"},
      {"a 70-element enterprise", changed([](TrapParts* p) { p->enterprise = TLV(0x06, FromHex("2b") + std::string(68, '\x01')); }),
       "*****unexpected SNMP trap field, expect OID get 06"},
      {"agent-addr", changed([](TrapParts* p) { p->agent[0] = 0x04; }),
       "*****unexpected SNMP trap field, expect IpAddr get 04"},
      {"agent-addr of five bytes", changed([](TrapParts* p) { p->agent = TLV(0x40, FromHex("7f00000101")); }),
       "*****unexpected SNMP trap field, expect IpAddr get 40"},
      {"generic", changed([](TrapParts* p) { p->generic[0] = 0x41; }),
       "*****unexpected SNMP trap field, expect Generic trap get 41"},
      {"generic over four bytes", changed([](TrapParts* p) { p->generic = TLV(0x02, FromHex("0100000006")); }),
       "*****unexpected SNMP trap field, expect Generic trap get 02"},
      {"specific", changed([](TrapParts* p) { p->specific[0] = 0x04; }),
       "*****unexpected SNMP trap field, expect Appl trap get 04"},
      {"specific over four bytes", changed([](TrapParts* p) { p->specific = TLV(0x02, FromHex("0100000011")); }),
       "*****unexpected SNMP trap field, expect Appl trap get 02"},
      {"time-stamp", changed([](TrapParts* p) { p->time[0] = 0x02; }),
       "*****unexpected SNMP trap field, expect TimeTick get 02"},
      {"variable-bindings", changed([](TrapParts* p) { p->varBinds[0] = 0x31; }),
       "*****unexpected SNMP trap field, expect VarBind Seq get 31"},
      {"a VarBind list past its PDU", truncatedInside, "*****unexpected SNMP trap field, expect VarBind Seq get 00"},
      {"SNMPv2c", changed([](TrapParts* p) { p->version = TLV(0x02, "\x01"); }), ""},
      {"version 2 with its PDU", changed([](TrapParts* p) {
         p->version = TLV(0x02, "\x02");
         p->pduTag = 0xA6;
       }),
       ""},
      {"version 2 without", changed([](TrapParts* p) { p->version = TLV(0x02, "\x02"); }),
       "*****unexpected SNMP trap type, expect A6 get A4"},
      {"version 3", changed([](TrapParts* p) { p->version = TLV(0x02, "\x03"); }), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TraceCapture trace;
    TrapRow row;
    EXPECT_FALSE(Row(c.datagram, &row));
    EXPECT_TRUE(row.text.empty());
    std::string lines = trace.take();
    if (c.message.empty()) {
      EXPECT_EQ(lines.find("*****unexpected"), std::string::npos) << lines;
      EXPECT_EQ(lines.find("*****unrecognized"), std::string::npos) << lines;
    } else {
      EXPECT_NE(lines.find(c.message), std::string::npos) << lines;
    }
  }
}

TEST_F(TrapRowTest, AFourByteLengthFormIsRead) {
  std::string content = kRackTrap.substr(2);
  std::string longForm = FromHex("308400000000") + content;
  longForm[5] = static_cast<char>(content.size());
  TrapRow row;
  EXPECT_TRUE(Row(longForm, &row));
}

TEST_F(TrapRowTest, ARowThatWouldNotFitCutsItsVarBindTextAtTheRowBuffer) {
  std::string name(450, 'n');
  std::string category(450, 'c');
  configure(name + " {1.3.6.1.4.1.8072.2.3} 6 17 A 4 2 \"" + category + "\"\nSDESC\n" + std::string(300, 'd') +
            "\nEDESC\n");
  TrapParts parts;
  parts.varBinds = TLV(0x30, VarBind(0x04, std::string(1500, '\x01')));
  TraceCapture trace;
  TrapRow row;
  ASSERT_TRUE(Row(parts.bytes(), &row));
  EXPECT_EQ(row.text.size(), ZEVS_TRAP_ROW_SIZE - 1);
  EXPECT_NE(row.text.back(), ';');
  std::vector<std::string> fields = Fields(row.text);
  ASSERT_EQ(fields.size(), 13u);
  EXPECT_EQ(fields[8], name);
  EXPECT_EQ(fields[11], std::string(255, 'd'));
  EXPECT_TRUE(trace.contains("*****VarBind truncated from length"));
}

}  // namespace
