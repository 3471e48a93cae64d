#include "model_report.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "application_entry.h"
#include "attribute_entry.h"
#include "io_entry.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/env.h"

TRC_UNIT();

namespace {

// Where the fields of an attribute line begin.
constexpr size_t kNameColumn = 21;
constexpr size_t kTypeColumn = 55;
constexpr size_t kSizeColumn = 71;
constexpr size_t kKeyColumn = 81;
constexpr size_t kAtomicColumn = 85;
constexpr size_t kOIDColumn = 92;

const char* typeName(char type) {
  switch (type) {
    case 'A': return "Average Type";
    case 'S': return "Switch Type";
    case 'G': return "Gauge Type";
    case 'C': return "Counter Type";
    case 'D': return "Display Type";
    case 'O': return "Object Type";
    case 'T': return "Time Type";
    case 'K': return "Skip Type";
    case 'R': return "Record Type";
    case 'N': return "Numeric Type";
    case 'Z': return "Last Type";
    case '?': return "RateChange Type";
    case '#': return "RateDelta Type";
    case '%': return "Rate% Type";
    default: return "Invalid Type";
  }
}

template <typename Value>
std::string formatted(const char* format, Value value) {
  int length = std::snprintf(nullptr, 0, format, value);
  std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, value);
  return text;
}

// A field at its column; one that an earlier field has run into follows it
// after a blank, so no field overwrites another.
void place(std::string& line, size_t column, const std::string& field) {
  if (line.size() < column)
    line.append(column - line.size(), ' ');
  else if (!line.empty() && line.back() != ' ')
    line += ' ';
  line += field;
}

std::string attributeLine(const ApplicationEntry* application, const AttributeEntry* attribute) {
  std::string line;
  place(line, kNameColumn, attribute->AttrName);
  place(line, kTypeColumn, typeName(attribute->AttrType));
  place(line, kSizeColumn, "Size " + std::to_string(attribute->MaxValSize) + " ");
  if (attribute->AttrKey != 0) place(line, kKeyColumn, "KEY ");
  if (attribute->Atomic != 0) place(line, kAtomicColumn, "ATOMIC ");
  if (application->SNMPapplication != 0)
    place(line, kOIDColumn, std::string("OID=") + (attribute->AttrOIDstring != nullptr ? attribute->AttrOIDstring : "") + " ");
  return line;
}

std::string typeLine(const TableEntry* table) {
  switch (table->DataType[0]) {
    case 'E':
      return table->TTL > 0 ? formatted("           Type: Event data  TTL = %d   ", table->TTL)
                            : "           Type: Event data   ";
    case 'P': return formatted("           Type: Poll data  TTL = %d   ", table->TTL);
    case 'S': return formatted("           Type: Sample data  TTL = %d   ", table->TTL);
    case 'K': return formatted("           Type: Key data  TTL = %d   ", table->TTL);
    default: return "           Type: Unknown   ";
  }
}

const char* textOf(const char* text) { return text != nullptr ? text : ""; }

std::string sourceLine(const SourceEntry* source) {
  switch (source->SourceType) {
    case 'A': return formatted("    SOURCE is APPC %s\n", textOf(source->FullyQualifiedLU));
    case 'B': return "    SOURCE is PROGRAM API\n";
    case 'F': {
      const IOEntry* io = source->IO;
      const char* mode = io != nullptr && io->TailByRecord ? " (TailByRecord mode)\n"
                         : io != nullptr && io->Mode == 'C' ? " (Copy mode)\n"
                                                            : " (Tail mode)\n";
      return formatted("    SOURCE is FILE %s ", textOf(source->SourceName)) + mode;
    }
    case 'I': return formatted("    SOURCE is MQ %s\n", textOf(source->SourceName));
    case 'M': return formatted("    SOURCE is MS MQ %s\n", textOf(source->SourceName));
    case 'N': return "    SOURCE is SNMP\n";
    case 'O': return formatted("    SOURCE is ODBC %s\n", textOf(source->SourceName));
    case 'S': return formatted("    SOURCE is SOCKET %s\n", textOf(source->SourceName));
    default: return "    SOURCE is Unrecognized\n";
  }
}

