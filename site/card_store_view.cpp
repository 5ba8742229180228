#include "site/card_store_view.h"

void CardStoreView::Select(int site, int row) {
  std::lock_guard<std::mutex> lock(mutex_);
  selectedSite_ = site;
  selectedRow_ = row;
}

void CardStoreView::Forget(int site) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (IsSiteIndex(site)) {
    entries_[SiteSlot(site)].clear();
    rows_[SiteSlot(site)].clear();
  }
  info_.clear();
}

void CardStoreView::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& entries : entries_) entries.clear();
  for (auto& rows : rows_) rows.clear();
  info_.clear();
  selectedSite_ = kNoCardSite;
  selectedRow_ = 1;
}

int CardStoreView::SelectedSite() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selectedSite_;
}

int CardStoreView::SelectedRow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selectedRow_;
}

std::string CardStoreView::SelectedText(int site) const {
  if (!IsSiteIndex(site)) return {};
  std::lock_guard<std::mutex> lock(mutex_);
  const auto& rows = rows_[SiteSlot(site)];
  if (selectedRow_ < 1 || static_cast<std::size_t>(selectedRow_) >= rows.size()) return {};
  return rows[static_cast<std::size_t>(selectedRow_)];
}

void CardStoreView::ClearSelectedCell(int site) {
  if (!IsSiteIndex(site)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  auto& rows = rows_[SiteSlot(site)];
  if (selectedRow_ >= 1 && static_cast<std::size_t>(selectedRow_) < rows.size()) {
    rows[static_cast<std::size_t>(selectedRow_)].clear();
  }
}

void CardStoreView::ReplaceList(int site, const std::vector<sSDCardProjList>& newestFirst) {
  if (!IsSiteIndex(site)) return;
  std::vector<std::string> rows{kCardListHeader};
  for (const sSDCardProjList& entry : newestFirst) rows.push_back(entry.Name);
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[SiteSlot(site)] = newestFirst;
  rows_[SiteSlot(site)] = std::move(rows);
}

std::vector<std::string> CardStoreView::Rows(int site) const {
  if (!IsSiteIndex(site)) return {};
  std::lock_guard<std::mutex> lock(mutex_);
  return rows_[SiteSlot(site)];
}

std::vector<sSDCardProjList> CardStoreView::Entries(int site) const {
  if (!IsSiteIndex(site)) return {};
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_[SiteSlot(site)];
}

void CardStoreView::SetInfoText(std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  info_ = std::move(text);
}

std::string CardStoreView::InfoText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return info_;
}

void CardStoreView::SetRunRow(int site, int row) {
  if (!IsSiteIndex(site)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  runRow_[SiteSlot(site)] = row;
}

int CardStoreView::RunRow(int site) const {
  if (!IsSiteIndex(site)) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  return runRow_[SiteSlot(site)];
}
