// The batch job's environment settings file: lines of at most 255 characters, a
// line beginning with '*' a comment, every other non-empty line a setting
// name=value once its line end and trailing blanks and tabs are gone.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace zevb350 {

constexpr size_t kEnvironmentLineMax = 255;

// Hands every setting of the stream to `setting`, in file order. A longer line is
// skipped whole, with a trace.
void ReadEnvironmentSettings(FILE* stream, const std::function<void(const std::string&)>& setting);

// Opens the file and puts each of its settings into the environment
// (ZEV0_PutEnv, where a variable already set keeps its value); a file that cannot
// be opened adds nothing.
void ApplyEnvironmentFile(const std::string& fileName);

}  // namespace zevb350
