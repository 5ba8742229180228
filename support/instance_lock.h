#pragma once
// Marks a running program by an exclusive lock on a file named after its application title, in
// the user's runtime folder. The kernel drops the lock when the process ends, however it ends,
// so a crashed instance never blocks the next start. A lock is held per open file, so a second
// InstanceLock on the same title in the same process is refused as well.
#include <optional>
#include <string>

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&& other) noexcept;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock of `title` in `folder`; none when another holder has it or the lock file
  // cannot be opened safely (it is not a plain file of ours).
  static std::optional<InstanceLock> Acquire(const std::string& folder, const std::string& title);

  // True when some process holds the lock of `title` in `folder`. Creates nothing.
  static bool IsHeld(const std::string& folder, const std::string& title);

  // The lock file's path for a title ('/' in a title becomes '_').
  static std::string LockPath(const std::string& folder, const std::string& title);

  bool Held() const { return fd_ >= 0; }

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// The user's runtime folder for the locks: $XDG_RUNTIME_DIR when it is a directory, else a
// private folder "/tmp/gangprog-<uid>-run" (mode 0700, refused when someone else owns it).
// Empty when neither can be used.
std::string DefaultLockFolder();
