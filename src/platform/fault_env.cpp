#include "platform/fault_env.h"

#include <cerrno>
#include <utility>

namespace logvane {

namespace {

// A file that lets `allowed` bytes through, then fails (no fault: all).
class FaultySequentialFile : public SequentialFile {
 public:
  FaultySequentialFile(std::unique_ptr<SequentialFile> real, const FaultEnv::Fault* fault,
                       std::string path)
      : real_(std::move(real)), fault_(fault), path_(std::move(path)) {}

  Status Read(char* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (fault_ != nullptr) {
      if (done_ >= fault_->afterBytes) return Status::FromErrno(fault_->error, path_);
      size = std::min<uint64_t>(size, fault_->afterBytes - done_);
    }
    Status s = real_->Read(buffer, size, got);
    done_ += *got;
    return s;
  }

 private:
  std::unique_ptr<SequentialFile> real_;
  const FaultEnv::Fault* fault_;
  std::string path_;
  uint64_t done_ = 0;
};

class FaultyWritableFile : public WritableFile {
 public:
  FaultyWritableFile(std::unique_ptr<WritableFile> real, const FaultEnv::Fault* writeFault,
                     const FaultEnv::Fault* syncFault, std::string path, bool syncs)
      : real_(std::move(real)),
        writeFault_(writeFault),
        syncFault_(syncFault),
        path_(std::move(path)),
        syncs_(syncs) {}

  Status Append(std::string_view data) override {
    if (writeFault_ != nullptr && taken_ + data.size() > writeFault_->afterBytes) {
      // What still fits goes to the file, as a device filling up takes it.
      size_t fits =
          static_cast<size_t>(writeFault_->afterBytes - std::min(taken_, writeFault_->afterBytes));
      Status s = real_->Append(data.substr(0, fits));
      taken_ += fits;
      return s.ok() ? Status::FromErrno(writeFault_->error, path_) : s;
    }
    taken_ += data.size();
    return real_->Append(data);
  }
  Status Sync() override {
    if (syncFault_ != nullptr) return Status::FromErrno(syncFault_->error, path_);
    return syncs_ ? real_->Sync() : Status::Ok();
  }
  Status Close() override { return real_->Close(); }

