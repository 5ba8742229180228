#pragma once
// Starting a front-end recipe on the units from the command line, shared by the subcommands
// that talk to units: the chosen sites (or every selected one), each of which must hold a unit.
#include <vector>

#include "site/run_recipes.h"

class SiteSystem;

// Starts `recipe` on the chosen site indexes, or on every selected site when none are chosen.
// A chosen site without a unit is named in the log (" - No Unit!") and nothing is started.
// The sites started.
std::vector<int> StartRecipeOnUnits(SiteSystem& system, RunRecipe recipe,
                                    const std::vector<int>& chosen);

// Whether every started site ended PASS (and one started at all).
bool AllEndedPassed(SiteSystem& system, const std::vector<int>& started);
