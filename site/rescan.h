#pragma once
// The unit rescan: run by the main window when it is first shown and after every device
// arrival or removal notice. Closes the sites whose unit has gone, binds every new unit to the
// first free site and greets it there (queue 1, 36: connect notice, date-time identifier),
// waits for those workers, orders the links by identifier and shows the result on the panels.
class SiteSystem;

// True when at least one site has a unit. UI thread; the host's events go on meanwhile.
bool RescanUnits(SiteSystem& system);
