#include "site/card_list.h"

#include <algorithm>

#include "link/command_block.h"

namespace {
std::string Key(const char* stem, int slot) {
  return stem + std::to_string(slot);
}
}  // namespace

std::string CardSlotDirectory(int slot) {
  return Key(CardListKey::Name, slot);
}
std::string CardSlotPath(int slot) {
  return kCardRoot + CardSlotDirectory(slot);
}

void SortNewestFirst(std::vector<sSDCardProjList>& entries) {
  std::stable_sort(
      entries.begin(), entries.end(),
      [](const sSDCardProjList& a, const sSDCardProjList& b) { return a.Date > b.Date; });
}

bool CardList::Load(const std::string& path) {
  return ini_.Load(path);
}
void CardList::LoadText(std::string_view text) {
  ini_.LoadText(text);
}

int CardList::Count() const {
  return ini_.ReadInteger(CardListKey::Section, CardListKey::Count, 0);
}
void CardList::SetCount(int count) {
  ini_.WriteInteger(CardListKey::Section, CardListKey::Count, count);
}
int CardList::RunSlot(int def) const {
  return ini_.ReadInteger(CardListKey::Section, CardListKey::RunSlot, def);
}
void CardList::SetRunSlot(int slot) {
  ini_.WriteInteger(CardListKey::Section, CardListKey::RunSlot, slot);
}

bool CardList::HasName(int slot) const {
  return ini_.ValueExists(CardListKey::Section, Key(CardListKey::Name, slot));
}
bool CardList::IsUsed(int slot) const {
  return HasName(slot) && ini_.ValueExists(CardListKey::Section, Key(CardListKey::Date, slot));
}
std::string CardList::NameOf(int slot) const {
  return ini_.ReadString(CardListKey::Section, Key(CardListKey::Name, slot), "");
}

std::vector<sSDCardProjList> CardList::Used() const {
  std::vector<sSDCardProjList> used;
  const int count = Count();
  for (int slot = 0; slot < kCardSlotCount && static_cast<int>(used.size()) < count; ++slot) {
    if (!IsUsed(slot)) continue;
    used.push_back({NameOf(slot),
                    ini_.ReadString(CardListKey::Section, Key(CardListKey::Date, slot), ""), slot});
  }
  return used;
}

std::optional<int> CardList::Find(std::string_view name) const {
  for (const sSDCardProjList& entry : Used()) {
    if (entry.Name == name) return entry.Slot;
  }
  return std::nullopt;
}

std::optional<int> CardList::FirstFree() const {
  for (int slot = 0; slot < kCardSlotCount; ++slot) {
    if (!HasName(slot)) return slot;
  }
  return std::nullopt;
}

void CardList::Put(int slot, std::string_view name, std::string_view date) {
  ini_.WriteString(CardListKey::Section, Key(CardListKey::Name, slot), name);
  SetDate(slot, date);
}
void CardList::SetDate(int slot, std::string_view date) {
  ini_.WriteString(CardListKey::Section, Key(CardListKey::Date, slot), date);
}
void CardList::Remove(int slot) {
  ini_.DeleteKey(CardListKey::Section, Key(CardListKey::Name, slot));
  ini_.DeleteKey(CardListKey::Section, Key(CardListKey::Date, slot));
}

std::string CardDateNow() {
  return FormatDateStampText(LocalTimeNow());
}
