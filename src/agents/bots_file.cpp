#include "agents/bots_file.h"

#include <string>

#include "agents/strict_json.h"
#include "common/ascii_text.h"

namespace logvane {

namespace {

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

bool ContainsFolded(std::string_view text, std::string_view part) {
  for (size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (EqualsFolded(text.substr(i, part.size()), part)) return true;
  }
  return false;
}

std::string Quoted(std::string_view text) {
  std::string out;
  out += '\'';
  out += text;
  out += '\'';
  return out;
}

// A token's own checks, shared by both formats; empty when it is fine.
std::string TokenProblem(std::string_view token) {
  if (token.empty()) return "an empty token";
  if (token.size() > kBotsTokenWidth) {
    return "a token longer than " + std::to_string(kBotsTokenWidth) + " characters";
  }
  for (char c : token) {
    if (static_cast<unsigned char>(c) < 0x20) return "a control character in a token";
  }
  return {};
}

// "[Anthropic](https://www.anthropic.com)" -> "Anthropic"; robots.json's
// "Unclear at this time." and "Unknown" say nothing.
std::string PlainOperator(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      size_t close = text.find("](", i);
      size_t end = close == std::string_view::npos ? close : text.find(')', close);
      if (end != std::string_view::npos) {
        out.append(text.substr(i + 1, close - i - 1));
        i = end;
        continue;
      }
    }
    out += text[i];
  }
  std::string_view trimmed = Trim(out);
  if (StartsWithFolded(trimmed, "unclear") || EqualsFolded(trimmed, "unknown")) return {};
  return std::string(trimmed);
}

Status ParseRobotsJson(std::string_view text, std::string_view name, std::vector<Crawler>* out) {
  JsonValue root;
  size_t offset = 0;
  std::string error;
  auto at = [](size_t byte) { return "byte " + std::to_string(byte); };
  if (!ParseStrictJson(text, &root, &offset, &error)) {
    return Status::Corrupt(std::string(name), at(offset), error);
  }
  if (root.type != JsonValue::Type::kObject) {
    return Status::Corrupt(std::string(name), at(root.offset),
                           "expected an object of crawlers keyed by their tokens");
  }
  for (size_t m = 0; m < root.keys.size(); ++m) {
    const std::string& token = root.keys[m];
    const JsonValue& entry = root.values[m];
    if (out->size() == kBotsFileMostEntries) {
      return Status::Invalid(std::string(name), at(entry.offset),
                             "more than " + std::to_string(kBotsFileMostEntries) + " crawlers");
    }
    std::string problem = TokenProblem(Trim(token));
    if (!problem.empty()) return Status::Corrupt(std::string(name), at(entry.offset), problem);
    if (entry.type != JsonValue::Type::kObject) {
      return Status::Corrupt(std::string(name), at(entry.offset),
                             "the entry " + Quoted(token) + " is not an object");
    }
    Crawler c;
    c.token = std::string(Trim(token));
    const JsonValue* function = entry.Find("function");
    const JsonValue* operatorName = entry.Find("operator");
    const JsonValue* versioned = entry.Find("has_name_and_version");
    for (const JsonValue* v : {function, operatorName}) {
      if (v != nullptr && v->type != JsonValue::Type::kString) {
        return Status::Corrupt(std::string(name), at(v->offset),
                               "in the entry " + Quoted(token) + ": expected a text");
      }
    }
    if (versioned != nullptr && versioned->type != JsonValue::Type::kBool) {
      return Status::Corrupt(std::string(name), at(versioned->offset),
                             "in the entry " + Quoted(token) + ": expected true or false");
    }
    c.agentClass = ClassOfRobotsFunction(function != nullptr ? function->text : "");
    if (operatorName != nullptr) c.operatorName = PlainOperator(operatorName->text);
    c.versioned = versioned != nullptr && versioned->boolean;
    out->push_back(std::move(c));
  }
  return Status::Ok();
}

Status ParsePlainList(std::string_view text, std::string_view name, std::vector<Crawler>* out) {
  size_t lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    auto fail = [&](std::string why) {
      return Status::Corrupt(std::string(name), "line " + std::to_string(lineNumber),
                             std::move(why));
    };
    if (out->size() == kBotsFileMostEntries) {
      return fail("more than " + std::to_string(kBotsFileMostEntries) + " crawlers");
    }
    std::string_view fields[4];
    size_t count = 0;
    std::string_view rest = line;
    while (count < 3) {
      size_t comma = rest.find(',');
      if (comma == std::string_view::npos) break;
      fields[count++] = Trim(rest.substr(0, comma));
      rest.remove_prefix(comma + 1);
    }
    fields[count++] = Trim(rest);
    if (count < 2) return fail("expected 'token, class[, name[, operator]]'");
    Crawler c;
    std::string_view token = fields[0];
    if (!token.empty() && token.back() == '/') {
      c.versioned = true;
      token = Trim(token.substr(0, token.size() - 1));
    }
    std::string problem = TokenProblem(token);
    if (!problem.empty()) return fail(problem);
    if (!AgentClassOfWord(fields[1], &c.agentClass)) {
      return fail("unknown class " + Quoted(fields[1]) +
                  " (one of human, search, ai-training, ai-assistant, ai-agent, seo, bot)");
    }
    c.token = std::string(token);
    if (count > 2) c.name = std::string(fields[2]);
    if (count > 3) c.operatorName = std::string(fields[3]);
    out->push_back(std::move(c));
  }
  return Status::Ok();
}

}  // namespace

AgentClass ClassOfRobotsFunction(std::string_view function) {
  for (std::string_view word : {"assistant", "prompt", "answer", "on behalf", "search"}) {
    if (ContainsFolded(function, word)) return AgentClass::kAiAssistant;
  }
  if (ContainsFolded(function, "agent")) return AgentClass::kAiAgent;
  return AgentClass::kAiTraining;
}

Status ParseBotsFile(std::string_view text, std::string_view name, std::vector<Crawler>* out) {
  out->clear();
  std::string_view body = Trim(text);
  Status status = !body.empty() && body.front() == '{' ? ParseRobotsJson(text, name, out)
                                                       : ParsePlainList(text, name, out);
  if (!status.ok()) out->clear();
  return status;
}

}  // namespace logvane
