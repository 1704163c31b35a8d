#include "intake/block_pipeline.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "intake/line_preparer.h"

namespace logvane {

namespace {

// A block goes round: the reader fills it, a worker (or the router, when
// it would otherwise wait) claims and prepares it, the router routes it and
// frees it for the reader again.
enum class BlockState { kFree, kFilled, kClaimed, kPrepared };

// Block memory comes from malloc, not written when it is set aside: the
// parts a short log never reaches cost no pages. A prepared line is plain
// data that LinePreparer fills whole.
struct FreeMemory {
  void operator()(void* p) const { std::free(p); }
};

template <typename T>
std::unique_ptr<T[], FreeMemory> Uninitialised(size_t count) {
  void* p = std::malloc(count * sizeof(T));
  if (p == nullptr) throw std::bad_alloc();
  return std::unique_ptr<T[], FreeMemory>(static_cast<T*>(p));
}

struct Block {
  std::unique_ptr<char[], FreeMemory> bytes;
  // The block's lines: copies in `bytes`, or the reader's own pieces when
  // one thread reads, prepares and routes.
  std::unique_ptr<LinePiece[], FreeMemory> pieces;
  std::unique_ptr<PreparedLine[], FreeMemory> lines;
  // A configured format's decoded texts, which the block's records point
  // into until the block is routed (see DecodeBytes).
  std::unique_ptr<char[], FreeMemory> decoded;
  size_t count = 0;
  bool last = false;  // reading ended after this block's pieces
  ReadStatus endStatus = ReadStatus::kEndOfFile;
  BlockState state = BlockState::kFree;
};

class Pipeline {
 public:
  Pipeline(LogLineReader& reader, const LineRules& rules, const LogFormat& format,
           const Tallies& tallies, size_t ringSize, size_t blockLines)
      : reader_(reader),
        rules_(rules),
        format_(format),
        tallies_(tallies),
        blockLines_(blockLines),
        blockBytes_(BlockBytes(blockLines, reader.width())),
        ring_(ringSize) {
    bool decodes = format.kind != FormatKind::kMarkers;
    for (Block& b : ring_) {
      b.bytes = Uninitialised<char>(blockBytes_);
      b.pieces = Uninitialised<LinePiece>(blockLines_);
      b.lines = Uninitialised<PreparedLine>(blockLines_);
      if (decodes) b.decoded = Uninitialised<char>(DecodeBytes(blockLines_, reader.width()));
    }
  }

  // Fills block 0 on the calling thread; true when it holds the whole log.
  bool ReadFirst();
  // Fills the blocks after the first until the log ends.
  void ReadRest();
  void PrepareBlocks();
  // `preparer` is the calling thread's, for the blocks it prepares itself.
  ReadStatus RouteAll(LineRouter& router, LinePreparer& preparer);
  // Everything on the calling thread, one block at a time, from the first
  // (filled already).
  ReadStatus RouteAlone(LineRouter& router, LinePreparer& preparer);
  // Everything on the calling thread, the reader's pieces prepared where
  // they lie: a short block, prepared and then routed.
  ReadStatus RouteInPlace(LineRouter& router, LinePreparer& preparer);
  // Lets waiting workers go once no block is left to claim.
  void Stop();

  ProgressTick* progress_ = nullptr;  // told of each block routed

 private:
  // Claims the block with the next number; the lock is held.
  Block& ClaimNext();
  void Prepare(Block& b, LinePreparer& preparer);
  void Fill(Block& b);
  void RouteBlock(Block& b, LineRouter& router);

  LogLineReader& reader_;
  const LineRules& rules_;
  const LogFormat& format_;
  const Tallies& tallies_;
  const size_t blockLines_;
  const size_t blockBytes_;
  std::vector<Block> ring_;

  // Each kind of thread waits on its own condition, so that a change wakes
  // only a thread that can act on it: the reader waits for a free block,
  // the workers for a filled one, the router for its block or a filled one.
  std::mutex mutex_;
  std::condition_variable freed_;
  std::condition_variable filled_;
  std::condition_variable forRouter_;
  uint64_t claimNext_ = 0;  // number of the next block to prepare
  bool stop_ = false;       // the last block has been claimed

