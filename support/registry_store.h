#pragma once
// The two mode switches (debug mode, handler mode) live in a small machine-wide INI file instead
// of a registry: one section per key path, the value "Password" holding the switch's access
// code. As with the registry root the switches come from, only an administrator may set them:
// the machine-wide file is read only when root owns it and nobody else may write it.
#include <sys/types.h>

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

// The machine-wide store, and the variable that names another store for tests and demos run
// from the build tree (an installed program ignores it).
inline constexpr const char* kRegistryStoreEnv = "GANGPROG_REGISTRY";
inline constexpr const char* kRegistryStoreDefault = "/etc/gangprog/registry.ini";

// Whether a machine-wide store with this owner and mode may be believed: a regular file of
// root that neither its group nor others may write.
bool IsTrustedStoreFile(uid_t owner, mode_t mode);

class RegistryStore {
 public:
  // `machineWide`: the file must pass IsTrustedStoreFile, else it is ignored (every switch off).
  explicit RegistryStore(std::string path, bool machineWide = false)
      : path_(std::move(path)), machineWide_(machineWide) {}
  // The program's store: the file named by the environment variable when `allowOverride`,
  // else the machine-wide file.
  static RegistryStore ForProgram(bool allowOverride);

  const std::string& Path() const { return path_; }
  bool MachineWide() const { return machineWide_; }

  // Empty when the store may be read or does not exist; otherwise the one log line that says
  // why it is ignored.
  std::string Refusal() const;

  // The registry switch test: true exactly when the key exists, the store can be read (and is
  // trusted), a value "Password" exists and equals `code` (letter case counts). Key names
  // compare without letter case, as registry keys do. Read anew at every call: nothing is
  // cached.
  bool CheckRegistryMode(const std::string& key, const std::string& code) const;

 private:
  enum class Access { Readable, Missing, Untrusted };
  // Reads the whole file through one descriptor, so the file checked is the file read.
  Access Read(std::string& text) const;

  std::string path_;
  bool machineWide_ = false;
};
