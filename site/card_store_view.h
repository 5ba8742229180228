#pragma once
// What the project window's "From SDCard" page shows, as a model the site workers write and
// the windows (or the command line) read: each site's stored projects newest first, the
// selected site and row, the information text of the chosen project, and the row each site
// runs. One lock guards it all, as the page's window lock does. Thread-safe.
#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "site/card_list.h"
#include "support/site_index.h"

inline constexpr const char* kCardListHeader = "Project Path";
inline constexpr int kNoCardSite = -1;  // no site chosen on the page

class CardStoreView {
 public:
  // The site and the grid row (1 = the first project) the page has selected.
  void Select(int site, int row);
  // What the page shows of `site` is gone: its list and the information text.
  void Forget(int site);
  // The page closed: every list and the information text gone, no site chosen.
  void Reset();
  int SelectedSite() const;
  int SelectedRow() const;
  // The text of the selected row in `site`'s list ("" past its end or for the header).
  std::string SelectedText(int site) const;
  // Empties the selected row's cell of `site`'s list.
  void ClearSelectedCell(int site);

  // `site`'s list: the header followed by the names newest first.
  void ReplaceList(int site, const std::vector<sSDCardProjList>& newestFirst);
  std::vector<std::string> Rows(int site) const;
  std::vector<sSDCardProjList> Entries(int site) const;

  void SetInfoText(std::string text);
  std::string InfoText() const;

  // SDCardProjNumber: the grid row of the project the site runs (0: none shown).
  void SetRunRow(int site, int row);
  int RunRow(int site) const;

 private:
  mutable std::mutex mutex_;
  int selectedSite_ = kNoCardSite;
  int selectedRow_ = 1;
  std::array<std::vector<sSDCardProjList>, kSiteCount> entries_;
  std::array<std::vector<std::string>, kSiteCount> rows_;
  std::array<int, kSiteCount> runRow_{};
  std::string info_;
};
