#include "site/ops/card_store_paths.h"

#include "site/card_list.h"
#include "support/system_paths.h"

std::string CardWorkingList(const SystemPaths& paths, int site) {
  return paths.TempDir + kCardListFile + std::to_string(site);
}

std::string CardInfoCopy(const SystemPaths& paths, int site) {
  return paths.TempDir + "Info" + std::to_string(site);
}

std::string CardFetchFolder(const SystemPaths& paths) {
  return paths.TempDir + CardListKey::Name + "/";
}
