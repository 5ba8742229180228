#include "site/rescan.h"

#include <array>
#include <set>
#include <string>

#include "site/command.h"
#include "site/site_system.h"
#include "site/site_wait.h"

namespace {

using SiteFlags = std::array<bool, kSiteCount>;

// What one scan found besides the bound units.
struct ScanFindings {
  bool anyUnit = false;
  SiteFlags greeted{};
  std::set<std::string> denied;  // "bus/device" of the units refused for want of permission
};

// A site whose worker still runs keeps its link: its operation may be watching it.
bool SiteInUse(SiteSystem& system, int site) {
  return system.Engine().IsRunning(site);
}

void DropSite(SiteSystem& system, int site) {
  system.Link(site).CloseDevice();
  system.Panels().SetHintText(site, {});
  system.Panels().SetStatus(site, siNone);
}

void CloseMissingUnits(SiteSystem& system) {
  for (int site = 0; site < kSiteCount; ++site) {
    if (system.UnitPresent(site)) continue;
    ZvUsb& link = system.Link(site);
    link.CloseDevice();
    link.ResetOrderKey();
    if (!SiteInUse(system, site)) system.Panels().SetStatus(site, siNone);
  }
}

std::string UnitWhere(const struct usb_device* device) {
  return std::string(device->bus != nullptr ? device->bus->dirname : "?") + "/" + device->filename;
}

// Without this line a unit the user may not open would only show as an empty site. Once per
// unit: every device notice rescans, and the same line each time would bury the log.
void ReportDeniedUnit(SiteSystem& system, const std::string& where) {
  if (system.DeniedUnits().count(where) != 0) return;
  system.Log().Write(
      "USB Unit " + where + " Cannot Be Opened: Permission Denied! Install the udev rule " +
          UnitUsb::UdevRuleFile +
          " (in /etc/udev/rules.d or /usr/lib/udev/rules.d), join the group plugdev and replug "
          "the unit.",
      LogColour::Red);
}

// Offers the device to every site in order: the first free one claims it, and the interface
// can be claimed once only, so the later ones fail to open it and are shown empty. A unit that
// the user may not open is reported and offered to no further site.
void OfferDevice(SiteSystem& system, struct usb_device* device, ScanFindings& found) {
  for (int site = 0; site < kSiteCount; ++site) {
    ZvUsb& link = system.Link(site);
    if (link.HasHandle()) {
      found.anyUnit = true;
      continue;
    }
    if (SiteInUse(system, site)) continue;
    const OpenOutcome outcome = link.TryOpenDevice(device);
    if (outcome != OpenOutcome::Opened) {
      DropSite(system, site);
      if (outcome != OpenOutcome::Denied) continue;
      const std::string where = UnitWhere(device);
      ReportDeniedUnit(system, where);
      found.denied.insert(where);
      return;
    }
    found.anyUnit = true;
    if (system.Panels().Status(site) != siNone) continue;
    system.Panels().SetStatus(site, siReady);
    OpcodeQueue queue = MakeQueue({Opcodes::ConnectNotice, Opcodes::GetDateTimeId});
    found.greeted[static_cast<std::size_t>(site)] = Command(system, site, queue).Started();
  }
}

// WaitForSites sees the end state; the sort must also wait until the workers have let go of
// their links, which they do just after it.
void WaitForGreetings(SiteSystem& system, const SiteFlags& greeted) {
  WaitForSites(system);
  WaitWhile(system, [&] {
    for (int site = 0; site < kSiteCount; ++site) {
      if (greeted[static_cast<std::size_t>(site)] && SiteInUse(system, site)) return true;
    }
    return false;
  });
}

void ShowBoundSites(SiteSystem& system) {
  for (int site = 0; site < kSiteCount; ++site) {
    if (SiteInUse(system, site)) continue;
    if (system.Link(site).HasHandle()) {
      system.Panels().SetBigStatus(site, 0);
      system.Panels().SetStatus(site, siReady);
    } else {
      system.Panels().SetStatus(site, siNone);
    }
  }
}

bool ScanAndBind(SiteSystem& system) {
  CloseMissingUnits(system);
  const UnitScan scan = system.Links().EnumerateUnits();
  if (!scan.Attached) {
    for (int site = 0; site < kSiteCount; ++site) {
      if (!SiteInUse(system, site)) DropSite(system, site);
    }
    system.DeniedUnits().clear();
    return false;
  }
  ScanFindings found;
  for (auto* device : scan.Units) OfferDevice(system, device, found);
  // A unit opened or gone since is forgotten: refused again, it is reported again.
  system.DeniedUnits() = std::move(found.denied);
  WaitForGreetings(system, found.greeted);
  // Reordering moves links between site indexes; a worker of another command (a rescan
  // nested in its wait) would find a different unit under its index, so the order is left
  // for the next rescan then.
  if (!system.Engine().AnyRunning()) system.Links().SortLinksByKey();
  ShowBoundSites(system);
  return found.anyUnit;
}

}  // namespace

bool RescanUnits(SiteSystem& system) {
  system.Panels().SetSiteGroupEnabled(false);
  const bool anyUnit = ScanAndBind(system);
  system.Panels().SetSiteGroupEnabled(true);
  return anyUnit;
}
