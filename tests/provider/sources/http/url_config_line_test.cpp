// One line of the URL configuration file as it is read, and the line the rewrite
// makes of a URL and its owner.
#include "url_config_line.h"

#include <gtest/gtest.h>

#include <string>

#include "trace_capture.h"

namespace {

using zevp::URLconfigRecord;

constexpr int kDefaultInterval = 300;

// What the line gives, in one text: the kind, or the URL, alias, interval, cache
// percent and owners.
std::string Described(const URLconfigRecord& record) {
  switch (record.kind) {
    case URLconfigRecord::Kind::empty:
      return "empty";
    case URLconfigRecord::Kind::comment:
      return "comment";
    case URLconfigRecord::Kind::blank:
      return "blank";
    case URLconfigRecord::Kind::urlTooLong:
      return "too long";
    case URLconfigRecord::Kind::url:
      break;
  }
  std::string owners;
  for (const std::string& owner : record.owners) owners += (owners.empty() ? "" : ",") + owner;
  return record.url + " alias=" + (record.hasAlias ? record.alias : "-") + " interval=" +
         std::to_string(record.interval) + " cache=" + std::to_string(record.cachePercent) + " owners=" + owners;
}

TEST(URLconfigLineTest, EachLineGivesItsURLKeywordsAndOwners) {
  const std::string longPath(1024 - 7 - 2, 'p');  // with "http://" and "h/": 1024 characters
  struct Case {
    const char* what;
    std::string line;
    std::string expected;
  } cases[] = {
      {"no scheme: http:// in front, INITCNFG and no alias", "host/index.html INTERVAL=120",
       "http://host/index.html alias=- interval=120 cache=0 owners=INITCNFG"},
      {"HTTP:\\\\ becomes http://", "HTTP:\\\\host/page", "http://host/page alias=- interval=300 cache=0 owners=INITCNFG"},
      {"a scheme in any case is kept as written", "HtTpS://Host/P ALIAS=Shop",
       "HtTpS://Host/P alias=Shop interval=300 cache=0 owners=INITCNFG"},
      {"keywords in any order and case, blanks after =", "h cache=  40 user=ann alias=A1 Interval=90",
       "http://h alias=A1 interval=90 cache=40 owners=ann"},
      {"USER= then a keyword: INITCNFG", "h USER= ALIAS=x", "http://h alias=x interval=300 cache=0 owners=INITCNFG"},
      {"USER= at the end: INITCNFG", "h USER=", "http://h alias=- interval=300 cache=0 owners=INITCNFG"},
      {"owners separated by commas, in order", "h USER=a,b", "http://h alias=- interval=300 cache=0 owners=a,b"},
      {"empty owners between commas are passed over", "h USER=,a,,b",
       "http://h alias=- interval=300 cache=0 owners=a,b"},
      {"commas alone name no owner: INITCNFG", "h USER=,", "http://h alias=- interval=300 cache=0 owners=INITCNFG"},
      {"a non-numeric interval keeps the default", "h INTERVAL=soon",
       "http://h alias=- interval=300 cache=0 owners=INITCNFG"},
      {"a negative cache percent keeps 0", "h CACHE=-5", "http://h alias=- interval=300 cache=0 owners=INITCNFG"},
      {"only the leading digits count", "h INTERVAL=75s", "http://h alias=- interval=75 cache=0 owners=INITCNFG"},
      {"a huge number is held, not wrapped", "h INTERVAL=99999999999999",
       "http://h alias=- interval=2147483647 cache=0 owners=INITCNFG"},
      {"user= in a query counts as the keyword", "shop/find?user=eve&x=1",
       "http://shop/find?user=eve&x=1 alias=- interval=300 cache=0 owners=eve&x=1"},
      {"the first place of a keyword counts", "h ALIAS=one ALIAS=two", "http://h alias=one interval=300 cache=0 owners=INITCNFG"},
      {"leading blanks before the URL", "   h", "http://h alias=- interval=300 cache=0 owners=INITCNFG"},
      {"a blank before * is no comment", " *h", "http://*h alias=- interval=300 cache=0 owners=INITCNFG"},
      {"a comment", "* http://h USER=x", "comment"},
      {"an empty line", "", "empty"},
      {"a line of blanks", "    ", "blank"},
      {"1024 characters with the scheme", "h/" + longPath,
       "http://h/" + longPath + " alias=- interval=300 cache=0 owners=INITCNFG"},
      {"1025 characters with the scheme", "h/" + longPath + "x", "too long"},
      {"1025 characters written with their scheme", "http://h/" + longPath + "x", "too long"},
      {"anything from a NUL on is not read", std::string("h USER=a\0b ALIAS=z", 19),
       "http://h alias=- interval=300 cache=0 owners=a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Described(zevp::ReadURLconfigLine(c.line, kDefaultInterval)), c.expected);
  }
}

TEST(URLconfigLineTest, WhatIsSkippedOrDefaultedIsTraced) {
  struct Case {
    std::string line;
    const char* trace;
  } cases[] = {
      {"* note", "Skipping comment line"},
      {"   ", "Skipping blank line"},
      {"HTTP:\\\\h/p", "Converting URL <HTTP:\\\\h/p> with backslashes to <http://h/p>"},
      {"h/" + std::string(1016, 'p'), "URL length 1025 too large. Max length 1024"},
      {"h INTERVAL=x", "Non-numeric value specified on INTERVAL= parameter for URL <http://h>"},
      {"h CACHE=-1", "Non-numeric value specified on CACHE= parameter for URL <http://h>"},
      {"h USER= CACHE=3", "USER= parameter is null for URL <http://h>, substituting default owner value of INITCNFG"},
      {"h USER=,,", "USER= parameter is null for URL <http://h>, substituting default owner value of INITCNFG"},
      {"h ALIAS=Front USER=u", "Alias token <Front>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    TraceCapture trace("*=0x90");
    zevp::ReadURLconfigLine(c.line, kDefaultInterval);
    EXPECT_TRUE(trace.contains(c.trace)) << trace.take();
  }
}

TEST(URLconfigLineTest, TheRewrittenLineHoldsTheAliasOnlyWhenThereIsOne) {
  EXPECT_EQ(zevp::URLconfigLine("http://h/p", 120, 0, "u", "x"), "http://h/p INTERVAL=120 CACHE=0 USER=u ALIAS=x\n");
  EXPECT_EQ(zevp::URLconfigLine("http://h/p", 300, 40, "u", "    "), "http://h/p INTERVAL=300 CACHE=40 USER=u\n");
}

}  // namespace
