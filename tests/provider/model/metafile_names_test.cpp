// Application and attribute-group names, group types and times to live.
#include <gtest/gtest.h>

#include "metafile_cases.h"

namespace {

const char kTTLDefault[] = "ZEVPV46W Specification Warning: TTL not specified. Default value assumed. 300";
const char kNoAppl[] = "ZEVPV03E Specification Error: Valid APPL statement not found in metafile case.mdl";

// A metafile of the given //APPL and //NAME records and one attribute.
std::vector<std::string> metafile(const std::string& appl, const std::string& name) {
  return {appl, name, "//ATTRIBUTES", "A1 G"};
}

TEST(MetafileNames, ApplicationNames) {
  RunMetafileCases({
      {"three characters",
       metafile("//APPL Abc @The application's help", "//NAME Grp E"),
       {},
       {"APPL Abc help=The application's help", "  GROUP Grp E ttl=0 sources=1 attrs=1/1",
        "    SOURCE B node=dphost delim=' '", "      ATTR A1 G 4/2147483647"}},
      {"two characters", metafile("//APPL Ab", "//NAME Grp E"),
       {"ZEVPV30E Specification Error: Application name size is less than minimum three-character requirement - Ab",
        "ZEVPV34E Specification Error: Statement bypassed until next APPL statement - //NAME Grp E",
        "ZEVPV34E Specification Error: Statement bypassed until next APPL statement - //ATTRIBUTES",
        "ZEVPV34E Specification Error: Statement bypassed until next APPL statement - A1 G", kNoAppl},
       {}},
      {"no name", {"//APPL"},
       {"ZEVPV38E Specification Error: No application name specified on APPL statement", kNoAppl}, {}},
      {"21 characters are cut to 20, invalid characters become _",
       metafile("//APPL Abcdefghij.lmnopqrstu", "//NAME Grp E"),
       {"ZEVPV32W Specification Warning: Application name size greater than maximum. Truncated to - "
        "Abcdefghij.lmnopqrst"},
       {"APPL Abcdefghij_lmnopqrst", "  GROUP Grp E ttl=0 sources=1 attrs=1/1", "    SOURCE B node=dphost delim=' '",
        "      ATTR A1 G 4/2147483647"}},
      {"a customer name may not begin with K", {"//APPL kappa"},
       {"ZEVPV53E Specification Error: Customer application name begins with Ploven reserved character K is not "
        "supported. kappa",
        kNoAppl},
       {}},
      {"nor with the beginning of a built-in application's name", {"//APPL dvaMine", "//APPL SNMx"},
       {"ZEVPV62E Specification Error: Application name begins with Ploven reserved name. dvaMine",
        "ZEVPV62E Specification Error: Application name begins with Ploven reserved name. SNMx", kNoAppl},
       {}},
  });
}

TEST(MetafileNames, GroupNamesTypesAndTimesToLive) {
  RunMetafileCases({
      {"a number as the type is the time to live of a poll group",
       metafile("//APPL Abc", "//NAME Grp 60"),
       {},
       {"APPL Abc", "  GROUP Grp P ttl=60 sources=1 attrs=1/1", "    SOURCE B node=dphost delim=' '",
        "      ATTR A1 G 4/2147483647"}},
      {"an event group has no time to live and no warning",
       metafile("//APPL Abc", "//NAME Grp event"),
       {},
       {"APPL Abc", "  GROUP Grp E ttl=0 sources=1 attrs=1/1", "    SOURCE B node=dphost delim=' '",
        "      ATTR A1 G 4/2147483647"}},
      {"sample and key groups take 300 without one",
       {"//APPL Abc", "//NAME G1 S", "//ATTRIBUTES", "A1 G", "//NAME G2 K 45 @Keyed rows", "//ATTRIBUTES",
        "A1 G"},
       {kTTLDefault},
       {"APPL Abc", "  GROUP G1 S ttl=300 sources=1 attrs=1/1", "    SOURCE B node=dphost delim=' '",
        "      ATTR A1 G 4/2147483647", "  GROUP G2 K ttl=45 sources=1 attrs=1/1 help=Keyed rows",
        "    SOURCE B node=dphost delim=' '", "      ATTR A1 G 4/2147483647 key"}},
      {"an unknown type is a poll group",
       metafile("//APPL Abc", "//NAME Grp X 10"),
       {"ZEVPV45W Specification Warning: Invalid data type specified. Poll data assumed"},
       {"APPL Abc", "  GROUP Grp P ttl=10 sources=1 attrs=1/1", "    SOURCE B node=dphost delim=' '",
        "      ATTR A1 G 4/2147483647"}},
      {"a time to live beyond 32 bits takes the largest",
       metafile("//APPL Abc", "//NAME Grp S 99999999999"),
       {},
       {"APPL Abc", "  GROUP Grp S ttl=2147483647 sources=1 attrs=1/1", "    SOURCE B node=dphost delim=' '",
        "      ATTR A1 G 4/2147483647"}},
      {"35 characters are cut to 32; a leading ~ stays, other invalid characters become _",
       metafile("//APPL Abc", "//NAME ~Group.with:a-name-of-33-characters E MODULE=mod1"),
       {"ZEVPV44W Specification Warning: Attribute group name truncated to ~Group.with:a-name-of-33-charact"},
       {"APPL Abc", "  GROUP ~Group_with_a-name-of-33-charact E ttl=0 sources=1 attrs=1/1 module=mod1",
        "    SOURCE B node=dphost delim=' '", "      ATTR A1 G 4/2147483647"}},
      {"no group name",
       {"//APPL Abc", "//NAME", "//ATTRIBUTES"},
       {"ZEVPV43E Specification Error: No attribute group name specified on NAME statement",
        "ZEVPV33E Specification Error: Statement bypassed until next NAME statement - //ATTRIBUTES",
        "ZEVPV04E Specification Error: NAME statement not found or out of sequence in metafile case.mdl"},
       {}},
      {"a //NAME without attributes for the one before is ignored",
       {"//APPL Abc", "//NAME G1 E", "//NAME G2 E", "//ATTRIBUTES", "A1 G"},
       {"ZEVPV55E Specification Error: NAME statement encountered without attribute definition of previous NAME "
        "statement. Ignored."},
       {"APPL Abc", "  GROUP G1 E ttl=0 sources=1 attrs=1/1", "    SOURCE B node=dphost delim=' '",
        "      ATTR A1 G 4/2147483647"}},
  });
}

}  // namespace
