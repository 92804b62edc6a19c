// The recording file system.
#include "tests/fakes/recording_file_system.h"

#include <chrono>

#include <algorithm>
#include <filesystem>

namespace corvale::testing {

namespace {

constexpr SystemError kAccessDenied = 5;

}  // namespace

void RecordingFileSystem::FailMovesFrom(const std::string& source, SystemError code) {
  std::lock_guard lock(mutex_);
  if (code == 0) {
    failing_moves_.erase(source);
  } else {
    failing_moves_[source] = code;
  }
}

void RecordingFileSystem::CopyInsteadOfMovingFrom(const std::string& source, bool copy) {
  std::lock_guard lock(mutex_);
  if (copy) {
    copying_moves_.insert(source);
  } else {
    copying_moves_.erase(source);
  }
}

void RecordingFileSystem::AfterMoveFrom(const std::string& source, std::function<void()> after) {
  std::lock_guard lock(mutex_);
  after_moves_[source] = std::move(after);
}

void RecordingFileSystem::FailMovesInto(const std::string& folder, SystemError code) {
  std::lock_guard lock(mutex_);
  if (code == 0) {
    failing_targets_.erase(folder);
  } else {
    failing_targets_[folder] = code;
  }
}

void RecordingFileSystem::Unreachable(const std::string& prefix) {
  std::lock_guard lock(mutex_);
  unreachable_.push_back(prefix);
}

void RecordingFileSystem::Reachable(const std::string& prefix) {
  std::lock_guard lock(mutex_);
  std::erase(unreachable_, prefix);
}

bool RecordingFileSystem::IsUnreachable(const std::string& path) {
  std::lock_guard lock(mutex_);
  for (const std::string& prefix : unreachable_) {
    if (path.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

void RecordingFileSystem::MapDrive(const std::string& drive, const std::string& share) {
  std::lock_guard lock(mutex_);
  mapped_drives_[drive] = share;
}

std::string RecordingFileSystem::UniversalPath(const std::string& path) {
  std::lock_guard lock(mutex_);
  for (const auto& [drive, share] : mapped_drives_) {
    if (path.rfind(drive, 0) == 0)
      return share.empty() ? std::string() : share + path.substr(drive.size());
  }
  return inner_.UniversalPath(path);
}

void RecordingFileSystem::SetFolderIdentity(const std::string& path, const std::string& identity) {
  std::lock_guard lock(mutex_);
  if (identity.empty()) {
    identities_.erase(path);
  } else {
    identities_[path] = identity;
  }
}

void RecordingFileSystem::HoldLooksAt(const std::string& path) {
  std::lock_guard lock(mutex_);
  held_looks_.insert(path);
}

void RecordingFileSystem::ReleaseLooks() {
  {
    std::lock_guard lock(mutex_);
    held_looks_.clear();
  }
  looks_changed_.notify_all();
}

bool RecordingFileSystem::WaitForHeldLook() {
  std::unique_lock lock(mutex_);
  return looks_changed_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return looks_waiting_ > 0; });
}

void RecordingFileSystem::FailHoldOf(const std::string& path, SystemError code) {
  std::lock_guard lock(mutex_);
  if (code == 0) {
    failing_holds_.erase(path);
  } else {
    failing_holds_[path] = code;
  }
}

std::unique_ptr<HeldFile> RecordingFileSystem::HoldFile(const std::string& path,
                                                        const std::string& text,
                                                        SystemError& error) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = failing_holds_.find(path); it != failing_holds_.end()) {
      error = it->second;
      return nullptr;
    }
  }
  return inner_.HoldFile(path, text, error);
}

std::string RecordingFileSystem::FolderIdentity(const std::string& path) {
  {
    std::unique_lock lock(mutex_);
    if (held_looks_.count(path)) {
      ++looks_waiting_;
      looks_changed_.notify_all();
      looks_changed_.wait(lock, [&] { return !held_looks_.count(path); });
      --looks_waiting_;
    }
  }
  std::string identity = inner_.FolderIdentity(path);
  std::lock_guard lock(mutex_);
  auto it = identities_.find(path);
  return identity.empty() || it == identities_.end() ? identity : it->second;
}

