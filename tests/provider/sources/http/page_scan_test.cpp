// What a URL check reads from a page: its title, the base its relative object
// references are joined to, and those references.
#include "page_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Title(const std::string& page) { return zevp::PageTitle(page.data(), page.size()); }

std::vector<std::string> Objects(const std::string& page, const std::string& base = "http://h/") {
  std::vector<std::string> urls;
  zevp::ScanPageObjects(page.data(), page.size(), base, [&](const std::string& url) {
    urls.push_back(url);
    return true;
  });
  return urls;
}

TEST(PageScanTest, TheTitleIsTheFirstLineOfTheTitleElement) {
  const std::string longTitle(300, 't');
  const struct {
    const char* what;
    std::string page;
    std::string title;
  } cases[] = {
      {"upper case", "<html><TITLE>Shop</TITLE></html>", "Shop"},
      {"lower case", "<title>Shop</title>", "Shop"},
      {"upper case before lower", "<title>low</title><TITLE>UP</TITLE>", "UP"},
      {"mixed tags", "<TITLE>Shop</title>", "Shop"},
      {"blanks and line ends skipped", "<title>\r\n \t Shop\r\n</title>", "Shop"},
      {"over lines: the first", "<title>First line\r\nsecond line</title>", "First line"},
      {"a TAB ends it", "<TITLE>Shop\tBooks</TITLE>", "Shop"},
      {"blanks inside kept", "<title>Shop  Books </title>", "Shop  Books "},
      {"over 255 characters", "<title>" + longTitle + "</title>", longTitle.substr(0, 255)},
      {"none", "<html><body>no title</body></html>", zevp::kNoPageTitle},
      {"empty", "<title></title>", zevp::kNoPageTitle},
      {"blanks only", "<TITLE> \r\n </TITLE>", zevp::kNoPageTitle},
      {"no end tag", "<title>Shop", zevp::kNoPageTitle},
      {"another case of tag", "<Title>Shop</Title>", zevp::kNoPageTitle},
      {"empty page", "", zevp::kNoPageTitle},
      {"a NUL first", std::string("<title>\0Shop</title>", 20), zevp::kNoPageTitle},
      {"a NUL inside ends it", std::string("<title>Sh\0op</title>", 20), "Sh"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Title(c.page), c.title);
  }
  EXPECT_EQ(zevp::PageTitle(nullptr, 0), zevp::kNoPageTitle) << "no page buffer";
  const std::string page = "<title>Shop</title>";
  EXPECT_EQ(zevp::PageTitle(page.data(), page.size() - 3), zevp::kNoPageTitle) << "only the received length is read";
}

TEST(PageScanTest, TheBaseIsTheSchemeAndHostOfThePage) {
  const struct {
    const char* url;
    const char* base;
  } cases[] = {
      {"http://shop.example/books/index.html", "http://shop.example/"},
      {"http://shop.example", "http://shop.example/"},
      {"http://127.0.0.1:8080/a/b/", "http://127.0.0.1:8080/"},
      {"https://shop.example/books/index.html", "https://shop.example/"},  // not "https://"
  };
  for (const auto& c : cases) EXPECT_EQ(zevp::ObjectBaseURL(c.url), c.base) << c.url;
  EXPECT_EQ(zevp::ObjectBaseURL("http://" + std::string(1015, 'h')), "http://" + std::string(1015, 'h') + "/");
  EXPECT_EQ(zevp::ObjectBaseURL("http://" + std::string(1016, 'h')), "") << "1024 characters: no base";
  EXPECT_EQ(zevp::ObjectBaseURL("http://" + std::string(1020, 'h') + "/p"), "");
}

TEST(PageScanTest, ObjectReferencesAreFoundByTheirTypeAndJoinedToTheBase) {
  const struct {
    const char* what;
    std::string page;
    std::vector<std::string> urls;
  } cases[] = {
      {"double quoted", "<img src=\"a.jpg\">", {"http://h/a.jpg"}},
      {"single quoted", "<img src='img/c.swf'>", {"http://h/img/c.swf"}},
      {"after '='", "<img src=/img/b.gif>", {"http://h/img/b.gif"}},
      {"leading dots and slashes dropped", "<img src=\"../img/d.jar\">", {"http://h/img/d.jar"}},
      {"line ends removed", "<img src=\"im\r\nage.jpg\">", {"http://h/image.jpg"}},
      {"leading blanks skipped", "<img src=\"  e.jpg\">", {"http://h/e.jpg"}},
      {"absolute, quoted", "<img src=\"http://cdn/x.jpg\">", {"http://cdn/x.jpg"}},
      {"absolute after its scheme's ':'", "style{background:url(http://cdn/y.gif)}", {"http://cdn/y.gif"}},
      {"absolute https", "<img src=\"https://cdn/z.jpg\"> url(https://cdn/w.gif)",
       {"https://cdn/z.jpg", "https://cdn/w.gif"}},
      {"types in their order, then the page's", "<img src=a.gif><img src=b.jpg><img src=c.jpg>",
       {"http://h/b.jpg", "http://h/c.jpg", "http://h/a.gif"}},
      {"twice, found twice", "<img src=a.jpg><img src=a.jpg>", {"http://h/a.jpg", "http://h/a.jpg"}},
      {"markup inside: dropped", "<a href=x>see pic.jpg</a>", {}},
      {"'!' inside: dropped", "<img src=\"wow!.jpg\">", {}},
      {"a ':' not of a scheme", "<p>note:a.jpg</p>", {}},
      {"nothing to start from", "a.jpg and b.gif", {}},
      {"a ':' at the page's start", ":a.jpg", {}},
      {"a quote at the page's start", "a.jpg\"", {}},
      {"only dots and slashes", "<img src=\"/./.jpg\">", {"http://h/jpg"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Objects(c.page), c.urls);
  }
}

TEST(PageScanTest, ObjectURLsLongerThanARequestTakesArePassedOver) {
  const std::string base = "http://h/";
  const std::string fits(1023 - base.size() - 4, 'p');  // joined: 1023 characters
  EXPECT_EQ(Objects("<img src=\"" + fits + ".jpg\">"), std::vector<std::string>{base + fits + ".jpg"});
  EXPECT_TRUE(Objects("<img src=\"" + fits + "p.jpg\">").empty());
  const std::string absolute = "http://cdn/" + std::string(1023 - 15, 'a') + ".gif";
  EXPECT_EQ(Objects("<img src=\"" + absolute + "\">"), std::vector<std::string>{absolute});
  EXPECT_TRUE(Objects("<img src=\"http://cdn/a" + absolute.substr(11) + "\">").empty());
  EXPECT_TRUE(Objects("<img src=\"a.jpg\">", "").empty()) << "no base: relative references go";
  EXPECT_EQ(Objects("<img src=\"http://cdn/x.jpg\">", ""), std::vector<std::string>{"http://cdn/x.jpg"});
}

TEST(PageScanTest, TheScanStopsWhenTheCallerSaysSo) {
  int calls = 0;
  const std::string page = "<img src=a.jpg><img src=b.jpg><img src=c.gif>";
  zevp::ScanPageObjects(page.data(), page.size(), "http://h/", [&](const std::string&) { return ++calls < 2; });
  EXPECT_EQ(calls, 2);
}

}  // namespace
