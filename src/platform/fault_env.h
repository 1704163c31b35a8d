// FaultEnv: the Env of tests and fuzz targets. It answers as a fixed
// machine would (host "testhost", a fixed clock text, sockets that start,
// a resolver that knows no name), each answer replaceable, and passes file
// calls to the real system, where a chosen call can be made to fail on a
// chosen path with a chosen errno: a whole run's failures can then be
// tested in-process, without a full disk or a user without rights.
#ifndef LOGVANE_PLATFORM_FAULT_ENV_H_
#define LOGVANE_PLATFORM_FAULT_ENV_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <deque>
#include <string>
#include <vector>

#include "platform/env.h"

namespace logvane {

// The clock text every FaultEnv gives unless told otherwise.
inline constexpr const char* kFixedTimeText = "Thu Oct  8 13:55:36 1998\n";

// The calls a fault can be put on.
enum class EnvCall : unsigned char {
  kOpen,    // OpenForReading
  kRead,    // SequentialFile::Read, once `afterBytes` bytes have been read
  kCreate,  // NewWritableFile
  kWrite,   // WritableFile::Append, once `afterBytes` bytes have been taken
  kSync,    // WritableFile::Sync and SyncDirectory
  kRename,  // Rename, by either name
  kStat,
  kRemove,
  kThread,  // StartThread (no path)
  kList,    // GetChildren
};
inline constexpr int kEnvCallKinds = 10;

class FaultEnv : public Env {
 public:
  // Relative paths are taken from `root`; empty: the working directory.
  explicit FaultEnv(std::string root = "");

  // Makes every `call` on a path that contains `pathPart` (empty: any)
  // fail with `error`; a read or a write first lets `afterBytes` bytes of
  // that file through, then fails. Set before the run starts.
  void FailOn(EnvCall call, std::string pathPart, int error, uint64_t afterBytes = 0);
  // How many calls of a kind were made, failed or not (reads, writes and
  // file syncs are not counted: they belong to their files).
  int Calls(EnvCall call) const;

  // The answers of the fixed machine; replace any.
  std::function<bool()> startSockets = [] { return true; };
  std::function<void()> stopSockets = [] {};
  std::function<std::optional<std::string>()> hostName = [] {
    return std::optional<std::string>("testhost");
  };
  std::function<void()> lowerPriority = [] {};
  std::function<std::string()> localTimeText = [] { return std::string(kFixedTimeText); };
  std::function<int64_t()> nowSeconds;  // the system's calendar seconds by default
  ReverseResolver resolver = [](const std::string&) { return std::optional<std::string>(); };
  // False: a sync succeeds without waiting for the device (fuzz targets,
  // which save thousands of times a second).
  bool syncs = true;

  Status OpenForReading(const std::string& path, std::unique_ptr<SequentialFile>* file) override;
  Status NewWritableFile(const std::string& path, const WriteOptions& options,
                         std::unique_ptr<WritableFile>* file) override;
  std::unique_ptr<WritableFile> StandardOutput() override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  Status Stat(const std::string& path, FileInfo* info) override;
  Status GetChildren(const std::string& directory, std::vector<std::string>* names) override;
  Status SyncDirectory(const std::string& directory) override;
  std::string LocalTimeText() override { return localTimeText(); }
  int64_t NowSeconds() override;
  Status StartSockets() override;
  void StopSockets() override { stopSockets(); }
  Status HostName(std::string* name) override;
  void LowerPriority() override { lowerPriority(); }
  ReverseResolver Resolver() override { return resolver; }
  Status StartThread(std::function<void()> body, std::thread* thread) override;

  struct Fault {
    EnvCall call;
    std::string pathPart;
    int error;
    uint64_t afterBytes;
  };

 private:
  // The fault for `call` on `path`, if one is set; counts the call.
  const Fault* Find(EnvCall call, const std::string& path);
  std::string OnDisk(const std::string& path) const;

  std::string root_;
  SystemEnv system_;
  std::deque<Fault> faults_;  // stays where it is: files hold pointers into it
  std::atomic<int> calls_[kEnvCallKinds] = {};
};

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_FAULT_ENV_H_