 private:
  std::unique_ptr<WritableFile> real_;
  const FaultEnv::Fault* writeFault_;
  const FaultEnv::Fault* syncFault_;
  std::string path_;
  bool syncs_;
  uint64_t taken_ = 0;
};

}  // namespace

FaultEnv::FaultEnv(std::string root) : root_(std::move(root)) {}

void FaultEnv::FailOn(EnvCall call, std::string pathPart, int error, uint64_t afterBytes) {
  faults_.push_back(Fault{call, std::move(pathPart), error, afterBytes});
}

int FaultEnv::Calls(EnvCall call) const { return calls_[static_cast<int>(call)].load(); }

const FaultEnv::Fault* FaultEnv::Find(EnvCall call, const std::string& path) {
  ++calls_[static_cast<int>(call)];
  for (const Fault& fault : faults_) {
    if (fault.call == call && path.find(fault.pathPart) != std::string::npos) return &fault;
  }
  return nullptr;
}

std::string FaultEnv::OnDisk(const std::string& path) const {
  if (root_.empty() || path.empty() || path[0] == '/') return path;
  return root_ + "/" + path;
}

Status FaultEnv::OpenForReading(const std::string& path, std::unique_ptr<SequentialFile>* file) {
  if (const Fault* f = Find(EnvCall::kOpen, path)) return Status::FromErrno(f->error, path);
  std::unique_ptr<SequentialFile> real;
  Status s = system_.OpenForReading(OnDisk(path), &real);
  if (!s.ok()) return Status::FromErrno(s.sysError(), path);
  // Read faults are looked up once, at the open; the reads may run on
  // another thread.
  const Fault* readFault = nullptr;
  for (const Fault& fault : faults_) {
    if (fault.call == EnvCall::kRead && path.find(fault.pathPart) != std::string::npos) {
      readFault = &fault;
      break;
    }
  }
  *file = std::make_unique<FaultySequentialFile>(std::move(real), readFault, path);
  return Status::Ok();
}

Status FaultEnv::NewWritableFile(const std::string& path, const WriteOptions& options,
                                 std::unique_ptr<WritableFile>* file) {
  if (const Fault* f = Find(EnvCall::kCreate, path)) return Status::FromErrno(f->error, path);
  std::unique_ptr<WritableFile> real;
  Status s = system_.NewWritableFile(OnDisk(path), options, &real);
  if (!s.ok()) return Status::FromErrno(s.sysError(), path);
  const Fault* writeFault = nullptr;
  const Fault* syncFault = nullptr;
  for (const Fault& fault : faults_) {
    if (path.find(fault.pathPart) == std::string::npos) continue;
    if (fault.call == EnvCall::kWrite && writeFault == nullptr) writeFault = &fault;
    if (fault.call == EnvCall::kSync && syncFault == nullptr) syncFault = &fault;
  }
  *file = std::make_unique<FaultyWritableFile>(std::move(real), writeFault, syncFault, path, syncs);
  return Status::Ok();
}

std::unique_ptr<WritableFile> FaultEnv::StandardOutput() {
  const std::string name = "standard output";
  const Fault* writeFault = Find(EnvCall::kWrite, name);
  return std::make_unique<FaultyWritableFile>(system_.StandardOutput(), writeFault, nullptr, name,
                                              false);
}

Status FaultEnv::Rename(const std::string& from, const std::string& to) {
  ++calls_[static_cast<int>(EnvCall::kRename)];
  for (const Fault& fault : faults_) {
    if (fault.call == EnvCall::kRename && (from.find(fault.pathPart) != std::string::npos ||
                                           to.find(fault.pathPart) != std::string::npos)) {
      return Status::FromErrno(fault.error, to);
    }
  }
  return system_.Rename(OnDisk(from), OnDisk(to));
}

Status FaultEnv::RemoveFile(const std::string& path) {
  if (const Fault* f = Find(EnvCall::kRemove, path)) return Status::FromErrno(f->error, path);
  return system_.RemoveFile(OnDisk(path));
}

Status FaultEnv::Stat(const std::string& path, FileInfo* info) {
  if (const Fault* f = Find(EnvCall::kStat, path)) return Status::FromErrno(f->error, path);
  Status s = system_.Stat(OnDisk(path), info);
  return s.ok() ? s : Status::FromErrno(s.sysError(), path);
}

Status FaultEnv::GetChildren(const std::string& directory, std::vector<std::string>* names) {
  if (const Fault* f = Find(EnvCall::kList, directory)) {
    return Status::FromErrno(f->error, directory);
  }
  Status s = system_.GetChildren(OnDisk(directory), names);
  return s.ok() ? s : Status::FromErrno(s.sysError(), directory);
}

Status FaultEnv::SyncDirectory(const std::string& directory) {
  if (const Fault* f = Find(EnvCall::kSync, directory)) {
    return Status::FromErrno(f->error, directory);
  }
  return syncs ? system_.SyncDirectory(OnDisk(directory)) : Status::Ok();
}

int64_t FaultEnv::NowSeconds() { return nowSeconds ? nowSeconds() : system_.NowSeconds(); }

Status FaultEnv::StartSockets() {
  return startSockets() ? Status::Ok() : Status::FromErrno(ENETDOWN, "sockets");
}

Status FaultEnv::HostName(std::string* name) {
  std::optional<std::string> host = hostName();
  if (!host) return Status::FromErrno(EINVAL, "host name");
  *name = *host;
  return Status::Ok();
}

Status FaultEnv::StartThread(std::function<void()> body, std::thread* thread) {
  if (const Fault* f = Find(EnvCall::kThread, "")) {
    return Status::FromErrno(f->error, "thread", "cannot start a thread");
  }
  return system_.StartThread(std::move(body), thread);
}

}  // namespace logvane
