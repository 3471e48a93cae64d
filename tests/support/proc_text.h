// Files of /proc read by the tests.
#pragma once

#include <string>

// The whole text of a /proc file; empty when it cannot be read. A process that ends
// while its file is read makes the read fail (ESRCH), which the standard streams
// report by throwing.
std::string ProcText(const std::string& path);
