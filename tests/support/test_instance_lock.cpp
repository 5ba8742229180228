// The lock that marks a running program: one holder per title, dropped when the holder ends.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/instance_lock.h"
#include "tests/support/hang_guard.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kTitle = "Tarnik Gang Programmer Console";
constexpr const char* kSibling = "Tarnik Solo";
}  // namespace

class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("zv_lock_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Folder() const { return folder_.string(); }

  fs::path folder_;
};

TEST_F(InstanceLockTest, SecondHolderRefusedUntilTheFirstGoes) {
  auto first = InstanceLock::Acquire(Folder(), kTitle);
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(first->Held());
  EXPECT_FALSE(InstanceLock::Acquire(Folder(), kTitle).has_value());
  EXPECT_TRUE(InstanceLock::IsHeld(Folder(), kTitle));
  // Another title is independent.
  EXPECT_FALSE(InstanceLock::IsHeld(Folder(), kSibling));
  EXPECT_TRUE(InstanceLock::Acquire(Folder(), kSibling).has_value());

  first.reset();
  EXPECT_FALSE(InstanceLock::IsHeld(Folder(), kTitle));
  EXPECT_TRUE(InstanceLock::Acquire(Folder(), kTitle).has_value());
}

TEST_F(InstanceLockTest, MovedLockStaysHeld) {
  auto first = InstanceLock::Acquire(Folder(), kTitle);
  ASSERT_TRUE(first.has_value());
  InstanceLock moved = std::move(*first);
  first.reset();  // the moved-from object must not release the lock
  EXPECT_TRUE(InstanceLock::IsHeld(Folder(), kTitle));
  EXPECT_TRUE(moved.Held());
}

TEST_F(InstanceLockTest, LockOfAnotherProcessIsSeenAndDroppedWhenItEnds) {
  int ready[2];
  int finish[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(finish), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto lock = InstanceLock::Acquire(Folder(), kTitle);
    const char byte = lock ? '1' : '0';
    (void)!::write(ready[1], &byte, 1);
    char done = 0;
    (void)!::read(finish[0], &done, 1);
    ::_exit(0);  // no clean-up of ours: the kernel must drop the lock
  }
  char byte = 0;
  ASSERT_TRUE(ReadableWithin(ready[0])) << "the child never said whether it holds the lock";
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, '1');
  EXPECT_TRUE(InstanceLock::IsHeld(Folder(), kTitle));
  EXPECT_FALSE(InstanceLock::Acquire(Folder(), kTitle).has_value());

  ASSERT_EQ(::write(finish[1], "x", 1), 1);
  int status = 0;
  ASSERT_TRUE(ReapChild(child, status));
  EXPECT_FALSE(InstanceLock::IsHeld(Folder(), kTitle));
  EXPECT_TRUE(InstanceLock::Acquire(Folder(), kTitle).has_value());
  for (int fd : {ready[0], ready[1], finish[0], finish[1]}) ::close(fd);
}

TEST_F(InstanceLockTest, PlantedLinkIsRefusedAndNotFollowed) {
  const fs::path target = folder_ / "target";
  fs::create_symlink(target, InstanceLock::LockPath(Folder(), kTitle));
  EXPECT_FALSE(InstanceLock::Acquire(Folder(), kTitle).has_value());
  EXPECT_FALSE(fs::exists(target));
}

TEST_F(InstanceLockTest, LockPathKeepsTheTitleAsOneFileName) {
  EXPECT_EQ(InstanceLock::LockPath("/run/x", kTitle), "/run/x/" + std::string(kTitle) + ".lock");
  EXPECT_EQ(InstanceLock::LockPath("/run/x/", "a/b"), "/run/x/a_b.lock");
}

TEST_F(InstanceLockTest, DefaultFolderIsTheRuntimeFolderOrAPrivateFallback) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string savedValue = saved ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", Folder().c_str(), 1);
  EXPECT_EQ(DefaultLockFolder(), Folder());

  ::setenv("XDG_RUNTIME_DIR", (folder_ / "missing").c_str(), 1);
  const std::string fallback = DefaultLockFolder();
  ASSERT_FALSE(fallback.empty());
  struct stat info {};
  ASSERT_EQ(::stat(fallback.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(info.st_uid, ::geteuid());

  if (saved) {
    ::setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}
