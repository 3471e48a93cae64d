// The names of the URL output files: the directory of a URL's web host, the page
// file and the base name of an object file.
#pragma once

#include <string>

namespace zevp {

// The host part of the URL: after its "://" (else from its start) up to the next
// '/'.
std::string URLhostPart(const std::string& url);

// True when the host part may name a directory: not empty, not "..", at most 255
// characters, and only letters, digits, '.', '-' and ':'.
bool IsSafeHostPart(const std::string& host);

// The page file's name (in the host's directory): the URL after its "://",
// ".html" added unless it ends in a page extension, every '/' made '-'.
std::string PageFileName(const std::string& url);

// An object file's name: the letters and digits before the object URL's last '.'
// and what follows, every '/' made '-'; empty when the URL has no '.', or the name
// would be "." or "..".
std::string ObjectFileName(const std::string& objectURL);

}  // namespace zevp