  // Pieces read and not yet copied into a block; ReadLines keeps them valid
  // until it is called again.
  static constexpr size_t kBatch = 64;
  LinePiece pending_[kBatch];
  size_t pendingAt_ = 0;
  size_t pendingCount_ = 0;
};

void Pipeline::Fill(Block& b) {
  size_t used = 0;
  size_t count = 0;
  b.last = false;
  for (;;) {
    if (pendingAt_ == pendingCount_) {
      if (count == blockLines_) break;
      pendingCount_ = reader_.ReadLines(pending_, std::min(kBatch, blockLines_ - count));
      pendingAt_ = 0;
      if (pendingCount_ == 0) {
        b.last = true;
        b.endStatus = reader_.status();
        break;
      }
    }
    const LinePiece& piece = pending_[pendingAt_];
    if (count == blockLines_ || used + piece.text.size() > blockBytes_) break;
    std::memcpy(b.bytes.get() + used, piece.text.data(), piece.text.size());
    b.pieces[count++] =
        LinePiece{std::string_view(b.bytes.get() + used, piece.text.size()), piece.full};
    used += piece.text.size();
    ++pendingAt_;
  }
  b.count = count;
}

bool Pipeline::ReadFirst() {
  Block& b = ring_[0];
  Fill(b);
  std::lock_guard<std::mutex> lock(mutex_);
  b.state = BlockState::kFilled;
  return b.last;
}

void Pipeline::ReadRest() {
  for (uint64_t number = 1;; ++number) {
    Block& b = ring_[number % ring_.size()];
    {
      std::unique_lock<std::mutex> lock(mutex_);
      freed_.wait(lock, [&b] { return b.state == BlockState::kFree; });
    }
    Fill(b);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      b.state = BlockState::kFilled;
    }
    filled_.notify_one();
    forRouter_.notify_one();
    if (b.last) return;
  }
}

Block& Pipeline::ClaimNext() {
  Block& b = ring_[claimNext_ % ring_.size()];
  ++claimNext_;
  b.state = BlockState::kClaimed;
  if (b.last) stop_ = true;
  return b;
}

void Pipeline::Prepare(Block& b, LinePreparer& preparer) {
  // Each line gets the whole width of a line's store, as on one thread, at
  // the point where the texts of the line before end.
  char* decoded = b.decoded.get();
  size_t decodedUsed = 0;
  for (size_t i = 0; i < b.count; ++i) {
    decodedUsed += preparer.Prepare(b.pieces[i], decoded + decodedUsed, b.lines[i]);
  }
}

void Pipeline::PrepareBlocks() {
  LinePreparer preparer(rules_, format_);
  for (;;) {
    Block* b;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      filled_.wait(lock, [this] {
        return stop_ || ring_[claimNext_ % ring_.size()].state == BlockState::kFilled;
      });
      if (stop_) return;
      b = &ClaimNext();
    }
    if (b->last) filled_.notify_all();  // the other workers may go
    Prepare(*b, preparer);
    // The keys the tables hold already are found here, off the routing
    // thread; on that thread it would only search twice.
    ResolveBlock(tallies_, b->lines.get(), b->count);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      b->state = BlockState::kPrepared;
    }
    forRouter_.notify_one();
  }
}

void Pipeline::RouteBlock(Block& b, LineRouter& router) {
  // How far ahead of routing the memory is asked for a line's buckets, and
  // then for its entries.
  constexpr size_t kBucketsAhead = 6;
  constexpr size_t kEntriesAhead = 3;
  PreparedLine* lines = b.lines.get();
  size_t count = b.count;
  for (size_t i = 0; i < count && i < kBucketsAhead; ++i) router.PrefetchBuckets(lines[i]);
  for (size_t i = 0; i < count; ++i) {
    if (i + kBucketsAhead < count) router.PrefetchBuckets(lines[i + kBucketsAhead]);
    if (i + kEntriesAhead < count) router.PrefetchEntries(lines[i + kEntriesAhead]);
    router.Route(lines[i]);
  }
  router.KeepPreviousUser();
  if (progress_ != nullptr) progress_->Lines(b.count);
}

