#include "driver/state_steps.h"

#include <cstdlib>
#include <new>

#include "intake/log_reader.h"
#include "intake/log_source.h"
#include "platform/diagnostics.h"
#include "platform/file_replacement.h"
#include "state/state_codec.h"
#include "state/state_json.h"
#include "state/state_merge.h"
#include "state/state_settings.h"

namespace logvane {

namespace {

// The name the operator knows a stream by.
std::string StreamName(const std::string& name) {
  return IsStandardInputName(name) ? "(standard input)" : name;
}

// A state source: the file, or standard input for "-".
Status OpenStateSource(RunEnvironment& env, const std::string& name,
                       std::unique_ptr<LogSource>* source) {
  if (IsStandardInputName(name)) {
    *source = LogFromInput(env.input);
    return Status::Ok();
  }
  Status opened = OpenLogFile(env.machine, name, source);
  if (opened.ok()) return opened;
  return Status::Corrupt(name, "byte 0", "cannot open: " + opened.Reason());
}

// "SELECT=text", "PAGES=FULL", "HOFFSET not set": a setting as the
// parameter file would say it.
std::string SettingText(const std::string& keyword, const std::string& value) {
  if (value == "(not set)") return keyword + " not set";
  if (keyword.find('=') != std::string::npos) return keyword;
  std::string shown = value;
  for (char& c : shown) c = c == '\n' ? ',' : c;
  return keyword + (shown.starts_with("=") ? "" : "=") + Visible(shown, 200);
}

// A state that cannot be used ends the run before anything is written.
std::optional<int> BadState(RunEnvironment& env, const Status& status) {
  env.console.Write("*ERROR* Could not read state file.\n");
  Diagnostics(env.diagnostics).Reason(StateFaultText(status));
  return kEarlyEndStatus;
}

// Where a state sits, for the operator: the file, and the byte it starts
// at when the file is a stream of several.
std::string PlaceOf(const StateStream& stream, size_t index) {
  std::string place = "state " + Visible(stream.name(), 200);
  if (index > 0 || stream.stateOffset() > 0) {
    place += " (at byte " + std::to_string(stream.stateOffset()) + ")";
  }
  return place;
}

void NoteCounted(RunEnvironment& env, const std::string& place, const InputOrigin& input,
                 const KnownInput& known) {
  env.console.Write("*WARNING* Input counted already, refused: ");
  env.console.Write(place);
  env.console.Write("\n");
  Diagnostics(env.diagnostics)
      .Report(Severity::kWarning, "",
              place + " refused: its input " + Quoted(input.name) + " (" +
                  FingerprintText(input.fingerprint) + ") is counted already as " +
                  Quoted(known.origin.name) + " from " + known.place + "; it adds nothing");
}

void NoteOverlaps(RunEnvironment& env, const RunInputs& inputs,
                  const std::vector<InputOrigin>& origins, const std::string& place) {
  for (const auto& [input, known] : inputs.Overlapping(origins)) {
    Diagnostics(env.diagnostics)
        .Report(Severity::kWarning, "",
                "input " + Quoted(input->name) + " of " + place + " (" +
                    TimeText(input->firstTime) + " to " + TimeText(input->lastTime) +
                    ") overlaps " + Quoted(known->origin.name) + " of " + known->place + " (" +
                    TimeText(known->origin.firstTime) + " to " + TimeText(known->origin.lastTime) +
                    "), both of source " + Quoted(input->source) + ": a rotated log copied twice?");
  }
}

// The tables that ran full, in the piece or in this merge.
void NoteDrops(RunEnvironment& env, const MergeDrops& drops, const std::string& place) {
  Diagnostics diagnostics(env.diagnostics);
  const char* names[] = {"user",      "date",           "hour",    "page",
                         "directory", "not-found page", "Extra 1", "Extra 2"};
  for (uint32_t t = 0; t < kTableSectionCount; ++t) {
    const TableDrops& d = drops.tables[t];
    if (d.ranFullBefore) {
      diagnostics.Report(Severity::kWarning, "",
                         place + ": its " + names[t] + " table ran full when it was read: " +
                             std::to_string(d.droppedBefore) +
                             " hits of new keys were dropped there");
    }
    if (d.keys > 0) {
      diagnostics.Report(Severity::kWarning, "",
                         place + ": the run's " + names[t] +
                             " table is full: " + std::to_string(d.keys) + " keys with " +
                             std::to_string(d.hits) + " hits were dropped");
    }
  }
}

// Adds the scratch tally, whose inputs are `origins`, to the run unless
// one of them is counted already.
void AddPiece(RunEnvironment& env, RunState& state, StateRun& run,
              const std::vector<InputOrigin>& origins, const std::string& place) {
  if (auto counted = run.inputs.FindCounted(origins)) {
    NoteCounted(env, place, *counted->first, *counted->second);
    run.refused = true;
    return;
  }
  NoteOverlaps(env, run.inputs, origins, place);
  MergeDrops drops;
  MergeTally(run.scratch->tallies, run.scratch->counters, state.tallies, state.counters, &drops);
  NoteDrops(env, drops, place);
  run.inputs.Add(origins, place);
}

std::optional<int> MergeStates(RunEnvironment& env, RunState& state, StateRun& run) {
  const std::vector<TallyingSetting> ours = TallyingSettingsOf(state.settings);
  for (const std::string& name : state.settings.mergeStates) {
    std::unique_ptr<LogSource> source;
    if (Status s = OpenStateSource(env, name, &source); !s.ok()) return BadState(env, s);
    StateStream stream(*source, StreamName(name));
    size_t count = 0;
    for (;; ++count) {
      bool atEnd = false;
      StateFacts facts;
      Status s = DecodeState(stream, run.scratch->tallies, run.scratch->counters, &facts, &atEnd);
      if (!s.ok()) return BadState(env, s);
      if (atEnd) break;
      if (auto differs = CompareSettings(ours, facts.settings)) {
        env.console.Write("*ERROR* State file made with other settings.\n");
        Diagnostics(env.diagnostics)
            .Reason(Visible(stream.name(), 200) + ": byte " + std::to_string(stream.stateOffset()) +
                    ": the state was counted with " +
                    SettingText(differs->keyword, differs->stateValue) + ", this run with " +
                    SettingText(differs->keyword, differs->runValue) +
                    "; only states counted by the same rules can be merged");
        return kEarlyEndStatus;
      }
      AddPiece(env, state, run, facts.inputs, PlaceOf(stream, count));
    }
    if (count == 0) {
      return BadState(env, StateFault(stream.name(), 0, "holds no state (the file is empty)"));
    }
    env.console.Write("...... state merged: ");
    env.console.Write(stream.name());
    env.console.Write("\n");
  }
  return std::nullopt;
}

void ReadLogsOneByOne(RunEnvironment& env, RunState& state, const LogFormat& format,
                      InputChain& logs, const ReadingPlan& plan, StateRun& run) {
  const RunSettings& settings = state.settings;
  const std::string source = settings.sourceTag.empty() ? settings.hostName : settings.sourceTag;
  while (logs.NextInput()) {
    const size_t index = logs.position();
    ResetTally(run.scratch->tallies, run.scratch->counters);
    LogLineReader reader(logs, PieceWidthFor(format));
    RouteLog(settings, format, run.scratch->tallies, run.scratch->counters, reader, env.console,
             env.machine, plan);
    const InputRecord& record = logs.inputs()[index];
    const RunCounters& piece = run.scratch->counters;
    InputOrigin origin{record.name,     record.contentBytes, record.fingerprint,
                       piece.firstTime, piece.lastTime,      source};
    if (piece.readError) {
      // What was read still counts, as in a run without state files; the
      // log's fingerprint is not whole, so no state is written.
      MergeDrops drops;
      MergeTally(run.scratch->tallies, piece, state.tallies, state.counters, &drops);
      state.counters.readError = true;
      state.counters.readErrno = piece.readErrno;
      return;
    }
    AddPiece(env, state, run, {origin}, "log " + Visible(record.name, 200));
  }
}

}  // namespace

void ScratchDeleter::operator()(ScratchTally* scratch) const {
  scratch->~ScratchTally();
  std::free(scratch);
}

StateRun NewStateRun() {
  // As the run state: zero pages from the system, paid for when written.
  void* memory = std::calloc(1, sizeof(ScratchTally));
  if (memory == nullptr) throw std::bad_alloc();
  StateRun run;
  run.scratch.reset(new (memory) ScratchTally);
  return run;
}

std::optional<int> TallyWithStates(RunEnvironment& env, RunState& state, const LogFormat& format,
                                   InputChain* logs, const ReadingPlan& plan, StateRun& run) {
  WriteReadingStart(env.console, env.machine);
  ResetTally(state.tallies, state.counters);
  if (std::optional<int> end = MergeStates(env, state, run)) return end;
  if (logs != nullptr) ReadLogsOneByOne(env, state, format, *logs, plan, run);
  WriteReadingEnd(state.counters, env.console);
  return std::nullopt;
}

// The state to standard output (STATEFILE=-) or in place of the file,
// whole or not at all.
Status WriteStateBytes(Env& env, const std::string& path, const std::string& bytes) {
  if (IsStandardOutputName(path)) {
    std::unique_ptr<WritableFile> out = env.StandardOutput();
    Status appended = out->Append(bytes);
    Status closed = out->Close();
    return appended.ok() ? closed : appended;
  }
  std::unique_ptr<FileReplacement> file;
  if (Status begun = FileReplacement::Begin(env, path, &file); !begun.ok()) return begun;
  if (Status written = file->Write(bytes); !written.ok()) return written;
  return file->Commit();
}

std::optional<int> WriteStateFile(RunEnvironment& env, const RunState& state, const StateRun& run) {
  const std::string& path = state.settings.stateFile;
  Console& console = env.console;
  if (state.counters.readError) {
    // The run goes on to its report; its exit status says the log was cut
    // short.
    console.Write("*ERROR* No state file: a log could not be read to its end.\n");
    Diagnostics(env.diagnostics)
        .Reason("no state written to " + Quoted(path) +
                ": a log could not be read to its end, and a state must hold whole logs");
    return std::nullopt;
  }
  StateFacts facts;
  facts.settings = TallyingSettingsOf(state.settings);
  facts.inputs = run.inputs.Origins();
  const std::string bytes = EncodeState(state.tallies, state.counters, facts);
  Status written = WriteStateBytes(env.machine, path, bytes);
  if (!written.ok()) {
    console.Write("*ERROR* Could not write state file.\n");
    const int error = written.sysError();
    Diagnostics(env.diagnostics)
        .Reason("cannot write state file " + Quoted(path) + ": " +
                (error != 0 ? SystemReason(error) : written.Reason()) +
                (IsStandardOutputName(path) ? "" : "; the old file, if any, is as it was"));
    return kEarlyEndStatus;
  }
  console.Write("...... state file written: ");
  console.WriteNumber(static_cast<int64_t>(bytes.size()));
  console.Write(" bytes.\n");
  return std::nullopt;
}

int DumpStateFile(const std::string& path, RunEnvironment& env) {
  std::unique_ptr<LogSource> source;
  Diagnostics diagnostics(env.diagnostics);
  if (Status s = OpenStateSource(env, path, &source); !s.ok()) {
    diagnostics.Reason(StateFaultText(s));
    return kEarlyEndStatus;
  }
  StateRun run = NewStateRun();
  StateStream stream(*source, StreamName(path));
  size_t count = 0;
  for (;; ++count) {
    bool atEnd = false;
    StateFacts facts;
    Status s = DecodeState(stream, run.scratch->tallies, run.scratch->counters, &facts, &atEnd);
    if (!s.ok()) {
      env.console.Flush();
      diagnostics.Reason(StateFaultText(s));
      return kEarlyEndStatus;
    }
    if (atEnd) break;
    env.console.Write(StateJson(run.scratch->tallies, run.scratch->counters, facts));
    env.console.Write("\n");
  }
  if (count == 0) {
    diagnostics.Reason(StateFaultText(StateFault(stream.name(), 0, "holds no state")));
    return kEarlyEndStatus;
  }
  return 0;
}

}  // namespace logvane
