#pragma once
// The two mode switches (debug mode, handler mode) live in a small machine-wide INI file instead
// of a registry: one section per key path, the value "Password" holding the switch's access
// code. Only an administrator can write the default location, as with the registry root the
// switches come from elsewhere.
#include <string>
#include <utility>

namespace RegistryKey {
inline constexpr const char* DebugMode = ".DEFAULT\\Zanvo\\DebugMode";
inline constexpr const char* HandlerMode = ".DEFAULT\\Zanvo\\HxMode";
inline constexpr const char* PasswordValue = "Password";
}  // namespace RegistryKey

// The program's string-table entries that are the switches' access codes.
namespace AccessCode {
inline constexpr const char* DebugMode = "JX";        // string 30002
inline constexpr const char* HandlerMode = "KR-730";  // string 30011
}  // namespace AccessCode

// The store's location: the environment variable (tests and demos), else the machine-wide file.
inline constexpr const char* kRegistryStoreEnv = "GANGPROG_REGISTRY";
inline constexpr const char* kRegistryStoreDefault = "/etc/gangprog/registry.ini";

class RegistryStore {
 public:
  explicit RegistryStore(std::string path) : path_(std::move(path)) {}
  // The store named by the environment variable, or the default file.
  static RegistryStore FromEnvironment();

  const std::string& Path() const { return path_; }

  // The registry switch test: true exactly when the key exists, the store can be read, a value
  // "Password" exists and equals `code` (letter case counts). Key names compare without letter
  // case, as registry keys do. Read anew at every call: nothing is cached.
  bool CheckRegistryMode(const std::string& key, const std::string& code) const;

 private:
  std::string path_;
};
