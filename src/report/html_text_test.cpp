#include "report/html_text.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

TEST(HtmlTextTest, EscapesMarkupQuotesAndNul) {
  using namespace std::string_literals;
  EXPECT_EQ(EscapeHtml("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
  EXPECT_EQ(EscapeHtml("x\0y"s), "x&#xFFFD;y");
  EXPECT_EQ(EscapeHtml("&amp;"), "&amp;amp;");
  std::string written;
  {
    ReportWriter out(&written);
    WriteEscaped(out, "<p\0>\"&'"s);
    WriteEscaped(out, "plain");
    WriteEscaped(out, "");
    (void)out.Close();
  }
  EXPECT_EQ(written, "&lt;p&#xFFFD;&gt;&quot;&amp;&#39;plain");
}

TEST(HtmlTextTest, RecognisesScriptAddressesAsBrowsersReadThem) {
  using namespace std::string_literals;
  const struct {
    std::string address;
    bool script;
  } cases[] = {
      {"javascript:alert(1)", true},
      {"JavaScript:alert(1)", true},
      {"  \x01\x1f javascript:x", true},
      {"java\tscr\nipt:x", true},
      {"\r\njavascript:x", true},
      {"vbscript:msgbox", true},
      {"VBScript:msgbox", true},
      {"data:text/html,<script>", true},
      {"DATA:,x", true},
      {"\0javascript:x"s, true},
      {"/javascript:x", false},
      {"java script:x", false},
      {"javascript", false},
      {"/index.html", false},
      {"http://example.org/", false},
      {"datax:", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsScriptAddress(c.address), c.script) << c.address;
}

TEST(HtmlTextTest, KeyLinkFallsBackToTextForScriptAddresses) {
  std::string written;
  {
    ReportWriter out(&written);
    WriteKeyLink(out, "/a\"b<c>");
    WriteKeyLink(out, " JAVASCRIPT:alert(\"x\")");
    (void)out.Close();
  }
  EXPECT_EQ(written,
            "<a href=\"/a&quot;b&lt;c&gt;\">/a&quot;b&lt;c&gt;</a>"
            " JAVASCRIPT:alert(&quot;x&quot;)");
}

TEST(HtmlTextTest, BreakableKeysWrapAfterSeparatorsOnlyInTheirText) {
  struct Case {
    std::string key;
    KeyText form;
    std::string written;
  };
  const Case cases[] = {
      {"www.example.com", KeyText::kPlain, "www.example.com"},
      {"www.example.com", KeyText::kBreakable, "www.<wbr>example.<wbr>com"},
      {"/a/b.html?x=1&y", KeyText::kBreakable, "/<wbr>a/<wbr>b.<wbr>html?<wbr>x=<wbr>1&amp;<wbr>y"},
      {"dir/", KeyText::kBreakable, "dir/"},
      {"<b>.x", KeyText::kBreakable, "&lt;b&gt;.<wbr>x"},
      {"a'b.c'", KeyText::kBreakable, "a&#39;b.<wbr>c&#39;"},
  };
  for (const Case& c : cases) {
    std::string written;
    ReportWriter out(&written);
    WriteKeyText(out, c.key, c.form);
    (void)out.Close();
    EXPECT_EQ(written, c.written) << c.key;
  }
  // The address of a link stays whole.
  std::string link;
  ReportWriter out(&link);
  WriteKeyLink(out, "/a.b", KeyText::kBreakable);
  (void)out.Close();
  EXPECT_EQ(link, "<a href=\"/a.b\">/<wbr>a.<wbr>b</a>");
}

}  // namespace
}  // namespace logvane