void RecordingFileSystem::FailSizeOf(const std::string& path, SystemError code) {
  std::lock_guard lock(mutex_);
  if (code == 0) {
    failing_sizes_.erase(path);
  } else {
    failing_sizes_[path] = code;
  }
}

SystemError RecordingFileSystem::FileSizeDenyingWriters(const std::string& path, uint64_t& size) {
  {
    std::lock_guard lock(mutex_);
    auto it = failing_sizes_.find(path);
    if (it != failing_sizes_.end()) return it->second;
  }
  return inner_.FileSizeDenyingWriters(path, size);
}

void RecordingFileSystem::SetShortPaths(std::function<std::string(const std::string&)> short_path) {
  std::lock_guard lock(mutex_);
  short_path_ = std::move(short_path);
}

std::vector<std::pair<std::string, std::string>> RecordingFileSystem::Moves() const {
  std::lock_guard lock(mutex_);
  return moves_;
}

std::vector<std::string> RecordingFileSystem::Deletes() const {
  std::lock_guard lock(mutex_);
  return deletes_;
}

SystemError RecordingFileSystem::MoveFile(const std::string& from, const std::string& to) {
  return Move(from, to, [&] { return inner_.MoveFile(from, to); });
}

SystemError RecordingFileSystem::MoveFileNoReplace(const std::string& from, const std::string& to) {
  return Move(from, to, [&] { return inner_.MoveFileNoReplace(from, to); });
}

bool RecordingFileSystem::Copying(const std::string& from) {
  std::lock_guard lock(mutex_);
  return copying_moves_.count(from) > 0;
}

SystemError RecordingFileSystem::Move(const std::string& from, const std::string& to,
                                      const std::function<SystemError()>& move) {
  {
    std::lock_guard lock(mutex_);
    moves_.emplace_back(from, to);
    auto it = failing_moves_.find(from);
    if (it != failing_moves_.end()) return it->second;
    for (const auto& [folder, code] : failing_targets_) {
      if (to.rfind(folder + "\\", 0) == 0) return code;
    }
  }
  SystemError error = 0;
  if (Copying(from)) {
    auto native = [](std::string path) {
      std::replace(path.begin(), path.end(), '\\', '/');
      return std::filesystem::path(path);
    };
    std::error_code ec;
    std::filesystem::copy_file(native(from), native(to), ec);
    error = ec ? kAccessDenied : 0;
  } else {
    error = move();
  }
  std::function<void()> after;
  {
    std::lock_guard lock(mutex_);
    if (auto it = after_moves_.find(from); it != after_moves_.end()) {
      after = std::move(it->second);
      after_moves_.erase(it);
    }
  }
  if (after) after();
  return error;
}

void RecordingFileSystem::FailAppendsTo(const std::string& path, SystemError code, int after) {
  std::lock_guard lock(mutex_);
  if (code == 0) {
    failing_appends_.erase(path);
  } else {
    failing_appends_[path] = {code, after};
  }
}

SystemError RecordingFileSystem::AppendToFile(const std::string& path, const std::string& bytes,
                                              const std::string& first_bytes) {
  {
    std::lock_guard lock(mutex_);
    auto it = failing_appends_.find(path);
    if (it != failing_appends_.end() && it->second.after-- <= 0) return it->second.code;
  }
  return inner_.AppendToFile(path, bytes, first_bytes);
}

SystemError RecordingFileSystem::DeleteFile(const std::string& path) {
  {
    std::lock_guard lock(mutex_);
    deletes_.push_back(path);
  }
  return inner_.DeleteFile(path);
}

std::string RecordingFileSystem::ShortPath(const std::string& path) {
  std::function<std::string(const std::string&)> short_path;
  {
    std::lock_guard lock(mutex_);
    short_path = short_path_;
  }
  return short_path ? short_path(path) : inner_.ShortPath(path);
}

}  // namespace corvale::testing
