#pragma once
// Start-up steps of the window program: the single-instance check and the caption. The steps it
// shares with the command-line program (directory tree, version, temporary files) are in
// site/system_startup.h.
#include <array>
#include <optional>
#include <string>

#include "site/system_startup.h"
#include "support/instance_lock.h"

// Programs of the same product line that must not run beside this one, in the order they are
// looked for; the program's own title among them is skipped.
inline constexpr std::array<const char*, 5> kSiblingTitles = {
    "Tarnik Solo", "Tarnik Solo Multi", "Tarnik Gang Programmer", kApplicationTitle,
    "Tarnik Mini Tester"};

// A running sibling: "Please Close Programmer of <title>!" (ERROR) and false. A second instance:
// "Programmer Already Open!" (WARNING) and false. Otherwise the instance lock goes into `held`
// (keep it for the life of the process) and the result is true. Each lock lives in `lockFolder`.
bool CheckSingleInstance(const std::string& lockFolder, std::optional<InstanceLock>& held,
                         const std::string& title = kApplicationTitle);

// Title + " - Software Ver. " + version, and in debug mode " - " + build date.
std::string MainCaption(const std::string& version, bool debugMode, const std::string& buildDate);
