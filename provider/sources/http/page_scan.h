// What a URL check reads from the page it received: the page title, and the
// references of the page's objects (images and the like) as the URLs to request.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace zevp {

// The title of a page without one.
constexpr char kNoPageTitle[] = "No page title available";
// The longest title kept.
constexpr size_t kPageTitleMax = 255;
// The longest object URL requested, and the longest base URL it is joined to.
constexpr size_t kObjectURLmax = 1023;

// The text of the page's <TITLE> (else <title>) element: its first line, blanks
// before it skipped, at most 255 characters; kNoPageTitle when the page has none
// or it is empty.
std::string PageTitle(const char* page, size_t length);

// The base that relative object references are joined to: the URL's scheme and
// host with a '/'. Empty when it would pass kObjectURLmax characters.
std::string ObjectBaseURL(const std::string& url);

// Calls found with the URL of each object reference of the page, in the order of
// the object types (".jpg", ".gif", ".swf", ".jar") and then of the page: an
// absolute reference as it is, a relative one joined to base. References holding
// '<', '>' or '!', and URLs over kObjectURLmax characters, are passed over. The
// scan ends early when found returns false.
void ScanPageObjects(const char* page, size_t length, const std::string& base,
                     const std::function<bool(const std::string& url)>& found);

}  // namespace zevp
