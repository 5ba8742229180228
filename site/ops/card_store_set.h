#pragma once
// The parts of the project store that move a whole project set: storing one (from the PC's
// prepared set or from a set fetched from another card) and fetching one with its sums.
#include <array>
#include <string>

#include "link/frame_codes.h"
#include "project/sd_project_set.h"

class CardList;
class SiteContext;

using SetFiles = std::array<SdSetFile, kSdSetFileCount>;

// The loaded project's prepared set, and the set fetched into the temp folder "Proj".
SetFiles PreparedSetFiles(SiteContext& ctx);
SetFiles FetchedSetFiles(SiteContext& ctx);

// Writes the nine files to card directory "0:" + `directory`; false (logged) on the first
// file that is missing or cannot be written.
bool SendSetFiles(SiteContext& ctx, const SetFiles& files, const std::string& directory);

struct StoreSource {
  std::string WorkList;  // the working copy of the card's list
  bool Detect = true;    // detect the card first
  std::string Name;      // the name the project is listed under
  SetFiles Files{};
  std::string Info;  // the set's information file, compared with the stored one
};
// Adds the project (deleting the oldest beyond 20 first) or refreshes it when its name is
// already stored; either way it becomes the project the unit runs.
SiteResult StoreOnCard(SiteContext& ctx, const StoreSource& source);

// Fetches the set in `cardDirectory` into `pcFolder` and checks each file against the
// stored "Checksum".
SiteResult FetchAndVerifySet(SiteContext& ctx, const std::string& cardDirectory,
                             const std::string& pcFolder);

// A working file of the store removed, if it is there.
void RemoveWorkFile(const std::string& path);

// Deletes a slot's keys and counts it out; when it was the run project, the newest remaining
// one becomes the run project (-1 when none remains).
void RemoveFromList(CardList& list, int slot);
