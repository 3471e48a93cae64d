// The model the application-model harnesses work on: the lines of one metafile
// parsed in a validation run on an anchor of the harness (the example product
// file, no name service, no trace, standard output to /dev/null),
// released when the harness ends.
#pragma once

struct ApplicationEntry;
struct DPAB;

// Parses the metafile of the lines (null-terminated list) into `application`;
// aborts when that fails. Call once, from LLVMFuzzerInitialize.
DPAB* LoadFuzzModel(const char* const* lines, ApplicationEntry** application);
