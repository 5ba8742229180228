#pragma once
// The SD card project store as the front ends use it (the project window's "From SDCard"
// page, the options window's SD Card page and the command line): each call starts the store's
// queue on the sites, waits with the UI kept alive, and says which sites passed. Run on the
// thread that starts the workers.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "site/card_list.h"
#include "site/thread_info.h"

class SiteSystem;

struct CardStoreOutcome {
  std::vector<int> Passed;
  std::vector<int> Failed;   // the site ran its queue and did not pass
  std::vector<int> Skipped;  // no unit, or the site was working already
  bool AllPassed() const { return Failed.empty() && Skipped.empty() && !Passed.empty(); }
};

// Called while the work runs, whenever another site has finished.
using CardStoreProgress = std::function<void(int sitesDone, int sitesStarted)>;

// Runs `queue` on each of `sites` with the two texts and waits until all have ended.
CardStoreOutcome RunCardQueue(SiteSystem& system, const std::vector<int>& sites,
                              const std::vector<Opcode>& queue, const std::string& text1 = {},
                              const std::string& text2 = {},
                              const CardStoreProgress& progress = {});

// The site's stored projects, newest first; none when the card's list cannot be read.
std::optional<std::vector<sSDCardProjList>> ListCardProjects(SiteSystem& system, int site);

// The project window's page. Choosing a site forgets what the page showed (so a card that
// cannot be read never shows the previous list), then lists the card and shows the first
// row's information (17, 18). Choosing a row shows its information (18); an empty row is only
// selected.
CardStoreOutcome ChooseCardSite(SiteSystem& system, int site);
CardStoreOutcome ChooseCardRow(SiteSystem& system, int site, int row);
// The page closes: the working lists "List0" to "List7" go, the view is empty, no site chosen.
void CloseCardPage(SiteSystem& system);

// Loads the project file, prepares its card set and stores it on each site's card (23, 20,
// 17, 18; the oldest project goes when a card already holds 20). The prepared set is removed
// afterwards. A project that does not load or prepare starts nothing (all sites Skipped,
// false `loaded`) and says why in a red line and a box.
struct CardAddOutcome {
  bool Loaded = false;
  CardStoreOutcome Sites;
};
CardAddOutcome AddProjectToCards(SiteSystem& system, const std::string& projectFile,
                                 const std::vector<int>& sites,
                                 const CardStoreProgress& progress = {});

// The name in the selected row of `site`'s list; none, with the line " - Field is empty!", for
// an empty row.
std::optional<std::string> SelectedCardProject(SiteSystem& system, int site);

// Deletes the project in the selected row of `site`'s list (23, 19, 17, 18) once `confirm`
// (if given) agrees. An empty row logs " - Field is empty!" and starts nothing (Skipped).
CardStoreOutcome DeleteSelectedCardProject(SiteSystem& system, int site,
                                           const std::function<bool()>& confirm = {});
// The same for the project named `name`, its row found in the site's list.
CardStoreOutcome DeleteProjectFromCard(SiteSystem& system, int site, const std::string& name);

// Makes the stored project `name` of `fromSite`'s card the run project of every card of
// `toSites`: fetched with its sums checked (21, on the list that the page or ListCardProjects
// fetched), then stored on each (23, 22, 17, 18; where it is stored already only its date and
// the run project change). The source site is one of `toSites` when it is chosen. The fetched
// files are removed afterwards.
CardStoreOutcome CopyProjectBetweenCards(SiteSystem& system, int fromSite, const std::string& name,
                                         const std::vector<int>& toSites,
                                         const CardStoreProgress& progress = {});

// The options window's SD Card page: filter the list, quick format.
CardStoreOutcome FilterCards(SiteSystem& system, const std::vector<int>& sites);
CardStoreOutcome FormatCards(SiteSystem& system, const std::vector<int>& sites);
