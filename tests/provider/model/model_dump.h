// A compact text form of an application model, one line per entry, for tests
// that compare what a metafile became:
//   APPL name [SNMP] [enterprise=name,oid] [help=...]
//     GROUP name type ttl=n sources=n attrs=defined/row [rate] [last] ...
//       SOURCE letter name node=... [delim=...] [mode=C] ...
//         FILE ...
//         ATTR name type size/max [key] [atomic] [hidden] ... [filter=...] [help=...]
// Only what differs from a fresh entry is written, besides the counts.
#pragma once

#include <string>
#include <vector>

struct ApplicationEntry;
struct AttributeEntry;
struct SourceEntry;

std::vector<std::string> DumpModel(const ApplicationEntry* application);

// The line of one attribute, without indentation.
std::string DumpAttribute(const AttributeEntry* attribute);

// The attribute lines of one source, without indentation.
std::vector<std::string> DumpAttributes(const SourceEntry* source);
