// What the metafile parser knows while it reads one metafile, and the options it
// found on the record in hand. The statement handlers and the checks at the end
// of the file read and change it.
#pragma once

#include <cstdint>
#include <string>

struct ApplicationEntry;
struct AttributeEntry;
struct DPAB;
struct SourceEntry;
struct TableEntry;

// Options looked for anywhere in a record before it is split into words.
struct MetafileRecordOptions {
  std::string delimiterOverride;  // DLM=, empty when none
  bool hasSortKey = false;
  int32_t sortKey = 0;  // SKEY=: -1 summary by total
  bool hasOrderSequence = false;
  int32_t orderSequence = 0;  // SEQ=: 0 summary
  std::string enumeration;    // ENUM{...}
  bool hasFilter = false;
  std::string filter;  // from its sign to the end of the record
  bool hasHelp = false;
  std::string help;
  bool real = false;
  std::string managedSystemName;
  std::string dsn;         // the DSN= word of an //ODBC statement
  std::string moduleName;  // MODULE=
};

struct MetafileParseState {
  DPAB* anchor = nullptr;
  const char* metafileName = nullptr;  // as given
  std::string qualifiedName;
  int validate = 0;
  int startup = 0;
  int noEcho = 0;
  bool packaged = false;

  int32_t recordCount = 0;
  bool firstRecord = true;  // no statement but //SNMP and //PLOVEN yet
  bool snmpSeen = false;
  bool snmpText = false;
  bool plovenSeen = false;
  bool scrambled = false;
  bool applAccepted = false;
  bool sourceSeen = false;  // in the current group
  bool attributeSectionOpen = false;
  bool groupHadAttributes = false;
  bool lastAttributeSeen = false;    // type Z
  bool recordAttributeSeen = false;  // type R
  bool keySeen = false;
  bool addSourceName = false;
  bool addTimeStamp = false;
  bool groupHasFileSource = false;
  bool bypassed = false;
  bool copyFailed = false;
  bool tooManyAttributes = false;
  bool stopReading = false;

  int32_t groupCount = 0;
  int32_t attributeCount = 0;  // of the current group

  ApplicationEntry* application = nullptr;
  TableEntry* table = nullptr;
  SourceEntry* source = nullptr;
  SourceEntry* attributeSource = nullptr;  // the source the definitions go to
  AttributeEntry* lastAttribute = nullptr;

  MetafileRecordOptions options;
};
