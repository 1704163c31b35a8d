// The reading phase on several threads, with the same result as on one.
//
// A reader thread cuts the log into blocks of whole pieces (exactly the
// pieces that ReadLogLine gives, copied), workers prepare the lines of a
// block (PrepareLine: every field, hashed keys, and every decision that
// depends on the line and the settings alone) and look up the slots of the
// keys the tables hold already (ResolveBlock: a slot once found is the
// key's for good), and the calling thread routes the prepared lines block
// after block, in log order, through the one LineRouter. Everything that
// depends on the tallies, the counters or the lines before — first-seen
// order, capacity messages, the previous-user rule, robots marking, byte
// sums, milestones, failure echoes — happens in the routing, line by line,
// as in the sequential phase; so every output is the same by construction.
// The routing thread prepares blocks itself while it would wait.
//
// A log in a configured format (intake/format_parser.h) goes the same way,
// each preparing thread with a FormatParser of its own, made when the
// thread starts. Its lines' decoded texts live in a store of the block
// (see DecodeBytes), where each line finds the full width that the
// sequential phase gives it, so its record is the same.
//
// Memory is fixed when the phase starts: a ring of 2 blocks per worker plus
// 2, each with room for `blockLines` prepared lines and their bytes (see
// BlockBytes): 1.8 MiB a block by default, 3.6 MiB a worker. A configured
// format adds the decode store, 1.0 MiB a block by default (2.0 MiB a
// worker), and about 20 KiB of parser per thread; combined logs have
// neither. Nothing is allocated per line.
#ifndef LOGVANE_INTAKE_BLOCK_PIPELINE_H_
#define LOGVANE_INTAKE_BLOCK_PIPELINE_H_

#include <cstddef>
#include <cstdint>

#include "intake/line_router.h"
#include "intake/log_format.h"
#include "intake/log_reader.h"
#include "platform/env.h"
#include "platform/progress_line.h"

namespace logvane {

inline constexpr size_t kDefaultBlockLines = 2048;
// With no worker the lines of a block are prepared and then routed on one
// thread: a short block keeps them in the cache in between.
inline constexpr size_t kSequentialBlockLines = 64;

// The bytes set aside for one block's lines: room for the average line of
// a web log, and never less than one longest piece.
inline constexpr size_t BlockBytes(size_t blockLines, size_t pieceWidth) {
  size_t bytes = blockLines * 256;
  return bytes < pieceWidth ? pieceWidth : bytes;
}

// The decode store of a block in a configured format. A line takes at most
// twice its length plus 3 bytes of it (FormatParser::ParseInto), and the
// block's pieces together at most BlockBytes: so the store holds every
// line's texts with kRecordTextWidth still free where the next one begins.
inline constexpr size_t DecodeBytes(size_t blockLines, size_t pieceWidth) {
  return 2 * BlockBytes(blockLines, pieceWidth) + 3 * blockLines + kRecordTextWidth;
}

// Routes every piece of `reader` through `router`, lines parsed by the
// marker parser, or by `format` when one is configured, and prepared by
// `workers` threads (none: the calling thread prepares each block before it
// routes it), started through `env`. Returns how reading ended (end of file
// or read error). A log that fits in one block, or a machine that will not
// start the reading thread, is read and routed on the calling thread alone;
// a worker that will not start leaves its share to the others.
// `progress`, when given, is told of each block routed.
ReadStatus RouteInBlocks(LogLineReader& reader, const LineRules& rules, const LogFormat& format,
                         LineRouter& router, Env& env, int32_t workers, size_t blockLines,
                         ProgressTick* progress = nullptr);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_BLOCK_PIPELINE_H_
