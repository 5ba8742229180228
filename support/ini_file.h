#pragma once
// INI files with Windows profile semantics: section and key names compare without letter
// case, the first of two equal keys wins, and a write changes one key line and keeps every
// other line of the text as it was. Reading is the parser of outside input (project and
// database files), so every value is only text until a reader below checks it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Integer rule for every INI reader of the program: blanks around the value are ignored,
// then an optional sign and decimal digits, or "0x"/"$" and hexadecimal digits. Anything
// else (empty, letters, blanks inside, a number too large for 64 bits) is no integer.
std::optional<std::int64_t> ParseIniInteger(std::string_view text);
// The same rule narrowed to 32 bits: decimal values must lie in the signed range; hexadecimal
// values may use all 32 bits (0xFFFFFFFF reads as -1), as profile writers store masks.
std::optional<std::int32_t> ParseIniInt32(std::string_view text);
// For driver slots: decimal -2147483648 .. 4294967295 or 32-bit hexadecimal, taken modulo 2^32.
std::optional<std::uint32_t> ParseIniUInt32(std::string_view text);

class IniFile {
 public:
  IniFile();
  ~IniFile();
  IniFile(IniFile&&) noexcept;
  IniFile& operator=(IniFile&&) noexcept;
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  // Reads the file; false (and an empty INI) when it cannot be read. The path is kept for Save.
  bool Load(const std::string& path);
  // Parses text that is already in memory (fuzzing, archive members read into memory).
  void LoadText(std::string_view text);
  // Writes the lines back to the path given to Load (or to `path`). False on any I/O error.
  bool Save() const;
  bool SaveAs(const std::string& path) const;

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(std::string_view section) const;

  // Names are looked up without surrounding blanks, as they are stored.
  // The raw value with surrounding blanks (and one pair of quotes) removed, or `def` when the
  // key is absent.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // nullopt when the key is absent or its value is no integer by the rule above.
  std::optional<std::int32_t> ReadInt32(std::string_view section, std::string_view key) const;
  std::optional<std::uint32_t> ReadUInt32(std::string_view section, std::string_view key) const;
  std::optional<std::int64_t> ReadInt64(std::string_view section, std::string_view key) const;
  // Value or `def` when absent or not an integer.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
  // An integer value: true when nonzero. Absent or not an integer: `def`.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  // Sets one key: replaces the value on the key's line, or adds the line at the end of its
  // section, or adds the section at the end of the text. Every other line stays untouched.
  // Refused (false): line breaks anywhere (they would forge lines), an empty section or key,
  // "]" in the section, "=" in the key.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, std::int64_t value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);
  // Removes the key's line (all its duplicates); true when one was present.
  bool DeleteKey(std::string_view section, std::string_view key);

  // The current text, lines joined with the line ending the loaded text used (CR LF default).
  std::string Text() const;
  const std::string& Path() const { return path_; }

 private:
  struct Parsed;
  void Reparse();

  std::string path_;
  std::vector<std::string> lines_;
  std::string eol_ = "\r\n";
  std::unique_ptr<Parsed> parsed_;
};

// Blanks and tabs removed at both ends.
std::string_view TrimIniBlanks(std::string_view text);
// ASCII case-insensitive equality, as the profile functions compare names.
bool IniNamesEqual(std::string_view a, std::string_view b);
