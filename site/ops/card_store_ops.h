#pragma once
// The SD card project store: the list file "List" and up to 20 project directories
// "Proj" + slot on each unit's card. Every operation that changes the card fetches the list,
// changes a working copy in the temp directory, writes it back and deletes the copy.
#include <optional>
#include <string>

#include "link/frame_codes.h"

class OpcodeTable;
class SiteSystem;

// The PC-side working files.
std::string CardWorkingList(const SiteSystem& system, int site);  // temp + "List" + site
std::string CardInfoCopy(const SiteSystem& system, int site);     // temp + "Info" + site
std::string CardFetchFolder(const SiteSystem& system);            // temp + "Proj/"

// The name in the selected row of `site`'s list; none, with the black line " - Field is
// empty!", for an empty row.
std::optional<std::string> SelectedCardName(SiteSystem& system, int site);

// 17: the site's stored projects, newest first, into the card view.
SiteResult ShowCardList(SiteSystem& system, int site);
// 18: the information of the selected project into the card view; marks the run project.
// Only the page's selected site shows it: on any other site it does nothing.
SiteResult ShowCardProjectInfo(SiteSystem& system, int site);
// 19: deletes the selected project; the list keeps everything else.
SiteResult DeleteCardProject(SiteSystem& system, int site);
// 20: stores the loaded project's prepared set under the name of `projectPath`.
SiteResult StoreProjectOnCard(SiteSystem& system, int site, const std::string& projectPath);
// 21: fetches the stored project `name` into the fetch folder and checks its sums.
SiteResult FetchCardProject(SiteSystem& system, int site, const std::string& name);
// 22: stores the fetched set under `name`.
SiteResult StoreFetchedProject(SiteSystem& system, int site, const std::string& name);
// 23: removes directories the list does not name and cuts the list to 20 projects.
SiteResult FilterCardList(SiteSystem& system, int site);
// 24: deletes everything on the card.
SiteResult QuickFormatCard(SiteSystem& system, int site);

// Opcodes 14 to 24.
void RegisterCardOperations(OpcodeTable& table);
