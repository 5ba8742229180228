#include "support/named_lock.h"

void NamedLock::Take() {
  std::unique_lock lock(mutex_);
  freed_.wait(lock, [this] { return !taken_; });
  taken_ = true;
}

bool NamedLock::TryTake() {
  std::lock_guard lock(mutex_);
  if (taken_) return false;
  taken_ = true;
  return true;
}

void NamedLock::Release() {
  {
    std::lock_guard lock(mutex_);
    taken_ = false;
  }
  freed_.notify_all();
}

void NamedLock::TakeBoth(NamedLock& first, NamedLock& second) {
  for (;;) {
    first.Take();
    if (second.TryTake()) return;
    first.Release();
    // Wait for the second to come free before trying the pair again, without holding the first.
    second.Take();
    if (first.TryTake()) return;
    second.Release();
  }
}

NamedLocks::NamedLocks() {
  for (const char* name : {LockName::LogView, LockName::LogSave, LockName::Statistics,
                           LockName::UsbDevices, LockName::GroupDefine, LockName::ProjectList}) {
    locks_.emplace(name, std::make_unique<NamedLock>());
  }
}

NamedLock& NamedLocks::Get(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto& slot = locks_[name];
  if (!slot) slot = std::make_unique<NamedLock>();
  return *slot;
}
