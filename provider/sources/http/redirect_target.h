// The URL a subtask requests next: a URL without the '#' marks at its end, and
// the target of a redirection's location from the URL it was sent for.
#pragma once

#include <string>

namespace zevp {

// A URL that ends in '#', or in '#' and '/', loses that last character and then
// every trailing '#' while two characters remain.
std::string TrimFragmentMarks(std::string url);

// The target of a location: an absolute one (':' as its fifth or sixth character)
// as it is; a relative one put in place of the last path segment of base (after
// its scheme's "://"; a rooted one, too, stays in base's directory). False, with
// no target, when the target would pass the longest URL a subtask requests.
bool RedirectTarget(const std::string& base, const std::string& location, std::string* target);

}  // namespace zevp
