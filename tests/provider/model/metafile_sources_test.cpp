// Sources of attribute groups: their kinds, options and failures, and the parts
// of a file name pattern.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "metafile_cases.h"
#include "zev0/hostnames.h"

namespace {

// Knows one partner host; no other name resolves, and no test asks the name service.
class OnePartnerHost : public zev0::Resolver {
 public:
  OnePartnerHost() : previous_(zev0::SetResolver(this)) {}
  ~OnePartnerHost() override { zev0::SetResolver(previous_); }

  int hostByName(const char* name, hostent* entry, char* buffer, size_t size, int* hostError) override {
    if (std::strcmp(name, "partner.example") != 0 || size < 64) {
      *hostError = HOST_NOT_FOUND;
      return ENOENT;
    }
    // The name, an empty alias list, one address and the end of the address list.
    char* cursor = buffer;
    std::strcpy(cursor, name);
    entry->h_name = cursor;
    cursor += 24;
    auto** lists = reinterpret_cast<char**>(cursor);
    lists[0] = nullptr;
    lists[1] = cursor + 3 * sizeof(char*);
    lists[2] = nullptr;
    inet_pton(AF_INET, "10.1.2.3", lists[1]);
    entry->h_aliases = &lists[0];
    entry->h_addr_list = &lists[1];
    entry->h_addrtype = AF_INET;
    entry->h_length = 4;
    return 0;
  }
  int hostByAddress(const in_addr&, hostent*, char*, size_t, int* hostError) override {
    *hostError = HOST_NOT_FOUND;
    return ENOENT;
  }
  int systemHostName(char* name, size_t size) override {
    std::snprintf(name, size, "dphost.example");
    return 0;
  }

