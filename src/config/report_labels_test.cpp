#include "config/report_labels.h"

#include <gtest/gtest.h>

namespace logvane {
namespace {

TEST(ReportLabels, DefaultsCoverEveryKey) {
  ReportLabels labels;
  EXPECT_EQ(labels[1], "Report Produced");
  EXPECT_EQ(labels[kTopUsers], "Top Users");
  EXPECT_EQ(labels[kDirectory], "Directory");
  EXPECT_EQ(labels[kKBytes], "K bytes");
  EXPECT_EQ(labels[kStatus304], "Not Modified - OK");
  EXPECT_EQ(labels[63], "Service Unavailable");
  for (int key = 1; key <= kLabelCount; ++key) EXPECT_FALSE(labels[key].empty()) << key;
}

TEST(ReportLabels, KeyForms) {
  struct Case {
    const char* line;
    int key;  // 0: no label line
    const char* text;
  };
  const Case cases[] = {
      {"TEXT5=Visitors", 5, "Visitors"},
      {"text1 =Report", 0, ""},            // the "=" must follow the digit
      {"text10 =Visitor", 10, "Visitor"},  // from 10 on the value follows the first "="
      {"text10 = Visitor", 10, " Visitor"},
      {"text9=", 9, ""},
      {"text63=Down", 63, "Down"},
      {"text64=x", 64, "x"},
      {"text69=Visits", 69, "Visits"},
      {"text70=Navigateurs", 70, "Navigateurs"},  // the user-agent sections' keys
      {"TEXT84=x", 84, "x"},
      {"text85=Latency", 85, "Latency"},
      {"text97=Chart", 97, "Chart"},
      {"text98=x", 0, ""},
      {"text05=x", 0, ""},
      {"text0=x", 0, ""},
      {"text105=x", 10, "x"},
      {"text634=x", 63, "x"},
      {"text12", 0, ""},  // no "="
      {"textual=x", 0, ""},
  };
  for (const Case& c : cases) {
    ReportLabels labels;
    bool taken = ApplyLabelLine(labels, c.line);
    EXPECT_EQ(taken, c.key != 0) << c.line;
    if (c.key != 0) {
      EXPECT_EQ(labels[c.key], c.text) << c.line;
    }
  }
}

TEST(ReportLabels, ValuesAreCutTo49) {
  ReportLabels labels;
  ApplyLabelLine(labels, "text20=" + std::string(60, 'd'));
  EXPECT_EQ(labels[kSunday], std::string(49, 'd'));
}

}  // namespace
}  // namespace logvane