std::string delimiterLine(const char* delimiter) {
  if (delimiter == nullptr || delimiter[0] == '\0') return "           NONE attribute delimiter specified\n";
  char text[96];
  if (std::strlen(delimiter) >= 2)
    std::snprintf(text, sizeof text, "           Attribute Begin delimiter is %c End delimiter is %c\n", delimiter[0],
                  delimiter[1]);
  else if (delimiter[0] == ' ')
    std::snprintf(text, sizeof text, "           Attribute delimiter is Space Character\n");
  else if (delimiter[0] == '\t')
    std::snprintf(text, sizeof text, "           Attribute delimiter is TAB character\n");
  else
    std::snprintf(text, sizeof text, "           Attribute delimiter is %c character\n", delimiter[0]);
  return text;
}

void writeReport(std::FILE* report, const ApplicationEntry* application) {
  std::fprintf(report, "\n\nApplication Name: %s; Definition Metafile Name: %s\n\n", application->ApplName,
               textOf(application->MetafileNameUpper));
  int groups = 0;
  for (const TableEntry* table = application->FirstTable; table != nullptr; table = table->next, ++groups) {
    std::fprintf(report, "  Attribute Group: %s\n", table->TableName);
    std::fprintf(report, "%sTotal Number of SOURCEs: %d\n\n", typeLine(table).c_str(), table->SourceCount);
    for (const SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) {
      std::fputs(sourceLine(source).c_str(), report);
      std::fprintf(report, "           Total Attributes: %d\n", table->AttributesDefined);
      std::fputs(delimiterLine(source->AttrDelimiter).c_str(), report);
      for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
        std::fprintf(report, "%s\n", attributeLine(application, attribute).c_str());
      std::fputs("\n", report);
    }
  }
  if (groups > 0) std::fprintf(report, " Total Attribute Groups: %d\n", groups);
  std::fputs("\n\n", report);
}

}  // namespace

namespace zevp {

std::string ReportFileName(const std::string& metafileName) {
  std::string name = metafileName;
  size_t slash = name.rfind('/');
  size_t dot = name.rfind('.');
  // Only a dot of the file's own name starts its extension.
  bool hasExtension = dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash);
  if (!hasExtension) {
    name += ".rpt";
  } else {
    std::string extension = name.substr(dot + 1);
    name.resize(dot + 1);
    name += extension == "rpt" || extension == "RPT" ? "out" : "rpt";
  }
  if (name[0] != '.' && name.find('/') != std::string::npos) return name;
  // A name taken from the current directory ("./m.rpt") goes to the metafile
  // directory, less its leading characters up to the first letter or digit.
  size_t start = 0;
  while (name[0] == '.' && start < name.size() && !std::isalnum(static_cast<unsigned char>(name[start]))) ++start;
  return std::string(ZEV0_GetEnv("ZEVP_META_PATH", "./")) + "/" + name.substr(start);
}

}  // namespace zevp

void ZEVP_ReportDataModel(ApplicationEntry* application) {
  if (application == nullptr || application->MetafileName == nullptr) return;
  std::string reportName = zevp::ReportFileName(application->MetafileName);
  // The record format of the mode text "w,recfm=v,lrecl=512" means nothing to a POSIX stream.
  std::FILE* report = std::fopen(reportName.c_str(), "we");
  if (report == nullptr) {
    TRC(TRC_ERROR, "*****Unable to open report file %s, errno %d", reportName.c_str(), errno);
    return;
  }
  writeReport(report, application);
  std::fclose(report);
  ZEVP_DisplayValidationMessage(ZEVPV90I, reportName.c_str());
}
