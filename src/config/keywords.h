// The parameter file's keywords as the reader itself knows them: its one
// dispatch table, in the order it tries them, with what --help, the manual
// page and the completion need to say about each.
#ifndef LOGVANE_CONFIG_KEYWORDS_H_
#define LOGVANE_CONFIG_KEYWORDS_H_

#include <string_view>
#include <vector>

namespace logvane {

// How --help and the manual page group keywords and options.
enum class KeywordGroup { kInput, kFormats, kTables, kNames, kReport, kOutput, kRun };

inline constexpr KeywordGroup kKeywordGroups[] = {
    KeywordGroup::kInput,  KeywordGroup::kFormats, KeywordGroup::kTables, KeywordGroup::kNames,
    KeywordGroup::kReport, KeywordGroup::kOutput,  KeywordGroup::kRun};

// "input", "formats", ... as the help's headings say.
std::string_view GroupName(KeywordGroup group);

struct KeywordInfo {
  std::string_view name;  // as matched at a line's start: "MAXUSERS", "PAGES=FULL"
  KeywordGroup group;
  std::string_view value;  // what follows the name: "=N", "=path"; empty for a switch
  std::string_view help;   // one short line
};

// Every keyword, in the reader's order. Label lines (text1= and up)
// are the report labels' keys, not keywords.
std::vector<KeywordInfo> ParameterKeywords();

}  // namespace logvane

#endif  // LOGVANE_CONFIG_KEYWORDS_H_
