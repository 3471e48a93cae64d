// The catalogue of validation messages: what an administrator is told about a
// metafile, and about start-up problems of a data provider.
#include "validation_messages.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "trc1.h"

TRC_UNIT();

namespace {

// Index 99 is shown for every number outside 0 to 98.
const char* const Validation_Message[ZEVP_VALIDATION_MESSAGE_COUNT] = {
    "ZEVPV00I Validation completed successfully",
    "ZEVPV01E Definition Error: File not found #",
    "ZEVPV02E Specification Error: Only one application allowed in a metafile, #",
    "ZEVPV03E Specification Error: Valid APPL statement not found in metafile #",
    "ZEVPV04E Specification Error: NAME statement not found or out of sequence in metafile # ",
    "ZEVPV05E Specification Error: No attribute found for APPL statement in metafile #",
    "ZEVPV06E Processing Error: Unable to copy defined attributes to all SOURCEs, #",
    "ZEVPV07E Specification Error: Incomplete attribute definition, #",
    "ZEVPV08E Processing Error: Application registration with agent failed for #",
    "ZEVPV09W Data Warning: Data value exceeds specification maximum. Specification maximum in effect. #",
    "ZEVPV10E Application registration with agent failed. Application already known to agent.",
    "ZEVPV11W Data Warning: Negative Counter data type value forced to zero from #.",
    "ZEVPV12W Data Warning: Non-Numeric input value forced to zero from #.",
    "ZEVPV13E Data Error: Invalid Switch type input value forced to OFF (0) from #.",
    "ZEVPV14W Data Warning: Invalid Time type input value forced to zero from #.",
    "ZEVPV15W Specification Warning: Duplicate attribute found in attribute group. Delete duplicate #",
    "ZEVPV16W Specification Warning: Duplicate attribute found of different type. Name changed to #",
    "ZEVPV17E Specification Error: SNMP statement rejected. Duplicate or it is not first metafile record.",
    "ZEVPV18E Specification Error: SNMP attribute ignored. No OID defined.",
    "ZEVPV19E Specification Error: Attribute definition found after Last type attribute, ignored. #",
    "ZEVPV20 ",
    "ZEVPV21E Processing Error: Program startup initialization failed",
    "ZEVPV22E Metafile name input parameter required",
    "ZEVPV23 ",
    "ZEVPV24I Metafile with default extension assumed - #",
    "ZEVPV25I Processing input metafile #",
    "ZEVPV26I Processing file record #",
    "ZEVPV27I Blank input record skipped",
    "ZEVPV28W Specification Warning: Invalid name character replaced by _ character",
    "ZEVPV29W Specification Warning: Name truncated to default maximum size of #",
    "ZEVPV30E Specification Error: Application name size is less than minimum three-character requirement - #",
    "ZEVPV31W Specification Warning: Total number of attributes exceeded maximum limit. Ignored - #",
    "ZEVPV32W Specification Warning: Application name size greater than maximum. Truncated to - # ",
    "ZEVPV33E Specification Error: Statement bypassed until next NAME statement - #",
    "ZEVPV34E Specification Error: Statement bypassed until next APPL statement - #",
    "ZEVPV35W Processing Warning: Existing application specification assumed. Metafile already defined - #",
    "ZEVPV36E Specification Error: More than one FILE SOURCE per NAME, ignored",
    "ZEVPV37E Specification Error: Invalid SOURCE statement, ignored",
    "ZEVPV38E Specification Error: No application name specified on APPL statement",
    "ZEVPV39E Specification Error: Incomplete attribute specification, ignored",
    "ZEVPV40E Specification Error: Invalid attribute type, #",
    "ZEVPV41E Specification Error: No data size specification for Display, Record, or Object type attribute, ignored",
    "ZEVPV42E Specification Error: Incomplete SOCK SOURCE statement, ignored",
    "ZEVPV43E Specification Error: No attribute group name specified on NAME statement",
    "ZEVPV44W Specification Warning: Attribute group name truncated to #",
    "ZEVPV45W Specification Warning: Invalid data type specified. Poll data assumed",
    "ZEVPV46W Specification Warning: TTL not specified. Default value assumed. #",
    "ZEVPV47W Specification Warning: COPY mode invalid for EVENT type FILE SOURCE. TAIL mode in effect",
    "ZEVPV48E Specification Error: Short or Long data type only valid for attribute group without delimiter, ignored",
    "ZEVPV49W Specification Warning: Invalid SOCK SOURCE code type, ASCII default assumed.",
    "ZEVPV50W Specification Warning: Sample frequency interval resets to default minimum.",
    "ZEVPV51W Specification Warning: Event frequency interval resets to default minimum.",
    "ZEVPV52W Specification Warning: ATTRIBUTE statement delimiter characters not enclosed by quotes. Assumed delimiter #",
    "ZEVPV53E Specification Error: Customer application name begins with Ploven reserved character K is not supported. #",
    "ZEVPV54W Specification Warning: Display or numeric data type maximum length changed to maximum of 3800 from #.",
    "ZEVPV55E Specification Error: NAME statement encountered without attribute definition of previous NAME statement. Ignored.",
    "ZEVPV56E Specification Error: Source host name cannot be resolved to address. Source specification ignored. #",
    "ZEVPV57E Specification Error: Application rejected. Total attribute data size exceeded maximum supported limit of 4000 for attribute group #.",
    "ZEVPV58E Specification Error: SOURCE rejected. Fully-qualified LU name required. #",
    "ZEVPV59V Specification Warning: KEY specification for attribute in non-KEY attribute group, ignored.",
    "ZEVPV60E Specification Error: SNMP MIB attribute OID is invalid or unsupported. #",
    "ZEVPV61W Specification Warning: ATOMIC specification for numeric attribute, changing to non-Atomic.",
    "ZEVPV62E Specification Error: Application name begins with Ploven reserved name. #",
    "ZEVPV63E Specification Error: Attribute formula definition invalid. #",
    "ZEVPV64E Specification Error: Confirm statement specification invalid. #",
    "ZEVPV65E Specification Error: PLOVEN statement rejected. Duplicate or it is not first metafile record.",
    "ZEVPV66E Specification Error: Invalid attribute filter keyword, must be +FILTER or -FILTER",
    "ZEVPV67E Specification Error: Invalid attribute filter syntax, must be enclosed in {}. #",
    "ZEVPV68E Specification Error: Invalid attribute filter syntax, must be enclosed in (). #",
    "ZEVPV69E Specification Error: Invalid attribute filter syntax, undefined type #",
    "ZEVPV70E Specification Error: Invalid attribute filter syntax, offset specification # ",
    "ZEVPV71E Specification Error: Invalid attribute filter syntax, offset larger than data size. #",
    "ZEVPV72E Specification Error: Invalid attribute filter syntax, compare string longer than data size. # ",
    "ZEVPV73 ",
    "ZEVPV74W Specification Warning: Invalid attribute filter syntax, invalid logic operation. OR assumed. #",
    "ZEVPV75W Specification Warning: Invalid attribute filter syntax, logic operation must be the same. OR in effect",
    "ZEVPV76E Specification Error: Invalid attribute filter syntax, SCAN or MATCH filter invalid for numeric attributes",
    "ZEVPV77E Specification Error: Invalid attribute filter syntax, NUMBER filter invalid for display type attributes",
    "ZEVPV78E Specification Error: Same APPL name already defined in another metafile. Request ignored. Duplicate application. #",
    "ZEVPV79E Specification Error: File specification pattern invalid syntax. #",
    "ZEVPV80E Specification Error: File specification pattern file extension definition invalid. #",
    "ZEVPV81E Specification Error: File specification pattern contains invalid definition. #",
    "ZEVPV82E Specification Error: Attribute specific delimiter definition invalid. #",
    "ZEVPV83E Specification Error: Duplicate INTERNAL Input statements for the same destination #.",
    "ZEVPV84E Specification Error: Invalid INTERNAL statement type #.",
    "ZEVPV85E Specification Error: Incomplete INTERNAL statement definition.",
    "ZEVPV86E DPLOG registration failed. Report Unavailable.",
    "ZEVPV87E POST DP unable to register dpPost application with Agent. Job ended.",
    "ZEVPV88E Validation unsuccessful",
    "ZEVPV89E Same type DP is already active in the system. DP startup ended.",
    "ZEVPV90I Application metafile validation report saved in file #.",
    "ZEVPV91W Specification Warning: Summary attribute group defined without key attribute. Summarize by timestamp for #.",
    "ZEVPV92E Specification Error: Total by summary specified for non-numeric attribute. Sum specification ignored.",
    "ZEVPV93W Specification Warning: Summary interval too large. Reset to default maximum from #.",
    "ZEVPV94I Metafile unpack successful to output file #.",
    "ZEVPV95E Metafile unpack failed.",
    "ZEVPV96E Specification Error: Required SNMP attributes Agent_Info and Agent_Name mussing from SNMP attribute group #.",
    "ZEVPV97E Specification Error: Invalid ODBC type or not specified. #",
    "ZEVPV98E Specification Error: ODBC Data Source Name required.",
    "ZEVPVxx  Internal processing error",
};

std::mutex messageLock;

}  // namespace

void ZEVP_DisplayValidationMessage(int number, const char* insert) {
  std::lock_guard<std::mutex> hold(messageLock);
  if (number < 0 || number >= ZEVPV_INTERNAL_ERROR) number = ZEVPV_INTERNAL_ERROR;
  std::string line = Validation_Message[number];
  // A text without '#' has no place for an insert and is shown as it stands.
  size_t mark = line.find('#');
  if (insert != nullptr && mark != std::string::npos) line.replace(mark, std::string::npos, insert);
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  TRC(TRC_DETAIL, "Vmsg->%s", line.c_str());
}
