#pragma once
// The list file "List" of a unit's SD card: which slots hold a project, under which name,
// when each was stored, and which one the unit runs stand-alone. An INI text with the one
// section "ListName"; a slot is used when both its "Proj" and "ProjDate" keys exist.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/ini_file.h"

namespace CardListKey {
inline constexpr const char* Section = "ListName";
inline constexpr const char* Count = "ProjCount";
inline constexpr const char* RunSlot = "ProjNumber";
inline constexpr const char* Name = "Proj";      // + slot; also the slot's directory name
inline constexpr const char* Date = "ProjDate";  // + slot
}  // namespace CardListKey

inline constexpr int kCardSlotCount = 31;     // slots 0..30
inline constexpr int kCardProjectLimit = 20;  // projects a card holds at most
inline constexpr const char* kCardListFile = "List";
inline constexpr const char* kCardRoot = "0:";

// One stored project as a list shows it.
struct sSDCardProjList {
  std::string Name;
  std::string Date;  // local time "yyyymmddhhmmss"
  std::int32_t Slot = 0;
  bool operator==(const sSDCardProjList&) const = default;
};

// "Proj" + slot: the slot's directory on the card (a directory of the root).
std::string CardSlotDirectory(int slot);
// The same directory named with the drive, "0:Proj" + slot.
std::string CardSlotPath(int slot);

// Later dates first; entries with equal dates keep their order.
void SortNewestFirst(std::vector<sSDCardProjList>& entries);

class CardList {
 public:
  // False (and an empty list) when the file cannot be read.
  bool Load(const std::string& path);
  void LoadText(std::string_view text);
  bool Save() const { return ini_.Save(); }
  bool SaveAs(const std::string& path) const { return ini_.SaveAs(path); }
  std::string Text() const { return ini_.Text(); }

  // "ProjCount" (0 when absent or no number).
  int Count() const;
  void SetCount(int count);
  // "ProjNumber", or `def` when absent or no number.
  int RunSlot(int def) const;
  void SetRunSlot(int slot);

  bool IsUsed(int slot) const;
  // "Proj" + slot present (a slot counts as taken for a new project then, even without a date).
  bool HasName(int slot) const;
  std::string NameOf(int slot) const;
  // The used slots in slot order, stopping once "ProjCount" of them were read.
  std::vector<sSDCardProjList> Used() const;
  // The used slot holding exactly this name (same scan as Used).
  std::optional<int> Find(std::string_view name) const;
  // The lowest slot whose "Proj" key is absent.
  std::optional<int> FirstFree() const;

  // Writes both keys of a slot (does not touch "ProjCount").
  void Put(int slot, std::string_view name, std::string_view date);
  void SetDate(int slot, std::string_view date);
  // Deletes both keys of a slot (does not touch "ProjCount").
  void Remove(int slot);

 private:
  IniFile ini_;
};

// The present local time as "yyyymmddhhmmss".
std::string CardDateNow();
