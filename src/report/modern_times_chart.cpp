#include "report/modern_times_chart.h"

#include <algorithm>
#include <cmath>

namespace logvane {

namespace {

constexpr int kHoursPerDay = 24;
// The drawing's own units: 24 columns of 20, a plot 100 high with room
// for the scale's text on the left and the hours below.
constexpr int kLeft = 60;
constexpr int kColumn = 20;
constexpr int kTop = 10;
constexpr int kPlotHeight = 100;

struct HourFigures {
  bool timed = false;
  double p50 = 0;
  double p95 = 0;
};

void WritePoints(ReportWriter& out, const HourFigures (&hours)[kHoursPerDay], bool p95,
                 double top) {
  bool first = true;
  for (int h = 0; h < kHoursPerDay; ++h) {
    if (!hours[h].timed) continue;
    double value = p95 ? hours[h].p95 : hours[h].p50;
    if (!first) out.Write(" ");
    first = false;
    out.WriteInt(kLeft + h * kColumn + kColumn / 2);
    out.Write(",");
    out.WriteInt(kTop + kPlotHeight - std::lround(value / top * kPlotHeight));
  }
}

}  // namespace

void WriteTimesChart(const ReportInput& state, const SectionRows&, ReportWriter& out) {
  const ResponseTimes& times = state.tallies.times;
  const HourTable& hourTable = state.tallies.hours;
  // Hours outside the day (an HOFFSET beyond 23) have rows but no column.
  HourFigures hours[kHoursPerDay];
  double top = 0;
  for (size_t slot = 0; slot < hourTable.used; ++slot) {
    const LatencySketch& sketch = times.hours[slot];
    int32_t h = hourTable.slots[slot].hourNumber;
    if (sketch.count == 0 || h < 0 || h >= kHoursPerDay) continue;
    hours[h] = {true, LatencyQuantile(sketch, 0.50), LatencyQuantile(sketch, 0.95)};
    top = std::max(top, hours[h].p95);
  }
  if (top <= 0) top = 1;
  const ReportLabels& labels = state.labels;
  out.Write("<h3>");
  out.Write(labels[kTimesChart]);
  out.Write("</h3>\n");
  // The table below holds the same values, so the chart is hidden from
  // screen readers, as the hourly load's is.
  out.Write("<svg viewBox=\"0 0 560 140\" width=\"100%\" aria-hidden=true>");
  // The scale: its top and zero, and the baseline.
  out.Write("<text x=\"55\" y=\"15\" font-size=\"10\" text-anchor=\"end\" fill=currentColor>");
  out.Write(FormatDuration(top));
  out.Write(
      "</text><text x=\"55\" y=\"110\" font-size=\"10\" text-anchor=\"end\" "
      "fill=currentColor>0</text>");
  out.Write(
      "<polyline points=\"60,110 540,110\" fill=none stroke=currentColor "
      "stroke-width=\"0.5\"></polyline>");
  for (int h = 0; h < kHoursPerDay; h += 3) {
    out.Write("<text x=\"");
    out.WriteInt(kLeft + h * kColumn + kColumn / 2);
    out.Write("\" y=\"125\" font-size=\"10\" text-anchor=\"middle\" fill=currentColor>");
    out.WriteInt(h);
    out.Write("</text>");
  }
  // The median solid, the p95 dashed; each names itself at the right.
  out.Write("<polyline points=\"");
  WritePoints(out, hours, false, top);
  out.Write("\" fill=none stroke=currentColor stroke-width=\"2\"></polyline>");
  out.Write("<polyline points=\"");
  WritePoints(out, hours, true, top);
  out.Write(
      "\" fill=none stroke=currentColor stroke-width=\"2\" "
      "stroke-dasharray=\"6 3\"></polyline>");
  out.Write("<text x=\"540\" y=\"138\" font-size=\"10\" text-anchor=\"end\" fill=currentColor>");
  out.Write(labels[kMedianTime]);
  out.Write(" \xE2\x80\x94 ");
  out.Write(labels[kP95Time]);
  out.Write(" - -</text></svg>\n");
}

}  // namespace logvane
