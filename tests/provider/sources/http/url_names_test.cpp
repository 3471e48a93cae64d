// The URLs a subtask requests (trailing '#' marks, redirection targets), the
// answer to a proxy's challenge, and the names of the URL output files.
#include <gtest/gtest.h>

#include <string>

#include "proxy_authorization.h"
#include "redirect_target.h"
#include "url_output_names.h"

namespace {

TEST(URLnamesTest, TrailingHashMarksAreTrimmed) {
  struct Case {
    const char* url;
    const char* trimmed;
  } cases[] = {
      {"http://h/x#", "http://h/x"},   {"http://h/x###", "http://h/x"}, {"http://h/x#/", "http://h/x"},
      {"http://h/x#a", "http://h/x#a"}, {"http://h/x/", "http://h/x/"},  {"#", ""},
      {"##", "#"},
  };
  for (const Case& c : cases) EXPECT_EQ(zevp::TrimFragmentMarks(c.url), c.trimmed) << c.url;
}

TEST(URLnamesTest, ARedirectionsTargetFollowsFromItsLocationAndTheURL) {
  const std::string longest = "http://h/" + std::string(1015, 'a');  // 1024 characters
  struct Case {
    const char* what;
    std::string base;
    std::string location;
    std::string target;  // empty: too long
  } cases[] = {
      {"absolute", "http://h/a/b", "http://other/x", "http://other/x"},
      {"absolute https", "http://h/a/b", "https://other/x", "https://other/x"},
      {"rooted: stays in the directory", "http://h/d1/d2/page", "/a", "http://h/d1/d2/a"},
      {"rooted past a '=' before the slash", "http://h/d/run?u=/x", "/a", "http://h/d/a"},
      {"rooted from the host alone", "http://h", "/a", "http://h/a"},
      {"relative: in place of the last segment", "http://h/d1/page", "b.html", "http://h/d1/b.html"},
      {"relative from the host alone", "http://h", "b.html", "http://h/b.html"},
      {"no target longer than 1024 characters", "http://h/", longest.substr(9) + "x", ""},
      {"an absolute one of 1100 characters", "http://h/", "http://h/" + std::string(1091, 'a'), ""},
      {"1024 characters are a target", "http://h/", longest.substr(9), longest},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string target = "<none>";
    EXPECT_EQ(zevp::RedirectTarget(c.base, c.location, &target), !c.target.empty());
    EXPECT_EQ(target, c.target.empty() ? "<none>" : c.target);
  }
}

// The fault: the scheme was taken to end at the eighth character, so "/x" from
// "https://h" gave "https://x", another host.
TEST(URLnamesTest, RegressionARelativeTargetOfAnHttpsURLKeepsItsHost) {
  std::string target;
  ASSERT_TRUE(zevp::RedirectTarget("https://h", "/x", &target));
  EXPECT_EQ(target, "https://h/x");
  ASSERT_TRUE(zevp::RedirectTarget("https://h", "x", &target));
  EXPECT_EQ(target, "https://h/x");
}

TEST(URLnamesTest, AProxysChallengeIsAnsweredWithTheBase64OfUserAndPassword) {
  std::string answer;
  ASSERT_TRUE(zevp::BasicProxyAuthorization("Aladdin", "open sesame", &answer));
  EXPECT_EQ(answer, "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_TRUE(zevp::BasicProxyAuthorization(std::string(190, 'u').c_str(), std::string(190, 'p').c_str(), &answer))
      << "381 bytes";
  answer = "<none>";
  EXPECT_FALSE(zevp::BasicProxyAuthorization(std::string(191, 'u').c_str(), std::string(190, 'p').c_str(), &answer));
  EXPECT_FALSE(zevp::BasicProxyAuthorization(nullptr, "p", &answer));
  EXPECT_EQ(answer, "<none>");
}

TEST(URLnamesTest, OutputFilesAreNamedForTheURLsHostPageAndObject) {
  struct Case {
    const char* url;
    const char* host;
    bool safe;
    const char* page;
  } cases[] = {
      {"http://shop.example/index.html", "shop.example", true, "shop.example-index.html"},
      {"http://shop.example/dir/", "shop.example", true, "shop.example-dir-.html"},
      {"http://shop.example/a.php", "shop.example", true, "shop.example-a.php.html"},
      {"http://shop.example/a.HTM", "shop.example", true, "shop.example-a.HTM"},
      {"http://shop.example/a.asp", "shop.example", true, "shop.example-a.asp"},
      {"https://127.0.0.1:8080/p", "127.0.0.1:8080", true, "127.0.0.1:8080-p.html"},
      {"http://../etc/passwd", "..", false, "..-etc-passwd.html"},
      {"http:///p", "", false, "-p.html"},
      {"http://a;rm -rf x/", "a;rm -rf x", false, "a;rm -rf x-.html"},
      {"http://a$(id)/", "a$(id)", false, "a$(id)-.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(zevp::URLhostPart(c.url), c.host);
    EXPECT_EQ(zevp::IsSafeHostPart(c.host), c.safe);
    EXPECT_EQ(zevp::PageFileName(c.url), c.page);
  }
  EXPECT_FALSE(zevp::IsSafeHostPart(std::string(256, 'h')));

  struct Object {
    const char* url;
    const char* name;
  } objects[] = {
      {"http://h/img/logo.gif", "logo.gif"},
      {"http://h/img/logo2.jpg?size=1/2", "logo2.jpg?size=1-2"},
      {"http://h/img/a-b.gif", "b.gif"},
      {"http://h/img/logo", ""},
      {"http://h/..", ""},
      {"http://h/x/.", ""},
  };
  for (const Object& o : objects) EXPECT_EQ(zevp::ObjectFileName(o.url), o.name) << o.url;
}

}  // namespace