ReadStatus Pipeline::RouteAlone(LineRouter& router, LinePreparer& preparer) {
  Block& b = ring_[0];
  for (;;) {
    Prepare(b, preparer);
    RouteBlock(b, router);
    if (b.last) return b.endStatus;
    Fill(b);
  }
}

ReadStatus Pipeline::RouteInPlace(LineRouter& router, LinePreparer& preparer) {
  Block& b = ring_[0];
  for (;;) {
    // No more bytes than a copied block holds, which sizes the decode store.
    b.count = reader_.ReadLines(b.pieces.get(), blockLines_, blockBytes_);
    if (b.count == 0) return reader_.status();
    Prepare(b, preparer);
    RouteBlock(b, router);
  }
}

ReadStatus Pipeline::RouteAll(LineRouter& router, LinePreparer& preparer) {
  for (uint64_t number = 0;; ++number) {
    Block& b = ring_[number % ring_.size()];
    // Until its block is prepared, the router prepares the next block that
    // nobody has claimed: its own, or one further on, which it also
    // resolves for the routing to come.
    for (;;) {
      Block* next = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        forRouter_.wait(lock, [&] {
          return b.state == BlockState::kPrepared ||
                 (!stop_ && ring_[claimNext_ % ring_.size()].state == BlockState::kFilled);
        });
        if (b.state == BlockState::kPrepared) break;
        next = &ClaimNext();
      }
      if (next->last) filled_.notify_all();  // the workers may go
      Prepare(*next, preparer);
      if (next == &b) break;
      ResolveBlock(tallies_, next->lines.get(), next->count);
      std::lock_guard<std::mutex> lock(mutex_);
      next->state = BlockState::kPrepared;
    }
    RouteBlock(b, router);
    bool last = b.last;
    ReadStatus status = b.endStatus;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      b.state = BlockState::kFree;
    }
    freed_.notify_one();
    if (last) return status;
  }
}

void Pipeline::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  filled_.notify_all();
}

}  // namespace

ReadStatus RouteInBlocks(LogLineReader& reader, const LineRules& rules, const LogFormat& format,
                         LineRouter& router, Env& env, int32_t workers, size_t blockLines,
                         ProgressTick* progress) {
  if (workers < 0) workers = 0;
  if (blockLines == 0) blockLines = workers == 0 ? kSequentialBlockLines : kDefaultBlockLines;
  const size_t ring = workers == 0 ? 1 : 2 * static_cast<size_t>(workers) + 2;
  Pipeline pipeline(reader, rules, format, router.tallies(), ring, blockLines);
  LinePreparer preparer(rules, format);
  pipeline.progress_ = progress;
  if (workers == 0) return pipeline.RouteInPlace(router, preparer);
  // A log that fits one block is not worth a thread: the router prepares
  // and routes it here.
  if (pipeline.ReadFirst()) return pipeline.RouteAlone(router, preparer);
  std::thread readerThread;
  if (!env.StartThread([&pipeline] { pipeline.ReadRest(); }, &readerThread).ok()) {
    return pipeline.RouteAlone(router, preparer);
  }
  // A worker that cannot be started is not needed: the router prepares
  // the blocks that nobody has claimed.
  std::vector<std::thread> workerThreads;
  for (int32_t i = 0; i < workers; ++i) {
    std::thread worker;
    if (!env.StartThread([&pipeline] { pipeline.PrepareBlocks(); }, &worker).ok()) break;
    workerThreads.push_back(std::move(worker));
  }
  ReadStatus status = pipeline.RouteAll(router, preparer);
  pipeline.Stop();
  for (std::thread& t : workerThreads) t.join();
  readerThread.join();
  return status;
}

}  // namespace logvane
