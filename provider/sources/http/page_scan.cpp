#include "page_scan.h"

#include <algorithm>
#include <string_view>

namespace zevp {

namespace {

constexpr std::string_view kObjectTypes[] = {".jpg", ".gif", ".swf", ".jar"};
// A reference longer than this cannot give a URL short enough to request: it is
// passed over without being read, so no page makes the scan slow.
constexpr size_t kLongestReference = 4 * kObjectURLmax;

constexpr size_t kNone = std::string_view::npos;

// The title text from its first character, without the line ends before its
// end tag; false when the element is missing or empty.
bool TitleText(std::string_view page, std::string_view* text) {
  size_t open = page.find("<TITLE>");
  if (open == kNone) open = page.find("<title>");
  if (open == kNone) return false;
  size_t start = page.find_first_not_of("\n\r\t ", open + 7);
  if (start == kNone) return false;
  size_t end = page.find("</TITLE>", start);
  if (end == kNone) end = page.find("</title>", start);
  if (end == kNone || end <= start) return false;
  while (page[end - 1] == '\n' || page[end - 1] == '\r') --end;
  *text = page.substr(start, end - start);
  return true;
}

// The last place before a position of each kind of character a reference is
// looked for from, found in one pass over the page for each object type.
class BackwardMarks {
 public:
  explicit BackwardMarks(std::string_view page) : page_(page) {}
  // Takes in the characters before `position` (positions only grow).
  void moveTo(size_t position) {
    for (; seen_ < position; ++seen_) {
      char c = page_[seen_];
      if (c == ':' || c == '=') colonOrEquals_ = seen_;
      if (c == '"' || c == '\'' || c == '=') quoteOrEquals_ = seen_;
      if (c == '<' || c == '>' || c == '!') markup_ = seen_;
    }
  }
  size_t colonOrEquals() const { return colonOrEquals_; }
  size_t quoteOrEquals() const { return quoteOrEquals_; }
  size_t markup() const { return markup_; }

 private:
  std::string_view page_;
  size_t seen_ = 0;
  size_t colonOrEquals_ = kNone;
  size_t quoteOrEquals_ = kNone;
  size_t markup_ = kNone;
};

bool BeginsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool IsAbsolute(std::string_view reference) {
  return BeginsWith(reference, "http:") || BeginsWith(reference, "https:");
}

// Where the reference that ends after the match at `match` starts; kNone when
// there is none. A reference quoted after it starts after the opening quote or
// '='; another after '=', or at the scheme of an absolute URL before a ':'.
size_t ReferenceStart(std::string_view page, size_t end, const BackwardMarks& marks) {
  const bool quoted = end < page.size() && (page[end] == '"' || page[end] == '\'');
  if (quoted) return marks.quoteOrEquals() == kNone ? kNone : marks.quoteOrEquals() + 1;
  size_t mark = marks.colonOrEquals();
  if (mark == kNone) return kNone;
  if (page[mark] == '=') return mark + 1;
  for (std::string_view scheme : {std::string_view("http"), std::string_view("https")}) {
    if (mark >= scheme.size() && page.substr(mark - scheme.size(), scheme.size()) == scheme)
      return mark - scheme.size();
  }
  return kNone;
}

// The URL a reference names; empty when it names none that may be requested.
std::string ObjectURL(std::string_view reference, const std::string& base) {
  size_t first = reference.find_first_not_of(' ');
  if (first == kNone) return {};
  reference.remove_prefix(first);
  std::string url;
  if (IsAbsolute(reference)) {
    url.assign(reference);
  } else {
    if (base.empty()) return {};
    size_t relative = reference.find_first_not_of("/.\"");
    if (relative == kNone) return {};
    url = base;
    for (char c : reference.substr(relative))
      if (c != '\n' && c != '\r') url += c;
  }
  return url.size() <= kObjectURLmax ? url : std::string();
}

}  // namespace

std::string PageTitle(const char* page, size_t length) {
  std::string_view text;
  if (page == nullptr || !TitleText(std::string_view(page, length), &text)) return kNoPageTitle;
  text = text.substr(0, kPageTitleMax);
  text = text.substr(0, text.find_first_of(std::string_view("\n\r\t\0", 4)));
  // A title that begins with a NUL is none.
  return text.empty() ? std::string(kNoPageTitle) : std::string(text);
}

std::string ObjectBaseURL(const std::string& url) {
  size_t scheme = url.find("://");
  size_t host = scheme == std::string::npos ? std::min<size_t>(url.size(), 7) : scheme + 3;
  size_t slash = url.find('/', host);
  std::string base = slash == std::string::npos ? url + "/" : url.substr(0, slash + 1);
  return base.size() <= kObjectURLmax ? base : std::string();
}

void ScanPageObjects(const char* page, size_t length, const std::string& base,
                     const std::function<bool(const std::string& url)>& found) {
  if (page == nullptr) return;
  const std::string_view text(page, length);
  for (std::string_view type : kObjectTypes) {
    BackwardMarks marks(text);
    for (size_t match = text.find(type); match != kNone;) {
      const size_t end = match + type.size();
      marks.moveTo(match);
      size_t start = ReferenceStart(text, end, marks);
      bool markup = marks.markup() != kNone && start != kNone && marks.markup() >= start;
      if (start != kNone && !markup && end - start <= kLongestReference) {
        std::string url = ObjectURL(text.substr(start, end - start), base);
        if (!url.empty() && !found(url)) return;
      }
      match = end + 1 < text.size() ? text.find(type, end + 1) : kNone;
    }
  }
}

}  // namespace zevp
