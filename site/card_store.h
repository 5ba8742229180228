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

// The project window's card page: the site's list and the selected project's information
// read anew, or only the information.
CardStoreOutcome ReadCardPage(SiteSystem& system, int site);
CardStoreOutcome ReadCardProjectInfo(SiteSystem& system, int site);

// The site's stored projects, newest first; none when the card's list cannot be read.
std::optional<std::vector<sSDCardProjList>> ListCardProjects(SiteSystem& system, int site);

// Loads the project file, prepares its card set and stores it on each site's card (the
// oldest project goes when a card already holds 20). The prepared set is removed afterwards.
// A project that does not load or prepare starts nothing (all sites Skipped, false `loaded`).
struct CardAddOutcome {
  bool Loaded = false;
  CardStoreOutcome Sites;
};
CardAddOutcome AddProjectToCards(SiteSystem& system, const std::string& projectFile,
                                 const std::vector<int>& sites,
                                 const CardStoreProgress& progress = {});

// Deletes the project named `name` from the site's card; the list keeps the others.
CardStoreOutcome DeleteProjectFromCard(SiteSystem& system, int site, const std::string& name);

// Fetches project `name` from `fromSite`'s card, checks its sums, and stores it on each of
// `toSites` (the source site is left out). The fetched files are removed afterwards.
CardStoreOutcome CopyProjectBetweenCards(SiteSystem& system, int fromSite, const std::string& name,
                                         const std::vector<int>& toSites,
                                         const CardStoreProgress& progress = {});

// The options window's SD Card page: filter the list, quick format.
CardStoreOutcome FilterCards(SiteSystem& system, const std::vector<int>& sites);
CardStoreOutcome FormatCards(SiteSystem& system, const std::vector<int>& sites);
