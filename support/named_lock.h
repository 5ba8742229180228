#pragma once
// Two-state locks looked up by name: auto-reset, initially free. Unlike a mutex a
// NamedLock may be released by a thread other than the one that took it.
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class NamedLock {
 public:
  void Take();
  bool TryTake();
  void Release();

  // Takes both locks or neither: waits until both are free at the same moment.
  static void TakeBoth(NamedLock& first, NamedLock& second);

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  bool taken_ = false;
};

// Releases on scope exit, so every early return gives the lock back.
class NamedLockGuard {
 public:
  explicit NamedLockGuard(NamedLock& lock) : lock_(lock) { lock_.Take(); }
  ~NamedLockGuard() { lock_.Release(); }
  NamedLockGuard(const NamedLockGuard&) = delete;
  NamedLockGuard& operator=(const NamedLockGuard&) = delete;

 private:
  NamedLock& lock_;
};

namespace LockName {
inline constexpr const char* LogView = "LogMegThread";
inline constexpr const char* LogSave = "LogSavThread";
inline constexpr const char* Statistics = "SetStaThread";
inline constexpr const char* UsbDevices = "USBDevThread";
inline constexpr const char* GroupDefine = "GroupDefineHandleThread";
inline constexpr const char* ProjectList = "ProjListThreadEv";
}  // namespace LockName

// The program's named locks; one instance per system, created before any thread starts.
class NamedLocks {
 public:
  NamedLocks();  // creates the locks of LockName
  NamedLock& Get(const std::string& name);  // creates an unknown name on first use

 private:
  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<NamedLock>> locks_;
};