 private:
  zev0::Resolver* previous_;
};

// A group of the source records and one attribute.
std::vector<std::string> withSources(const std::vector<std::string>& sources, const char* type = "P 60") {
  std::vector<std::string> lines = {"//APPL Abc", std::string("//NAME Grp ") + type};
  lines.insert(lines.end(), sources.begin(), sources.end());
  lines.push_back("//ATTRIBUTES ';'");
  lines.push_back("A1 D 8");
  return lines;
}

std::vector<std::string> model(const std::vector<std::string>& sources, int count, const char* type = "P ttl=60") {
  std::vector<std::string> lines = {"APPL Abc",
                                    "  GROUP Grp " + std::string(type) + " sources=" + std::to_string(count) +
                                        " attrs=1/1"};
  lines.insert(lines.end(), sources.begin(), sources.end());
  return lines;
}

TEST(MetafileSources, SourceKinds) {
  OnePartnerHost resolver;
  RunMetafileCases({
      {"a socket partner with its port after a blank",
       withSources({"//SOURCE SOCK partner.example [7501] EBCDIC"}),
       {},
       model({"    SOURCE S partner.example[7501] node=partner.example delim=';' code=E port=7501",
              "      ATTR A1 D 8/8"},
             1)},
      {"a port beyond 16 bits takes the largest",
       withSources({"//SOURCE SOCK partner.example[99999]"}),
       {},
       model({"    SOURCE S partner.example[99999] node=partner.example delim=';' code=A port=65535",
              "      ATTR A1 D 8/8"},
             1)},
      {"a socket partner with an invalid code type",
       withSources({"//SOURCE sock partner.example X"}),
       {"ZEVPV49W Specification Warning: Invalid SOCK SOURCE code type, ASCII default assumed."},
       model({"    SOURCE S partner.example node=partner.example delim=';' code=A", "      ATTR A1 D 8/8"}, 1)},
      {"a socket partner that does not resolve",
       withSources({"//SOURCE SOCK nowhere.example"}),
       {"ZEVPV56E Specification Error: Source host name cannot be resolved to address. Source specification "
        "ignored. nowhere.example"},
       model({"    SOURCE B node=dphost delim=';'", "      ATTR A1 D 8/8"}, 1)},
      {"a socket source without a host",
       withSources({"//SOURCE SOCK"}),
       {"ZEVPV42E Specification Error: Incomplete SOCK SOURCE statement, ignored"},
       model({"    SOURCE B node=dphost delim=';'", "      ATTR A1 D 8/8"}, 1)},
      {"an APPC partner needs a fully qualified LU name",
       withSources({"//SOURCE APPC netA.lu1", "//SOURCE APPC lu2"}),
       {"ZEVPV58E Specification Error: SOURCE rejected. Fully-qualified LU name required. lu2"},
       model({"    SOURCE A netA.lu1 node=dphost delim=';' lu=NETA.LU1", "      ATTR A1 D 8/8"}, 1)},
      {"unknown and missing source types",
       withSources({"//SOURCE PIPE /tmp/p", "//SOURCE"}),
       {"ZEVPV37E Specification Error: Invalid SOURCE statement, ignored",
        "ZEVPV37E Specification Error: Invalid SOURCE statement, ignored"},
       model({"    SOURCE B node=dphost delim=';'", "      ATTR A1 D 8/8"}, 1)},
      {"an ODBC and a base source",
       withSources({"//SOURCE ODBC dsn1", "//SOURCE BASE api"}),
       {},
       model({"    SOURCE O dsn1 node=dphost delim=';'", "      ATTR A1 D 8/8",
              "    SOURCE B api node=dphost delim=';'", "      ATTR A1 D 8/8"},
             2)},
  });
}

TEST(MetafileSources, FileSourcesAndTheirOptions) {
  RunMetafileCases({
      {"copy mode with clear, a quoted name with blanks",
       withSources({"//SOURCE FILE '/var/log/my app.log' COPY CLEAR"}),
       {},
       model({"    SOURCE F /var/log/my app.log node=dphost delim=';' mode=C clear",
              "      FILE current=/var/log/my app.log", "      ATTR A1 D 8/8"},
             1)},
      {"tail by record",
       withSources({"//SOURCE FILE /var/log/a.log tailbyrecord"}),
       {},
       model({"    SOURCE F /var/log/a.log node=dphost delim=';' tailbyrecord", "      FILE current=/var/log/a.log",
              "      ATTR A1 D 8/8"},
             1)},
      {"no copy mode in an event group",
       withSources({"//SOURCE FILE /var/log/a.log COPY"}, "E"),
       {"ZEVPV47W Specification Warning: COPY mode invalid for EVENT type FILE SOURCE. TAIL mode in effect"},
       model({"    SOURCE F /var/log/a.log node=dphost delim=';'", "      FILE current=/var/log/a.log",
              "      ATTR A1 D 8/8"},
             1, "E ttl=0")},
      {"a second file source needs a managed system name",
       withSources({"//SOURCE FILE /a.log", "//SOURCE FILE /b.log", "//SOURCE FILE /c.log ManagedSystemName=box7"}),
       {"ZEVPV36E Specification Error: More than one FILE SOURCE per NAME, ignored"},
       model({"    SOURCE F /a.log node=dphost delim=';'", "      FILE current=/a.log", "      ATTR A1 D 8/8",
              "    SOURCE F /c.log node=box7 delim=';'", "      FILE current=/c.log", "      ATTR A1 D 8/8"},
             2)},
  });
}

TEST(MetafileSources, FileNamePatterns) {
  auto file = [](const std::string& name) { return withSources({"//SOURCE FILE " + name}); };
  auto fileModel = [](const std::string& name, const std::string& spec) {
    return model({"    SOURCE F " + name + " node=dphost delim=';'", "      " + spec, "      ATTR A1 D 8/8"}, 1);
  };
  RunMetafileCases({
      {"path, prefix, six numeric positions and an extension",
       file("/var/log/app{YYMMDD}.log"),
       {},
       fileModel("/var/log/app{YYMMDD}.log",
                 "FILE path=/var/log/ prefix=app pattern=YYMMDD ext=log numeric=0/6 char=0/0 criteria=9")},
      {"numbers, characters, a suffix and any extension",
       file("trace{??####}_x.*"),
       {},
       fileModel("trace{??####}_x.*",
                 "FILE prefix=trace pattern=??#### suffix=_x ext=* numeric=2/4 char=0/2 criteria=13 wildcard")},
      {"no extension", file("/d/log{##}"), {},
       fileModel("/d/log{##}", "FILE path=/d/ prefix=log pattern=## numeric=0/2 char=0/0 criteria=5")},
      {"an opening brace without its closing one", file("/d/log{YYMM.log"),
       {"ZEVPV79E Specification Error: File specification pattern invalid syntax. {YYMM.log"},
       model({"    SOURCE B node=dphost delim=';'", "      ATTR A1 D 8/8"}, 1)},
      {"a closing brace alone", file("/d/logYYMM}.log"),
       {"ZEVPV79E Specification Error: File specification pattern invalid syntax. /d/logYYMM}.log"},
       model({"    SOURCE B node=dphost delim=';'", "      ATTR A1 D 8/8"}, 1)},
      {"a pattern letter other than Y, M and D", file("/d/log{YYMMDH}.log"),
       {"ZEVPV81E Specification Error: File specification pattern contains invalid definition. YYMMDH"},
       model({"    SOURCE B node=dphost delim=';'", "      ATTR A1 D 8/8"}, 1)},
      {"an extension of several characters holding *", file("/d/log{##}.l*g"),
       {"ZEVPV80E Specification Error: File specification pattern file extension definition invalid. l*g"},
       model({"    SOURCE B node=dphost delim=';'", "      ATTR A1 D 8/8"}, 1)},
  });
}

}  // namespace
