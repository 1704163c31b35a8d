// A deterministic generator of web-server access logs in the combined
// format (common log format plus the referrer and the user agent as two
// quoted fields), for benchmarks. The same line count, seed and shape give
// the same log: the generator draws from its own random source and uses no
// library distribution, whose results differ between implementations.
// Benchmarks and tests share it.
//
// What it models, loosely after real sites: clients, pages, directories and
// referrers drawn with Zipf-like skew; visits in which a client asks for a
// page and then its images, styles and scripts in a row; more traffic by day
// than by night over a span of days; a mix of response codes; byte counts
// that depend on the kind of file; some IPv6 clients, some clients by host
// name, some authenticated users; a few query strings and POSTs.
#ifndef LOGVANE_TESTS_SUPPORT_LOG_GENERATOR_H_
#define LOGVANE_TESTS_SUPPORT_LOG_GENERATOR_H_

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace logvane::bench {

// splitmix64 seeding a xoshiro256** stream.
class Random {
 public:
  explicit Random(uint64_t seed) {
    for (uint64_t& word : state_) {
      seed += 0x9e3779b97f4a7c15ULL;
      uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
      word = z ^ (z >> 31);
    }
  }
  uint64_t Next() {
    uint64_t result = Rotl(state_[1] * 5, 7) * 9;
    uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = Rotl(state_[3], 45);
    return result;
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }  // [0, 1)
  uint64_t Below(uint64_t n) { return n == 0 ? 0 : Next() % n; }
  bool Chance(double p) { return Uniform() < p; }

 private:
  static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t state_[4];
};

// Ranks 0..n-1 with weight 1/(rank+1)^skew.
class ZipfSampler {
 public:
  ZipfSampler(size_t n, double skew) : cdf_(n == 0 ? 1 : n) {
    double sum = 0;
    for (size_t i = 0; i < cdf_.size(); ++i) {
      sum += 1.0 / std::pow(static_cast<double>(i + 1), skew);
      cdf_[i] = sum;
    }
    for (double& c : cdf_) c /= sum;
  }
  size_t Sample(Random& random) const {
    double u = random.Uniform();
    size_t rank = static_cast<size_t>(std::upper_bound(cdf_.begin(), cdf_.end(), u) - cdf_.begin());
    return rank < cdf_.size() ? rank : cdf_.size() - 1;
  }
  size_t size() const { return cdf_.size(); }

 private:
  std::vector<double> cdf_;
};

struct LogShape {
  size_t clients = 30000;    // distinct client addresses
  size_t directories = 150;  // distinct first path components
  size_t pages = 12000;      // distinct pages (paths without query)
  size_t referrers = 2000;   // distinct outside referrers
  double clientSkew = 1.0;
  double pageSkew = 1.05;
  double directorySkew = 1.1;
  double referrerSkew = 1.0;
  double visitGoesOn = 0.62;  // chance that the next line is the same client's
  uint32_t days = 28;
  int32_t startYear = 2026;
  int32_t startMonth = 11;  // 1 to 12
  int32_t startDay = 3;
};

namespace generator_detail {

inline const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Relative traffic of each hour of the day: quiet at night, busy by day.
inline const double kHourWeights[24] = {0.9, 0.6,  0.45, 0.35, 0.3,  0.35, 0.55, 0.9,
                                        1.3, 1.6,  1.8,  1.9,  1.85, 1.9,  1.95, 1.9,
                                        1.8, 1.65, 1.5,  1.5,  1.55, 1.5,  1.3,  1.1};

inline const char* const kAgents[] = {
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Safari/537.36",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 18_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) Version/18.1 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (X11; Linux x86_64; rv:133.0) Gecko/20100101 Firefox/133.0",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/18.1 Safari/605.1.15",
    "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Mobile Safari/537.36",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:133.0) Gecko/20100101 Firefox/133.0",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Safari/537.36 Edg/131.0.0.0",
    "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
    "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)",
    "Mozilla/5.0 (Linux; Android 13; SM-S918B) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/130.0.0.0 Mobile Safari/537.36",
    "Mozilla/5.0 (iPad; CPU OS 17_6 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.6 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Safari/537.36",
    "curl/8.5.0",
    "Wget/1.21.4",
    "python-requests/2.32.3",
    "Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)",
    "Mozilla/5.0 (X11; Ubuntu; Linux x86_64; rv:132.0) Gecko/20100101 Firefox/132.0",
    "Mozilla/5.0 (Windows NT 6.1; Win64; x64; Trident/7.0; rv:11.0) like Gecko",
    "facebookexternalhit/1.1 (+http://www.facebook.com/externalhit_uatext.php)",
    "Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)",
};
inline constexpr size_t kAgentCount = sizeof(kAgents) / sizeof(kAgents[0]);

inline const char* const kWords[] = {
    "news",    "products", "about",  "blog",    "support", "images", "static", "docs",
    "search",  "contact",  "team",   "gauge",   "vane",    "wind",   "rain",   "storm",
    "archive", "events",   "shop",   "cart",    "account", "press",  "jobs",   "faq",
    "media",   "video",    "forum",  "thread",  "help",    "legal",  "maps",   "data",
    "sensor",  "station",  "report", "climate", "cloud",   "sun",    "frost",  "tide"};
inline constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

// Days since 1970-01-01 of a civil date, and back.
inline int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

inline void CivilFromDays(int64_t z, int64_t* y, int64_t* m, int64_t* d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp + (mp < 10 ? 3 : -9);
  *y = yoe + era * 400 + (*m <= 2);
}

inline void AppendNumber(std::string& out, uint64_t n) {
  char digits[24];
  int i = 0;
  do {
    digits[i++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (i > 0) out.push_back(digits[--i]);
}

inline void AppendTwoDigits(std::string& out, int64_t n) {
  out.push_back(static_cast<char>('0' + n / 10));
  out.push_back(static_cast<char>('0' + n % 10));
}

enum class FileKind { kPage, kImage, kStyle, kScript, kOther };

struct Page {
  std::string path;
  FileKind kind;
  uint64_t size;          // typical bytes sent
  std::string directory;  // "" for the top
};

}  // namespace generator_detail

class LogGenerator {
 public:
  LogGenerator(uint64_t lines, uint64_t seed, const LogShape& shape = LogShape())
      : lines_(lines),
        shape_(shape),
        random_(seed),
        clientZipf_(shape.clients, shape.clientSkew),
        pageZipf_(shape.pages, shape.pageSkew),
        referrerZipf_(shape.referrers, shape.referrerSkew),
        agentZipf_(generator_detail::kAgentCount, 1.2) {
    Random setup(seed ^ 0x5bd1e9955bd1e995ULL);
    MakeClients(setup);
    MakeDirectoriesAndPages(setup);
    MakeReferrers(setup);
    firstDay_ = generator_detail::DaysFromCivil(shape.startYear, shape.startMonth, shape.startDay);
    double total = 0;
    for (double w : generator_detail::kHourWeights) total += w;
    double sum = 0;
    for (int h = 0; h < 24; ++h) {
      hourStart_[h] = sum / total;
      sum += generator_detail::kHourWeights[h];
    }
    hourStart_[24] = 1.0;
  }

  uint64_t linesLeft() const { return lines_ - produced_; }

  // Appends the next line with its line end; false once every line is out.
  bool AppendLine(std::string& out) {
    using namespace generator_detail;
    if (produced_ == lines_) return false;
    uint64_t index = produced_++;

    // A visit: a page first, then often the files it pulls in.
    if (visitLeft_ == 0 || !random_.Chance(shape_.visitGoesOn)) {
      client_ = clientZipf_.Sample(random_);
      agent_ = clientAgent_[client_];
      visitLeft_ = 1 + random_.Below(12);
      page_ = document_ = PagePick();
      referrer_ = random_.Chance(0.4) ? -1 : static_cast<int64_t>(referrerZipf_.Sample(random_));
      fromInside_ = false;
    } else {
      // The files of the document just shown, or the next document.
      --visitLeft_;
      referrer_ = static_cast<int64_t>(document_);
      fromInside_ = true;
      if (random_.Chance(0.55)) {
        page_ = AssetOf(document_);
      } else {
        page_ = document_ = PagePick();
      }
    }

    out += clients_[client_];
    out += users_[client_];
    AppendTime(out, index);

    const Page& page = pages_[page_];
    double m = random_.Uniform();
    const char* method = m < 0.95 ? "GET" : m < 0.99 ? "POST" : "HEAD";
    out += " \"";
    out += method;
    out += ' ';
    out += page.path;
    if (page.kind == FileKind::kPage && page_ != 0 && random_.Chance(0.08)) {
      out += "?id=";
      AppendNumber(out, random_.Below(5000));
      if (random_.Chance(0.3)) out += "&lang=en";
    }
    out += random_.Chance(0.3) ? " HTTP/2.0\" " : " HTTP/1.1\" ";

    int code = StatusFor(page);
    AppendNumber(out, static_cast<uint64_t>(code));
    out += ' ';
    if (code == 304) {
      out += random_.Chance(0.5) ? "-" : "0";
    } else if (code == 404 || code >= 500 || code == 403 || code == 401) {
      AppendNumber(out, 200 + random_.Below(400));
    } else if (code == 301 || code == 302) {
      AppendNumber(out, 150 + random_.Below(100));
    } else if (code == 206) {
      AppendNumber(out, page.size / 4 + random_.Below(page.size / 4 + 1));
    } else {
      AppendNumber(out, page.size / 2 + random_.Below(page.size + 1));
    }

    out += " \"";
    if (referrer_ < 0) {
      out += '-';
    } else if (fromInside_) {
      // Popular documents by name, the others by their directory, so the
      // site's own referrers stay a few hundred.
      size_t from = static_cast<size_t>(referrer_);
      out += "https://www.example.org";
      if (from < 600) {
        out += pages_[from].path;
      } else {
        out += pages_[from].directory;
        out += '/';
      }
    } else {
      out += referrers_[static_cast<size_t>(referrer_)];
    }
    out += "\" \"";
    out += kAgents[agent_];
    out += "\"\n";
    return true;
  }

  // The whole log in memory.
  static std::string Generate(uint64_t lines, uint64_t seed, const LogShape& shape = LogShape()) {
    LogGenerator generator(lines, seed, shape);
    std::string out;
    out.reserve(static_cast<size_t>(lines) * 240);
    while (generator.AppendLine(out)) {
    }
    return out;
  }

  // The log written to `path` in large pieces; false when it cannot be.
  static bool WriteFile(const std::string& path, uint64_t lines, uint64_t seed,
                        const LogShape& shape = LogShape()) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    LogGenerator generator(lines, seed, shape);
    std::string chunk;
    bool ok = true;
    for (;;) {
      bool more = generator.AppendLine(chunk);
      if (chunk.size() >= (1u << 20) || (!more && !chunk.empty())) {
        ok = ok && std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
        chunk.clear();
      }
      if (!more) break;
    }
    return std::fclose(file) == 0 && ok;
  }

 private:
  using Page = generator_detail::Page;
  using FileKind = generator_detail::FileKind;

  void MakeClients(Random& setup) {
    clients_.reserve(shape_.clients);
    users_.reserve(shape_.clients);
    clientAgent_.reserve(shape_.clients);
    for (size_t i = 0; i < shape_.clients; ++i) {
      std::string c;
      double kind = setup.Uniform();
      if (kind < 0.06) {
        c = "2001:db8:";
        char hex[32];
        std::snprintf(hex, sizeof(hex), "%x:%x::%x", static_cast<unsigned>(setup.Below(0x10000)),
                      static_cast<unsigned>(setup.Below(0x10000)),
                      static_cast<unsigned>(setup.Below(0x10000)));
        c += hex;
      } else if (kind < 0.16) {
        char name[64];
        std::snprintf(name, sizeof(name), "host-%u-%u.%s.example.net",
                      static_cast<unsigned>(setup.Below(256)),
                      static_cast<unsigned>(setup.Below(256)),
                      generator_detail::kWords[setup.Below(generator_detail::kWordCount)]);
        c = name;
      } else {
        char address[32];
        std::snprintf(
            address, sizeof(address), "%u.%u.%u.%u", static_cast<unsigned>(1 + setup.Below(223)),
            static_cast<unsigned>(setup.Below(256)), static_cast<unsigned>(setup.Below(256)),
            static_cast<unsigned>(1 + setup.Below(254)));
        c = address;
      }
      clients_.push_back(c);
      if (setup.Chance(0.015)) {
        users_.push_back(std::string(" - ") +
                         generator_detail::kWords[setup.Below(generator_detail::kWordCount)] +
                         std::to_string(setup.Below(100)) + " [");
      } else {
        users_.push_back(" - - [");
      }
      clientAgent_.push_back(agentZipf_.Sample(setup));
    }
  }

  void MakeDirectoriesAndPages(Random& setup) {
    using generator_detail::kWordCount;
    using generator_detail::kWords;
    std::vector<std::string> directories;
    directories.push_back("");  // the top
    for (size_t i = 1; i < shape_.directories; ++i) {
      std::string d = "/";
      d += kWords[setup.Below(kWordCount)];
      if (i >= kWordCount / 2) AppendNumberTo(d, i);
      directories.push_back(d);
    }
    ZipfSampler directoryZipf(directories.size(), shape_.directorySkew);
    pages_.reserve(shape_.pages);
    pages_.push_back({"/", FileKind::kPage, 12000, ""});
    while (pages_.size() < shape_.pages) {
      const std::string& dir = directories[directoryZipf.Sample(setup)];
      double kind = setup.Uniform();
      Page page;
      page.directory = dir;
      page.path = dir;
      page.path += '/';
      if (setup.Chance(0.2)) {
        page.path += kWords[setup.Below(kWordCount)];
        page.path += '/';
      }
      page.path += kWords[setup.Below(kWordCount)];
      AppendNumberTo(page.path, pages_.size());
      if (kind < 0.45) {
        page.path += setup.Chance(0.7) ? ".html" : ".php";
        page.kind = FileKind::kPage;
        page.size = 4000 + setup.Below(40000);
      } else if (kind < 0.8) {
        page.path += setup.Chance(0.5) ? ".jpg" : setup.Chance(0.5) ? ".png" : ".gif";
        page.kind = FileKind::kImage;
        page.size = 2000 + setup.Below(300000);
      } else if (kind < 0.88) {
        page.path += ".css";
        page.kind = FileKind::kStyle;
        page.size = 1000 + setup.Below(30000);
      } else if (kind < 0.96) {
        page.path += ".js";
        page.kind = FileKind::kScript;
        page.size = 1000 + setup.Below(120000);
      } else {
        page.path += setup.Chance(0.5) ? ".pdf" : ".zip";
        page.kind = FileKind::kOther;
        page.size = 50000 + setup.Below(5000000);
      }
      pages_.push_back(page);
    }
    pages_.push_back({"/robots.txt", FileKind::kOther, 120, ""});
    pages_.push_back({"/favicon.ico", FileKind::kImage, 1150, ""});
    // Order by popularity: pages drawn from popular directories and the top
    // page first, so the Zipf rank mixes kinds.
    for (size_t i = 1; i < pages_.size(); ++i) {
      size_t j = 1 + setup.Below(i);
      std::swap(pages_[i], pages_[j]);
    }
    for (size_t i = 0; i < pages_.size(); ++i) {
      if (pages_[i].kind == FileKind::kPage)
        pagesOnly_.push_back(i);
      else
        assets_.push_back(i);
    }
    if (pagesOnly_.empty()) pagesOnly_.push_back(0);
    if (assets_.empty()) assets_.push_back(0);
  }

  void MakeReferrers(Random& setup) {
    using generator_detail::kWordCount;
    using generator_detail::kWords;
    static const char* const kHosts[] = {"https://www.google.com/", "https://www.bing.com/",
                                         "https://duckduckgo.com/"};
    referrers_.push_back("https://www.google.com/");
    while (referrers_.size() < shape_.referrers) {
      std::string r;
      double kind = setup.Uniform();
      if (kind < 0.3) {
        r = kHosts[setup.Below(3)];
        r += "search?q=";
        r += kWords[setup.Below(kWordCount)];
        r += '+';
        r += kWords[setup.Below(kWordCount)];
      } else {
        r = setup.Chance(0.7) ? "https://" : "http://";
        r += kWords[setup.Below(kWordCount)];
        r += '.';
        r += kWords[setup.Below(kWordCount)];
        AppendNumberTo(r, referrers_.size());
        r += setup.Chance(0.5) ? ".example.com/" : ".example.net/";
        r += kWords[setup.Below(kWordCount)];
        r += '/';
        AppendNumberTo(r, setup.Below(1000));
      }
      referrers_.push_back(r);
    }
  }

  static void AppendNumberTo(std::string& s, uint64_t n) { generator_detail::AppendNumber(s, n); }

  size_t PagePick() {
    // Popular pages by Zipf rank, kept to documents when the visit starts.
    size_t rank = pageZipf_.Sample(random_);
    size_t p = rank % pages_.size();
    if (pages_[p].kind != FileKind::kPage && random_.Chance(0.7)) {
      p = pagesOnly_[rank % pagesOnly_.size()];
    }
    return p;
  }

  size_t AssetOf(size_t page) {
    // Each page pulls in a handful of files that depend on it.
    uint64_t h = (page + 1) * 0x9e3779b97f4a7c15ULL;
    uint64_t pick = random_.Below(6);
    h ^= pick * 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 31;
    return assets_[h % assets_.size()];
  }

  int StatusFor(const Page& page) {
    if (page.path == "/robots.txt") return random_.Chance(0.9) ? 200 : 404;
    double u = random_.Uniform();
    if (page.kind != FileKind::kPage && u < 0.16) return 304;
    if (u < 0.75) return 200;
    if (u < 0.80) return 304;
    if (u < 0.845) return 404;
    if (u < 0.87) return 302;
    if (u < 0.89) return 301;
    if (u < 0.905) return 206;
    if (u < 0.915) return 403;
    if (u < 0.92) return 401;
    if (u < 0.925) return 500;
    if (u < 0.928) return 503;
    if (u < 0.932) return 400;
    if (u < 0.934) return 201;
    if (u < 0.935) return 502;
    return 200;
  }

  // "dd/Mon/yyyy:hh:mm:ss +0100] ", monotone through the log, with more
  // lines by day than by night.
  void AppendTime(std::string& out, uint64_t index) {
    using namespace generator_detail;
    double progress = lines_ == 0 ? 0 : static_cast<double>(index) / static_cast<double>(lines_);
    double dayPosition = progress * shape_.days;
    int64_t day = static_cast<int64_t>(dayPosition);
    double withinDay = dayPosition - static_cast<double>(day);
    int hour = 0;
    while (hour < 23 && hourStart_[hour + 1] <= withinDay) ++hour;
    double hourFraction =
        (withinDay - hourStart_[hour]) / (hourStart_[hour + 1] - hourStart_[hour]);
    int64_t seconds = hour * 3600 + static_cast<int64_t>(hourFraction * 3600);
    if (seconds > 86399) seconds = 86399;
    int64_t y, m, d;
    CivilFromDays(firstDay_ + day, &y, &m, &d);
    AppendTwoDigits(out, d);
    out += '/';
    out += kMonthNames[m - 1];
    out += '/';
    AppendNumber(out, static_cast<uint64_t>(y));
    out += ':';
    AppendTwoDigits(out, seconds / 3600);
    out += ':';
    AppendTwoDigits(out, seconds / 60 % 60);
    out += ':';
    AppendTwoDigits(out, seconds % 60);
    out += " +0100]";
  }

  uint64_t lines_;
  uint64_t produced_ = 0;
  LogShape shape_;
  Random random_;
  ZipfSampler clientZipf_;
  ZipfSampler pageZipf_;
  ZipfSampler referrerZipf_;
  ZipfSampler agentZipf_;
  std::vector<std::string> clients_;
  std::vector<std::string> users_;  // " - - [" or " - name ["
  std::vector<size_t> clientAgent_;
  std::vector<Page> pages_;
  std::vector<size_t> pagesOnly_;
  std::vector<size_t> assets_;
  std::vector<std::string> referrers_;
  int64_t firstDay_ = 0;
  double hourStart_[25] = {};

  size_t client_ = 0;
  size_t agent_ = 0;
  size_t page_ = 0;
  size_t document_ = 0;  // the visit's current document
  int64_t referrer_ = -1;
  bool fromInside_ = false;
  uint64_t visitLeft_ = 0;
};

}  // namespace logvane::bench

#endif  // LOGVANE_TESTS_SUPPORT_LOG_GENERATOR_H_
