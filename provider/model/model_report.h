// The model report of a validation run: a plain-text description of one
// application's groups, sources and attributes, written beside its metafile
// (docs/model-report.md).
#pragma once

#include <string>

struct ApplicationEntry;

// Writes the report of the application and shows ZEVPV90I with its name; a
// report that cannot be opened is only traced.
void ZEVP_ReportDataModel(ApplicationEntry* application);

namespace zevp {

// The report's file name for a metafile name: its extension becomes "rpt" ("out"
// for a metafile that is an "rpt" file already; ".rpt" is appended to a name
// without one), in ZEVP_META_PATH (else "./") unless the name holds a '/' and
// does not begin with '.'; a name that begins with '.' loses its leading
// characters up to the first letter or digit there.
std::string ReportFileName(const std::string& metafileName);

}  // namespace zevp
