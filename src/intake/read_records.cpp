#include "intake/read_records.h"

namespace logvane {

void ReadRecords(RunState& state, LogLineReader& reader, Console& console,
                 const Platform& platform) {
  console.Write(" - reading records...\n\n");
  console.Write("started: ");
  console.Write(platform.localTimeText());
  console.Write("\n");
  ClearTallies(state.tallies);
  std::string_view piece;
  ReadStatus status;
  while ((status = reader.ReadLogLine(&piece)) == ReadStatus::kLine) {
  }
  state.counters.readError = status == ReadStatus::kReadError;
  console.Line(state.counters.readError ? "Error reading file..." : "End of file...");
  console.Write("completed reading... processed: ");
  console.WriteNumber(state.counters.processedCount);
  console.Write(" records.\n");
}

}  // namespace logvane
