#pragma once
// The PC-side working files of the SD card project store, shared by the store's operations,
// the set transfers, the run project's load and the front ends' card page.
#include <string>

struct SystemPaths;

std::string CardWorkingList(const SystemPaths& paths, int site);  // temp + "List" + site
std::string CardInfoCopy(const SystemPaths& paths, int site);     // temp + "Info" + site
std::string CardFetchFolder(const SystemPaths& paths);            // temp + "Proj/"
