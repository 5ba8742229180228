#include "support/registry_store.h"

#include <cstdlib>

#include "support/ini_file.h"

RegistryStore RegistryStore::FromEnvironment() {
  const char* overridden = std::getenv(kRegistryStoreEnv);
  if (overridden != nullptr && *overridden != '\0') return RegistryStore(overridden);
  return RegistryStore(kRegistryStoreDefault);
}

bool RegistryStore::CheckRegistryMode(const std::string& key, const std::string& code) const {
  IniFile store;
  if (!store.Load(path_)) return false;
  if (!store.ValueExists(key, RegistryKey::PasswordValue)) return false;
  // Compared exactly, letter case included: "jx" does not open the debug mode.
  return store.ReadString(key, RegistryKey::PasswordValue, "") == code;
}
