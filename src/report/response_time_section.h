// The Response Times section: the log's and each hour's count and
// percentiles of the time taken to serve, then the Slowest Pages, those
// with the highest p95 among the pages timed often enough (MINHITS),
// MAXSLOW of them. Written when a time was counted, unless NO_TIMES.
#ifndef LOGVANE_REPORT_RESPONSE_TIME_SECTION_H_
#define LOGVANE_REPORT_RESPONSE_TIME_SECTION_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "report/report_input.h"
#include "report/section_rows.h"

namespace logvane {

bool HasResponseTimes(const ReportInput& state);

SectionRows ResponseTimeRows(const ReportInput& state);

// The page slots of at most `limit` pages with at least `minHits` timed
// hits, by descending p95, then descending timed hits, then key; none when
// no page was timed.
std::vector<size_t> SlowestPages(const PageTable& pages, const PageLatencySketch* sketches,
                                 int64_t minHits, size_t limit);

}  // namespace logvane

#endif  // LOGVANE_REPORT_RESPONSE_TIME_SECTION_H_
