#include "agents/uap_matcher.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#if defined(LOGVANE_HAVE_RE2)
#include <re2/re2.h>
#include <re2/set.h>
#endif

#include "agents/repeat_bounds.h"

namespace logvane {

#if defined(LOGVANE_HAVE_RE2)

namespace {

constexpr const char* kListNames[] = {"user_agent_parsers", "os_parsers", "device_parsers"};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A field built piece by piece, trimmed of blanks at both ends and then cut
// to its width: blanks before a cut are not its end.
struct FieldBuilder {
  char data[kUapFieldWidth];
  size_t size = 0;
  bool cutText = false;  // something other than blanks did not fit
  void Append(std::string_view text) {
    for (char c : text) {
      if (size == 0 && IsBlank(c)) continue;
      if (size < kUapFieldWidth) {
        data[size++] = c;
      } else if (!IsBlank(c)) {
        cutText = true;
      }
    }
  }
  std::string_view Trimmed() const {
    std::string_view text(data, size);
    while (!cutText && !text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
  }
};

// Room for the automaton of one list's set (taken only as its states are
// built): RE2's default of 8 MiB makes the browser list's automaton start
// over again and again.
constexpr int64_t kSetMemory = int64_t{128} << 20;
// Room for one expression's own programs: the exact forms of uap-core's
// longest expressions need more than RE2's default.
constexpr int64_t kRuleMemory = int64_t{32} << 20;
// $1 to $9, and the whole match.
constexpr int kMostGroups = 10;
// The groups of a checked form: the file's and one per opened repeat.
constexpr size_t kMostChecked = 32;

RE2::Options MatchOptions(int64_t memory) {
  RE2::Options options;
  // Bytes as they are: an agent is not always valid UTF-8, and the
  // expressions are plain ASCII.
  options.set_encoding(RE2::Options::EncodingLatin1);
  options.set_log_errors(false);
  options.set_max_mem(memory);
  return options;
}

// "(?i:...)" for rules marked case-blind, so the set can hold them beside
// the others.
std::string PatternOf(const UapRule& rule, std::string_view regex) {
  return rule.caseless ? "(?i:" + std::string(regex) + ")" : std::string(regex);
}

// An expression compiled the first time it is needed: most rules never win
// in a given log, and compiling uap-core's exact forms costs about a second.
class LazyRegex {
 public:
  explicit LazyRegex(std::string pattern) : pattern_(std::move(pattern)) {}
  // nullptr when RE2 cannot build it after all (its program too large).
  const RE2* Get() const {
    std::call_once(once_,
                   [this] { re_ = std::make_unique<RE2>(pattern_, MatchOptions(kRuleMemory)); });
    return re_->ok() ? re_.get() : nullptr;
  }

