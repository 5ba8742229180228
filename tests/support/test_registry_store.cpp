// The registry switches: a switch is on only for the exact access code below its key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ios>

#include <sys/stat.h>
#include <unistd.h>

#include "support/registry_store.h"

namespace fs = std::filesystem;

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zv_registry_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "registry.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }

  fs::path dir_;
  std::string path_;
};

TEST_F(RegistryStoreTest, ExactCodeOpensEachSwitch) {
  Write(
      "[.DEFAULT\\Zanvo\\DebugMode]\r\nPassword=JX\r\n"
      "[.DEFAULT\\Zanvo\\HxMode]\r\nPassword=KR-730\r\n");
  const RegistryStore store(path_);
  EXPECT_TRUE(store.CheckRegistryMode(RegistryKey::DebugMode, AccessCode::DebugMode));
  EXPECT_TRUE(store.CheckRegistryMode(RegistryKey::HandlerMode, AccessCode::HandlerMode));
  // One switch's code does not open the other.
  EXPECT_FALSE(store.CheckRegistryMode(RegistryKey::DebugMode, AccessCode::HandlerMode));
}

TEST_F(RegistryStoreTest, CodeComparisonCountsLetterCaseAndWholeText) {
  const RegistryStore store(path_);
  for (const char* value : {"jx", "Jx", "JXX", "J", "", "kr-730"}) {
    Write(std::string("[.DEFAULT\\Zanvo\\DebugMode]\nPassword=") + value + "\n" +
          "[.DEFAULT\\Zanvo\\HxMode]\nPassword=" + value + "\n");
    EXPECT_FALSE(store.CheckRegistryMode(RegistryKey::DebugMode, AccessCode::DebugMode)) << value;
    EXPECT_FALSE(store.CheckRegistryMode(RegistryKey::HandlerMode, AccessCode::HandlerMode))
        << value;
  }
}

TEST_F(RegistryStoreTest, MissingStoreKeyOrValueIsOff) {
  const RegistryStore store(path_);
  EXPECT_FALSE(store.CheckRegistryMode(RegistryKey::DebugMode, AccessCode::DebugMode));
  Write("[.DEFAULT\\Zanvo\\Other]\nPassword=JX\n[.DEFAULT\\Zanvo\\DebugMode]\nPass=JX\n");
  EXPECT_FALSE(store.CheckRegistryMode(RegistryKey::DebugMode, AccessCode::DebugMode));
  // A folder where the store should be is no store.
  EXPECT_FALSE(RegistryStore(dir_.string())
                   .CheckRegistryMode(RegistryKey::DebugMode, AccessCode::DebugMode));
}

TEST_F(RegistryStoreTest, IsReadAnewAtEveryCall) {
  const RegistryStore store(path_);
  Write("[.DEFAULT\\Zanvo\\HxMode]\nPassword=KR-730\n");
  EXPECT_TRUE(store.CheckRegistryMode(RegistryKey::HandlerMode, AccessCode::HandlerMode));
  Write("[.DEFAULT\\Zanvo\\HxMode]\nPassword=KR-731\n");
  EXPECT_FALSE(store.CheckRegistryMode(RegistryKey::HandlerMode, AccessCode::HandlerMode));
}

// The environment names the store only where the caller allows it (a program in its build
// tree); otherwise, and without the variable, the machine-wide file is read, under its rule.
TEST_F(RegistryStoreTest, EnvironmentVariableChoosesTheStoreOnlyWhereAllowed) {
  ::setenv(kRegistryStoreEnv, path_.c_str(), 1);
  EXPECT_EQ(RegistryStore::ForProgram(true).Path(), path_);
  EXPECT_FALSE(RegistryStore::ForProgram(true).MachineWide());
  EXPECT_EQ(RegistryStore::ForProgram(false).Path(), kRegistryStoreDefault);
  EXPECT_TRUE(RegistryStore::ForProgram(false).MachineWide());
  ::unsetenv(kRegistryStoreEnv);
  EXPECT_EQ(RegistryStore::ForProgram(true).Path(), kRegistryStoreDefault);
  EXPECT_TRUE(RegistryStore::ForProgram(true).MachineWide());
}

TEST(RegistryStoreTrust, OnlyARootFileThatNobodyElseMayWriteIsBelieved) {
  struct Case {
    uid_t owner;
    mode_t mode;
    bool trusted;
  };
  const Case cases[] = {
      {0, S_IFREG | 0644, true},  {0, S_IFREG | 0600, true},     {0, S_IFREG | 0444, true},
      {0, S_IFREG | 0664, false}, {0, S_IFREG | 0646, false},    {0, S_IFREG | 0666, false},
      {0, S_IFREG | 0620, false}, {1000, S_IFREG | 0644, false}, {1000, S_IFREG | 0600, false},
      {0, S_IFDIR | 0755, false}, {0, S_IFIFO | 0644, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsTrustedStoreFile(c.owner, c.mode), c.trusted)
        << "owner " << c.owner << " mode " << std::oct << c.mode;
  }
}

// The rule applied to a real file: one that others may write is ignored with its reason; one
// with the right mode is believed exactly when it belongs to root (the user running the test).
TEST_F(RegistryStoreTest, MachineWideFileIsIgnoredUnlessTrusted) {
  Write("[.DEFAULT\\Zanvo\\DebugMode]\nPassword=JX\n");
  const RegistryStore store(path_, true);
  fs::permissions(path_, fs::perms(0666));
  EXPECT_FALSE(store.CheckRegistryMode(RegistryKey::DebugMode, AccessCode::DebugMode));
  EXPECT_NE(store.Refusal().find(path_), std::string::npos);
  EXPECT_TRUE(RegistryStore(path_).Refusal().empty());  // a test store has no such rule

  fs::permissions(path_, fs::perms(0644));
  const bool root = ::geteuid() == 0;
  EXPECT_EQ(store.CheckRegistryMode(RegistryKey::DebugMode, AccessCode::DebugMode), root);
  EXPECT_EQ(store.Refusal().empty(), root);
  // A missing machine-wide store is simply off, without a complaint.
  fs::remove(path_);
  EXPECT_TRUE(store.Refusal().empty());
}
