// The registry switches: a switch is on only for the exact access code below its key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

TEST_F(RegistryStoreTest, EnvironmentVariableChoosesTheStore) {
  ::setenv(kRegistryStoreEnv, path_.c_str(), 1);
  EXPECT_EQ(RegistryStore::FromEnvironment().Path(), path_);
  ::unsetenv(kRegistryStoreEnv);
  EXPECT_EQ(RegistryStore::FromEnvironment().Path(), kRegistryStoreDefault);
}
