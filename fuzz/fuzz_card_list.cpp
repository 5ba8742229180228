// A card's list file "List" of any content: the used slots, the search by name, the free slot,
// the newest-first order, and the removal of a project that rewrites the list.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "site/card_list.h"
#include "site/ops/card_store_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CardList list;
  list.LoadText(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<sSDCardProjList> used = list.Used();
  if (static_cast<int>(used.size()) > std::max(list.Count(), 0)) __builtin_trap();
  for (const sSDCardProjList& entry : used) {
    if (entry.Slot < 0 || entry.Slot >= kCardSlotCount || !list.IsUsed(entry.Slot)) __builtin_trap();
    const auto found = list.Find(entry.Name);
    if (!found || list.NameOf(*found) != entry.Name) __builtin_trap();
  }
  if (const auto free = list.FirstFree(); free && list.HasName(*free)) __builtin_trap();
  SortNewestFirst(used);
  for (std::size_t k = 1; k < used.size(); ++k) {
    if (used[k - 1].Date < used[k].Date) __builtin_trap();
  }
  if (!used.empty()) {
    const int count = list.Count();
    RemoveFromList(list, used.back().Slot);
    if (list.IsUsed(used.back().Slot) || list.Count() != count - 1) __builtin_trap();
    CardList again;
    again.LoadText(list.Text());
    if (again.Count() != list.Count() || again.IsUsed(used.back().Slot)) __builtin_trap();
  }
  return 0;
}
