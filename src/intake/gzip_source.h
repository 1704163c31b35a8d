// Compressed logs: a source that starts with the gzip magic bytes is read
// through ISA-L or zlib, transparently, so every line of a rotated
// "access.log.2.gz" comes out exactly as the uncompressed log would give it.
#ifndef LOGVANE_INTAKE_GZIP_SOURCE_H_
#define LOGVANE_INTAKE_GZIP_SOURCE_H_

#include <memory>

#include "intake/log_source.h"

namespace logvane {

// Looks at the first bytes of `raw`: gzip data gives a source of its
// decompressed bytes (several members one after another, as gzip writes
// them when files are concatenated), anything else gives the bytes as they
// are. A damaged or cut compressed stream ends in a read error (kCorrupt),
// after every byte inflated before the damage.
// Compressed data goes through ISA-L's inflate when the build found it,
// else through zlib's.
std::unique_ptr<LogSource> DecompressIfGzip(std::unique_ptr<LogSource> raw);

// The same with the inflater chosen; kIsal means zlib in a build without
// ISA-L. Tests hold the two to the same bytes.
enum class Inflater { kIsal, kZlib };
std::unique_ptr<LogSource> DecompressIfGzip(std::unique_ptr<LogSource> raw, Inflater inflater);

// Whether the build found ISA-L.
bool IsalBuiltIn();

}  // namespace logvane

#endif  // LOGVANE_INTAKE_GZIP_SOURCE_H_
