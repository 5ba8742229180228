#pragma once
// The SD card project store: the list file "List" and up to 20 project directories
// "Proj" + slot on each unit's card. Every operation that changes the card fetches the list,
// changes a working copy in the temp directory, writes it back and deletes the copy.
#include <optional>
#include <string>

#include "link/frame_codes.h"
#include "site/ops/card_store_paths.h"
#include "site/thread_info.h"

class SiteContext;

// The name in the selected row of `site`'s list; none, with the black line " - Field is
// empty!", for an empty row.
std::optional<std::string> SelectedCardName(const SiteContext& ctx);

// 17: the site's stored projects, newest first, into the card view.
SiteResult ShowCardList(SiteContext& ctx, const OperationTexts& texts = {});
// 18: the information of the selected project into the card view; marks the run project.
// Only the page's selected site shows it: on any other site it does nothing.
SiteResult ShowCardProjectInfo(SiteContext& ctx, const OperationTexts& texts = {});
// 19: deletes the selected project; the list keeps everything else.
SiteResult DeleteCardProject(SiteContext& ctx, const OperationTexts& texts = {});
// 20: stores the loaded project's prepared set under the name of the project file Text1.
SiteResult StoreProjectOnCard(SiteContext& ctx, const OperationTexts& texts);
// 21: fetches the stored project named Text2 into the fetch folder and checks its sums.
SiteResult FetchCardProject(SiteContext& ctx, const OperationTexts& texts);
// 22: stores the fetched set under the name Text2.
SiteResult StoreFetchedProject(SiteContext& ctx, const OperationTexts& texts);
// 23: removes directories the list does not name and cuts the list to 20 projects.
SiteResult FilterCardList(SiteContext& ctx, const OperationTexts& texts = {});
// 24: deletes everything on the card.
SiteResult QuickFormatCard(SiteContext& ctx, const OperationTexts& texts = {});

// Opcodes 14 to 24.