 private:
  std::string pattern_;
  mutable std::once_flag once_;
  mutable std::unique_ptr<RE2> re_;
};

struct CompiledRule {
  UapRule rule;
  // Agents up to this long match the opened form exactly as the file's.
  size_t exactUpTo = SIZE_MAX;
  std::unique_ptr<LazyRegex> opened;
  std::unique_ptr<LazyRegex> exact;    // nullptr when nothing was opened
  std::unique_ptr<LazyRegex> checked;  // nullptr when nothing was opened or it cannot tell
  std::vector<uint32_t> groupOf;       // the file's group k in `checked`
  std::vector<OpenedRegex::Span> spans;
  // The groups each field needs: the highest $n of its replacement, or its
  // default group; 0 when the field is a fixed text.
  uint8_t groupsFor[kUapFields] = {};
  // The text of group 1 when it can only ever be that text ("(Firefox)/"):
  // a field that needs no other group is then known once the rule matches.
  bool literalFirst = false;
  std::string firstText;
};

// The plain characters of a group whose text starts at re[i], up to its
// ")": the position of that ")", or npos when the group is not one text or
// a quantifier follows it.
size_t ReadLiteralGroup(std::string_view re, size_t i, std::string* literal) {
  auto isAlnum = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  };
  auto isMeta = [](char c) {
    return std::string_view(".^$|?*+()[]{}").find(c) != std::string_view::npos;
  };
  size_t j = i;
  for (; j < re.size() && re[j] != ')'; ++j) {
    if (re[j] == '\\') {
      if (j + 1 >= re.size() || isAlnum(re[j + 1])) return std::string_view::npos;  // \d, \x41
      *literal += re[++j];
    } else if (isMeta(re[j])) {
      return std::string_view::npos;
    } else {
      *literal += re[j];
    }
  }
  if (j >= re.size() || literal->empty()) return std::string_view::npos;
  if (j + 1 < re.size() && std::string_view("?*+{").find(re[j + 1]) != std::string_view::npos) {
    return std::string_view::npos;
  }
  return j;
}

// Whether the first group of `re` can match nothing but one text, and that
// text: a group of plain characters at the top level of an expression with
// no alternatives there, no quantifier after it, no case-blind flag and no
// named group anywhere (which would count before it).
bool LiteralFirstGroup(std::string_view re, std::string* text) {
  bool found = false;
  int depth = 0;
  for (size_t i = 0; i < re.size(); ++i) {
    const char c = re[i];
    if (c == '\\') {
      ++i;
      continue;
    }
    if (c == '[') {
      ++i;
      if (i < re.size() && re[i] == '^') ++i;
      if (i < re.size() && re[i] == ']') ++i;
      while (i < re.size() && re[i] != ']') i += re[i] == '\\' ? 2 : 1;
      continue;
    }
    if (c == '|' && depth == 0) return false;
    if (c == ')') {
      --depth;
      continue;
    }
    if (c != '(') continue;
    if (i + 1 < re.size() && re[i + 1] == '?') {
      // Flags and named groups: (?i), (?P<name>...); (?: is plain.
      if (i + 2 >= re.size() || re[i + 2] != ':') return false;
      ++depth;
      continue;
    }
    if (found) {
      ++depth;
      continue;
    }
    if (depth != 0) return false;
    std::string literal;
    size_t j = ReadLiteralGroup(re, i + 1, &literal);
    if (j == std::string_view::npos) return false;
    *text = std::move(literal);
    found = true;
    i = j;
  }
  return found;
}

struct CompiledList {
  std::vector<std::unique_ptr<CompiledRule>> rules;  // file order, refused ones left out
  std::unique_ptr<RE2::Set> set;                     // of the opened forms
};

// The group a field takes when the rule names no replacement: the
// browser's and the system's fields take groups 1, 2, 3...; the device's
// family and model take group 1, its brand nothing.
constexpr int kDefaultGroup[3][kUapFields] = {{1, 2, 3, 4, 0}, {1, 2, 3, 4, 5}, {1, 0, 1, 0, 0}};

uint8_t GroupsNeeded(const UapRule& rule, size_t list, size_t field) {
  if (!rule.Has(field)) return static_cast<uint8_t>(kDefaultGroup[list][field]);
  uint8_t most = 0;
  const std::string& text = rule.replacement[field];
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '$' && text[i + 1] >= '1' && text[i + 1] <= '9') {
      most = std::max<uint8_t>(most, static_cast<uint8_t>(text[i + 1] - '0'));
    }
  }
  return most;
}

// The rule's template with $1-$9 replaced by the groups (a group that took
// no part, or is beyond the expression's, gives nothing).
void Substitute(std::string_view text, const re2::StringPiece* groups, int count,
                FieldBuilder* out) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '$' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      int n = text[i + 1] - '0';
      if (n <= count && groups[n].data() != nullptr) {
        out->Append(std::string_view(groups[n].data(), groups[n].size()));
      }
      ++i;
      continue;
    }
    out->Append(text.substr(i, 1));
  }
}

// Whether `rule` matches `text` in the file's form, and its groups (the
// whole match and $1 to $n) when `count` > 0. The opened form decides for
// agents within its bounds; beyond them, when groups are wanted, its checked
// form decides if its first match keeps every bound (finding groups in the
// file's huge form is slow), and the file's own form otherwise.
bool MatchRule(const CompiledRule& rule, re2::StringPiece text, int count, bool inSet,
               re2::StringPiece* groups) {
  if (text.size() <= rule.exactUpTo) {
    const RE2* re = rule.opened->Get();
    if (re == nullptr) return false;
    count = std::min(count, re->NumberOfCapturingGroups());
    if (inSet && count == 0) return true;  // the set has seen it match
    return re->Match(text, 0, text.size(), RE2::UNANCHORED, groups, count + 1);
  }
  // For a yes or no alone the file's form's automaton answers at once;
  // for groups, the checked form first.
  if (count > 0 && rule.checked != nullptr) {
    const RE2* re = rule.checked->Get();
    if (re != nullptr && static_cast<size_t>(re->NumberOfCapturingGroups()) < kMostChecked) {
      re2::StringPiece all[kMostChecked];
      int n = re->NumberOfCapturingGroups();
      if (!re->Match(text, 0, text.size(), RE2::UNANCHORED, all, n + 1)) return false;
      bool within = true;
      for (const OpenedRegex::Span& span : rule.spans) {
        within = within && all[span.group].size() <= span.bound;
      }
      if (within) {
        groups[0] = all[0];
        count = std::min<int>(count, static_cast<int>(rule.groupOf.size()));
        for (int g = 1; g <= count; ++g) groups[g] = all[rule.groupOf[static_cast<size_t>(g - 1)]];
        return true;
      }
    }
  }
  const RE2* re = rule.exact->Get();
  if (re == nullptr) return false;
  count = std::min(count, re->NumberOfCapturingGroups());
  return re->Match(text, 0, text.size(), RE2::UNANCHORED, groups, count + 1);
}

}  // namespace

