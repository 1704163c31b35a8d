#include "intake/line_fields.h"

#include "intake/byte_search.h"

#include <algorithm>
#include <cstring>

namespace logvane {

namespace {

// The request as one text: given whole, or put together in the record.
std::string_view RequestOf(const LineFields& f, char* store, size_t storeUsed) {
  if (f.request.data() != nullptr) return f.request;
  if (f.uri.data() == nullptr) return {};
  char* out = store + storeUsed;
  size_t room = kRecordTextWidth - storeUsed;
  size_t n = 0;
  auto put = [&](std::string_view part) {
    size_t k = std::min(part.size(), room - n);
    std::memcpy(out + n, part.data(), k);
    n += k;
  };
  put(f.method.data() != nullptr ? f.method : "-");
  put(" ");
  put(f.uri);
  if (f.protocol.data() != nullptr) {
    put(" ");
    put(f.protocol);
  }
  return std::string_view(out, n);
}

// The page and directory of `request` by the marker parser's rules, with
// the request's end where the line's closing quote would be.
LineFault PageFromRequest(std::string_view request, const LineFormat& o, LogRecord& r) {
  ScanSearch s{request};
  size_t blank = s.In(kBlank, 0, request.size());
  if (blank == kNoPosition) return LineFault::kBadPageA;
  size_t url = blank + 1;
  size_t close = request.size();
  size_t end = PageEnd(s, 0, url, close, o.proxyMode, o.fullPageDetails);
  AssignLowercased(r.page, request.substr(url, end - url));
  r.directory = DirectoryOf(s, request, url, close);
  return LineFault::kNone;
}

}  // namespace

bool PutField(FieldRole role, std::string_view text, LineFields& f) {
  switch (role) {
    case FieldRole::kClient: f.client = text; return true;
    case FieldRole::kIdent: f.ident = text; return true;
    case FieldRole::kAuthUser: f.authUser = text; return true;
    case FieldRole::kRequest: f.request = text; return true;
    case FieldRole::kMethod: f.method = text; return true;
    case FieldRole::kUri: f.uri = text; return true;
    case FieldRole::kProtocol: f.protocol = text; return true;
    case FieldRole::kStatus: f.status = text; return true;
    case FieldRole::kBytes: f.bytes = text; return true;
    default: return false;
  }
}

bool ReadTimeField(FieldRole role, std::string_view text, DayAndHour* time) {
  switch (role) {
    case FieldRole::kTimeLocal: return TimeFromLocal(text, time);
    case FieldRole::kTimeIso: return TimeFromIso8601(text, time);
    case FieldRole::kTimeSec: return TimeFromEpoch(text, 1, time);
    case FieldRole::kTimeMsec: return TimeFromEpoch(text, 1000, time);
    case FieldRole::kTimeUsec: return TimeFromEpoch(text, 1000000, time);
    case FieldRole::kTimeAny: return TimeFromAny(text, time);
    default: return false;
  }
}

bool ReadClockField(FieldRole role, std::string_view text, RecordTime* clock) {
  switch (role) {
    case FieldRole::kTimeLocal: return ClockFromLocal(text, clock);
    case FieldRole::kTimeIso: return ClockFromIso8601(text, clock);
    case FieldRole::kTimeSec: return ClockFromEpoch(text, 1, clock);
    case FieldRole::kTimeMsec: return ClockFromEpoch(text, 1000, clock);
    case FieldRole::kTimeUsec: return ClockFromEpoch(text, 1000000, clock);
    case FieldRole::kTimeAny: return ClockFromAny(text, clock);
    default: return false;
  }
}

size_t FillRecordFromFields(const LineFields& f, const LineFormat& o, char* store, size_t storeUsed,
                            LogRecord& r) {
  r.byteCount = LeadingInteger(f.bytes, false);
  // What is read of every record, before SELECT may end it.
  r.timeTaken = TimeTaken::kNoField;
  if (f.timeTaken.data() != nullptr) {
    r.timeTaken = ParseTimeTaken(f.timeTaken, f.timeTakenForm, &r.timeTakenMicros)
                      ? TimeTaken::kValue
                      : TimeTaken::kNoValue;
  }
  if (o.readClock) r.hasClock = ReadClockField(f.timeRole, f.timeText, &r.clock);
  std::string_view request = RequestOf(f, store, storeUsed);
  size_t composed = f.request.data() == nullptr ? request.size() : 0;
  if (o.selectOn) {
    AssignLowercased(r.requestText, request);
    r.selected = r.requestText.view().find(o.selectText) != std::string_view::npos;
    if (!r.selected) return composed;
  }
  if (f.client.data() != nullptr) {
    r.hasClientAddress = true;
    r.clientAddress = f.client.substr(0, kClientAddressWidth);
    r.userName = r.clientAddress;
    if (o.userFromField2) {
      if (IsUserName(f.authUser)) {
        r.userName = f.authUser.substr(0, kUserNameWidth);
      } else if (IsUserName(f.ident)) {
        r.userName = f.ident.substr(0, kUserNameWidth);
      }
    }
  }
  r.dateText = f.time.dateText;
  r.hourDigits[0] = f.time.hour[0];
  r.hourDigits[1] = f.time.hour[1];
  r.hourText = std::string_view(r.hourDigits, 2);
  r.statusCode = LeadingInt32(f.status, false);
  for (int i = 0; i < 2; ++i) {
    if (f.extra[i].data() == nullptr) continue;
    (i == 0 ? r.hasExtra1 : r.hasExtra2) = true;
    (i == 0 ? r.extra1 : r.extra2) = f.extra[i].substr(0, kExtraWidth);
  }
  if (f.agent.data() != nullptr) {
    r.hasUserAgent = true;
    r.userAgent = f.agent;
  }
  r.pageFault = PageFromRequest(request, o, r);
  return composed;
}

}  // namespace logvane
