#include "agents/flat_yaml.h"

#if defined(LOGVANE_HAVE_YAML)
#include <yaml.h>
#endif

namespace logvane {

#if defined(LOGVANE_HAVE_YAML)

namespace {

// libyaml's events one at a time.
class EventReader {
 public:
  EventReader(std::string_view text, std::string_view name) : name_(name) {
    yaml_parser_initialize(&parser_);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()),
                                 text.size());
  }
  ~EventReader() {
    if (hasEvent_) yaml_event_delete(&event_);
    yaml_parser_delete(&parser_);
  }
  EventReader(const EventReader&) = delete;
  EventReader& operator=(const EventReader&) = delete;

  // Moves to the next event; false (with the status) on a YAML error.
  bool Next() {
    if (hasEvent_) yaml_event_delete(&event_);
    hasEvent_ = yaml_parser_parse(&parser_, &event_) != 0;
    if (!hasEvent_) {
      std::string why = parser_.problem != nullptr ? parser_.problem : "not valid YAML";
      if (parser_.context != nullptr) why += std::string(" ") + parser_.context;
      return FailAt(parser_.problem_mark.line + 1, why);
    }
    return true;
  }
  bool Is(yaml_event_type_t t) const { return event_.type == t; }
  std::string_view Scalar() const {
    return std::string_view(reinterpret_cast<const char*>(event_.data.scalar.value),
                            event_.data.scalar.length);
  }
  size_t Line() const { return event_.start_mark.line + 1; }

  bool Fail(std::string why) { return FailAt(Line(), std::move(why)); }
  bool FailAt(size_t line, std::string why) {
    status_ = Status::Corrupt(std::string(name_), "line " + std::to_string(line), std::move(why));
    return false;
  }
  Status TakeStatus() { return std::move(status_); }

 private:
  std::string_view name_;
  yaml_parser_t parser_;
  yaml_event_t event_;
  bool hasEvent_ = false;
  Status status_;
};

// "'text'", built by appending: GCC 12 warns wrongly about "'" + text.
std::string Quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  out += text;
  out += '\'';
  return out;
}

// Passes over the value that starts at the next event, however deep.
bool SkipValue(EventReader& in) {
  if (!in.Next()) return false;
  if (!in.Is(YAML_MAPPING_START_EVENT) && !in.Is(YAML_SEQUENCE_START_EVENT)) return true;
  size_t depth = 1;
  while (depth > 0) {
    if (!in.Next()) return false;
    if (in.Is(YAML_MAPPING_START_EVENT) || in.Is(YAML_SEQUENCE_START_EVENT)) ++depth;
    if (in.Is(YAML_MAPPING_END_EVENT) || in.Is(YAML_SEQUENCE_END_EVENT)) --depth;
  }
  return true;
}

// One item, its MAPPING_START just read.
bool ReadItem(EventReader& in, FlatYamlItem* item) {
  item->line = in.Line();
  item->fields.clear();
  while (true) {
    if (!in.Next()) return false;
    if (in.Is(YAML_MAPPING_END_EVENT)) return true;
    if (!in.Is(YAML_SCALAR_EVENT)) return in.Fail("a key must be a text");
    std::string key(in.Scalar());
    if (!in.Next()) return false;
    if (in.Is(YAML_ALIAS_EVENT)) return in.Fail("aliases are not supported");
    if (!in.Is(YAML_SCALAR_EVENT))
      return in.Fail("the value of " + Quoted(key) + " must be a text");
    item->fields.emplace_back(std::move(key), std::string(in.Scalar()));
  }
}

bool ReadList(EventReader& in, std::string_view listName, size_t list,
              const FlatYamlVisitor& visit) {
  if (!in.Next()) return false;
  // "device_parsers:" with nothing after it is an empty list.
  if (in.Is(YAML_SCALAR_EVENT) && in.Scalar().empty()) return true;
  if (!in.Is(YAML_SEQUENCE_START_EVENT)) {
    return in.Fail(Quoted(listName) + " must be a list");
  }
  FlatYamlItem item;
  while (true) {
    if (!in.Next()) return false;
    if (in.Is(YAML_SEQUENCE_END_EVENT)) return true;
    if (!in.Is(YAML_MAPPING_START_EVENT)) {
      return in.Fail("each item of " + Quoted(listName) + " must be a mapping");
    }
    if (!ReadItem(in, &item)) return false;
    std::string why = visit(list, item);
    if (!why.empty()) return in.FailAt(item.line, std::move(why));
  }
}

bool ReadDocument(EventReader& in, const std::vector<std::string_view>& lists,
                  const FlatYamlVisitor& visit) {
  if (!in.Next() || !in.Next()) return false;  // the stream's start, then a document
  if (in.Is(YAML_STREAM_END_EVENT)) return in.Fail("the file is empty");
  if (!in.Next()) return false;
  std::string names;
  for (std::string_view list : lists) {
    if (!names.empty()) names += ", ";
    names += list;
  }
  if (!in.Is(YAML_MAPPING_START_EVENT)) return in.Fail("expected the lists " + names);
  const size_t top = in.Line();
  std::vector<bool> seen(lists.size());
  bool any = false;
  while (true) {
    if (!in.Next()) return false;
    if (in.Is(YAML_MAPPING_END_EVENT)) break;
    if (!in.Is(YAML_SCALAR_EVENT)) return in.Fail("a top-level key must be a text");
    std::string key(in.Scalar());
    size_t which = 0;
    while (which < lists.size() && key != lists[which]) ++which;
    if (which == lists.size()) {
      if (!SkipValue(in)) return false;
      continue;
    }
    if (seen[which]) return in.Fail(Quoted(key) + " given twice");
    seen[which] = any = true;
    if (!ReadList(in, lists[which], which, visit)) return false;
  }
  if (!any) return in.FailAt(top, "none of the lists " + names + " is in the file");
  if (!in.Next() || !in.Next()) return false;  // the document's end, then the stream's
  if (!in.Is(YAML_STREAM_END_EVENT)) return in.Fail("a second document after the lists");
  return true;
}

}  // namespace

bool CanReadYaml() { return true; }

Status ReadFlatYaml(std::string_view text, std::string_view name,
                    const std::vector<std::string_view>& lists, const FlatYamlVisitor& visit) {
  EventReader in(text, name);
  if (ReadDocument(in, lists, visit)) return Status::Ok();
  return in.TakeStatus();
}

#else  // !LOGVANE_HAVE_YAML

bool CanReadYaml() { return false; }

Status ReadFlatYaml(std::string_view, std::string_view, const std::vector<std::string_view>&,
                    const FlatYamlVisitor&) {
  return Status::Unsupported(
      "this build cannot read YAML: it was built without libyaml "
      "(Debian: libyaml-dev)");
}

#endif

}  // namespace logvane