struct UapMatcher::Impl {
  CompiledList lists[3];
  mutable std::atomic<uint64_t> slowMatches{0};
};

UapMatcher::UapMatcher() : impl_(std::make_unique<Impl>()) {}
UapMatcher::~UapMatcher() = default;

bool CanMatchUapRegexes() { return true; }

namespace {

// Compiles one parser list into `list`, counting what RE2 refuses.
Status BuildList(const std::vector<UapRule>& rules, size_t l, std::string_view name,
                 CompiledList& list, RefusedExpressions* refused) {
  list.set = std::make_unique<RE2::Set>(MatchOptions(kSetMemory), RE2::UNANCHORED);
  for (const UapRule& rule : rules) {
    OpenedRegex forms = OpenBoundedRepeats(rule.regex);
    std::string opened = PatternOf(rule, forms.opened);
    // The set parses every expression: what it refuses, RE2 cannot take
    // (opening a repeat changes no syntax).
    std::string error;
    if (list.set->Add(opened, &error) < 0) {
      ++refused->count;
      if (refused->first.size() < RefusedExpressions::kKept) {
        refused->first.push_back(std::string(kListNames[l]) + ", line " +
                                 std::to_string(rule.line) + ": " +
                                 (error.empty() ? "not accepted" : error));
      }
      continue;
    }
    auto compiled = std::make_unique<CompiledRule>();
    compiled->rule = rule;
    compiled->exactUpTo = forms.exactUpTo;
    compiled->opened = std::make_unique<LazyRegex>(std::move(opened));
    if (forms.exactUpTo != SIZE_MAX) {
      compiled->exact = std::make_unique<LazyRegex>(PatternOf(rule, rule.regex));
    }
    if (!forms.checked.empty() && forms.groupOf.size() + forms.spans.size() < kMostChecked) {
      compiled->checked = std::make_unique<LazyRegex>(PatternOf(rule, forms.checked));
      compiled->groupOf = std::move(forms.groupOf);
      compiled->spans = std::move(forms.spans);
    }
    for (size_t f = 0; f < kUapFields; ++f) compiled->groupsFor[f] = GroupsNeeded(rule, l, f);
    compiled->literalFirst = !rule.caseless && LiteralFirstGroup(rule.regex, &compiled->firstText);
    list.rules.push_back(std::move(compiled));
  }
  if (!list.set->Compile()) {
    return Status::Invalid(std::string(name), kListNames[l],
                           "the expressions are too large for RE2 to compile as one set");
  }
  return Status::Ok();
}

}  // namespace

Status UapMatcher::Build(const UapRegexes& regexes, std::string_view name,
                         RefusedExpressions* refused) {
  impl_ = std::make_unique<Impl>();
  const std::vector<UapRule>* sources[] = {&regexes.userAgent, &regexes.os, &regexes.device};
  RefusedExpressions refusedOf[3];
  Status built[3];
  auto build = [&](size_t l) {
    built[l] = BuildList(*sources[l], l, name, impl_->lists[l], &refusedOf[l]);
  };
  // The lists compile side by side: compiling is most of the loading, and
  // the loading most of a short run. A list whose thread cannot start
  // compiles here.
  std::thread others[2];
  for (size_t l = 1; l < 3; ++l) {
    try {
      others[l - 1] = std::thread(build, l);
    } catch (const std::system_error&) {
      build(l);
    }
  }
  build(0);
  for (std::thread& t : others) {
    if (t.joinable()) t.join();
  }
  // What was refused, in list order, as one list compiled after another.
  for (const RefusedExpressions& r : refusedOf) {
    refused->count += r.count;
    for (const std::string& first : r.first) {
      if (refused->first.size() < RefusedExpressions::kKept) refused->first.push_back(first);
    }
  }
  for (const Status& status : built) {
    if (!status.ok()) return status;
  }
  return Status::Ok();
}

namespace {

// The rule that wins among the set's candidates, with its groups; null
// when none matches in the file's form.
struct Winner {
  const CompiledRule* rule = nullptr;
  int index = -1;
  int count = 0;  // groups found
  re2::StringPiece groups[kMostGroups];
};

void FindWinner(const CompiledList& list, re2::StringPiece text, unsigned fields, bool inSet,
                const std::vector<int>& candidates, Winner* out) {
  // The set holds the opened forms, a superset: the first candidate that
  // matches in the file's form wins.
  for (int candidate : candidates) {
    const CompiledRule& rule = *list.rules[static_cast<size_t>(candidate)];
    int wanted = 0;
    for (size_t f = 0; f < kUapFields; ++f) {
      if ((fields >> f) & 1) wanted = std::max<int>(wanted, rule.groupsFor[f]);
    }
    if ((fields & kUapFirstGroup) != 0) wanted = std::max(wanted, 1);
    for (auto& g : out->groups) g = re2::StringPiece();
    // A first group that is one text needs no run for groups: whether the
    // rule matches is all there is to find.
    const bool literal = wanted == 1 && rule.literalFirst && (fields & kUapFirstGroup) == 0;
    if (MatchRule(rule, text, literal ? 0 : wanted, inSet, out->groups)) {
      if (literal) out->groups[1] = re2::StringPiece(rule.firstText.data(), rule.firstText.size());
      out->rule = &rule;
      out->count = wanted;
      out->index = candidate;
      return;
    }
  }
}

void FillFields(const Winner& winner, size_t list, unsigned fields, std::string_view agent,
                UapMatch* out) {
  out->rule = winner.index;
  for (size_t f = 0; f < kUapFields; ++f) {
    FieldBuilder field;
    if (winner.rule != nullptr && ((fields >> f) & 1) != 0) {
      if (winner.rule->rule.Has(f)) {
        Substitute(winner.rule->rule.replacement[f], winner.groups, winner.count, &field);
      } else {
        int g = kDefaultGroup[list][f];
        if (g != 0 && g <= winner.count && winner.groups[g].data() != nullptr) {
          field.Append(std::string_view(winner.groups[g].data(), winner.groups[g].size()));
        }
      }
    }
    std::string_view value = field.Trimmed();
    if (f == 0 && value.empty()) value = "Other";
    out->fields[f].assign(value);
  }
  out->groupBegin = out->groupEnd = -1;
  if (winner.rule != nullptr && winner.count >= 1 && winner.groups[1].data() != nullptr) {
    out->groupBegin = static_cast<int32_t>(winner.groups[1].data() - agent.data());
    out->groupEnd = out->groupBegin + static_cast<int32_t>(winner.groups[1].size());
  }
}

}  // namespace

bool UapMatcher::Match(UapList which, std::string_view agent, unsigned fields, UapScratch& scratch,
                       UapMatch* out) const {
  const size_t l = static_cast<size_t>(which);
  const CompiledList& list = impl_->lists[l];
  re2::StringPiece text(agent.data(), agent.size());
  scratch.matched.clear();
  RE2::Set::ErrorInfo error{};
  bool inSet = true;
  if (!list.set->Match(text, &scratch.matched, &error) && error.kind != RE2::Set::kNoError) {
    // The set's automaton gave up: every rule is a candidate.
    impl_->slowMatches.fetch_add(1, std::memory_order_relaxed);
    inSet = false;
    scratch.matched.resize(list.rules.size());
    for (size_t i = 0; i < list.rules.size(); ++i) scratch.matched[i] = static_cast<int>(i);
  }
  std::sort(scratch.matched.begin(), scratch.matched.end());
  Winner winner;
  FindWinner(list, text, fields, inSet, scratch.matched, &winner);
  FillFields(winner, l, fields, agent, out);
  return winner.rule != nullptr;
}

size_t UapMatcher::RuleCount() const {
  size_t n = 0;
  for (const CompiledList& list : impl_->lists) n += list.rules.size();
  return n;
}

uint64_t UapMatcher::SlowMatches() const {
  return impl_->slowMatches.load(std::memory_order_relaxed);
}

#else  // !LOGVANE_HAVE_RE2

struct UapMatcher::Impl {};

UapMatcher::UapMatcher() : impl_(std::make_unique<Impl>()) {}
UapMatcher::~UapMatcher() = default;

bool CanMatchUapRegexes() { return false; }

Status UapMatcher::Build(const UapRegexes&, std::string_view, RefusedExpressions*) {
  return Status::Unsupported(
      "this build cannot match user agents: it was built without RE2 (Debian: libre2-dev)");
}

bool UapMatcher::Match(UapList, std::string_view, unsigned, UapScratch&, UapMatch* out) const {
  out->rule = -1;
  for (auto& field : out->fields) field.clear();
  out->fields[0].assign("Other");
  out->groupBegin = out->groupEnd = -1;
  return false;
}

size_t UapMatcher::RuleCount() const { return 0; }
uint64_t UapMatcher::SlowMatches() const { return 0; }

#endif

}  // namespace logvane
