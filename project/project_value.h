#pragma once
// The per-site records derived from a loaded project: what the project enables
// (`S_ProjectValue`) and the site's process plan (`SiteProcessPlan`).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct ZV_Driver_INI;
struct ProjectRecords;

inline constexpr std::size_t kSocketCount = 4;  // Textool1 .. Textool4
inline constexpr std::size_t kAreaCount = 4;    // main, Ext1, Ext2, Ext3
inline constexpr std::size_t kStepFlagCount = 7;

// Index into S_ProjectValue::Step, in the project's key order.
namespace StepFlag {
inline constexpr std::size_t Pinscan = 0;
inline constexpr std::size_t ID = 1;
inline constexpr std::size_t Erase = 2;
inline constexpr std::size_t Blank = 3;
inline constexpr std::size_t Program = 4;
inline constexpr std::size_t Verify = 5;
inline constexpr std::size_t Protect = 6;
}  // namespace StepFlag

// Plan codes of an enabled or disabled area or socket.
inline constexpr std::uint8_t kPlanEnabled = 0xA0;
inline constexpr std::uint8_t kPlanDisabled = 0xA3;
inline constexpr std::uint8_t kPlanRunFieldPreset = 0xA5;

struct S_ProjectValue {
  std::array<std::uint8_t, kSocketCount> Textool{};  // Textool1Check .. Textool4Check
  std::array<std::uint8_t, kAreaCount> MemArea{};    // MainMeMCheck, Ext1..Ext3MeMCheck
  // PinscanCheck, IDCheck, EraseCheck, BlankCheck, ProgramCheck, VerifyCheck, ProtectCheck.
  // The automatic loop switches Step[StepFlag::Pinscan] while it runs.
  std::array<std::uint8_t, kStepFlagCount> Step{};
  std::string Manufacturer;
  std::string PartsNumber;
};

struct SiteProcessPlan {
  std::uint64_t MainLength = 0;
  std::uint64_t ExtLength = 0;  // Ext1 + Ext2 + Ext3
  std::uint64_t Ext3Length = 0;
  std::array<std::uint8_t, kAreaCount> AreaCode{};  // 0xA0 enabled, 0xA3 not
  std::uint8_t SocketCount = 0;                     // enabled sockets, 0..4
  std::array<std::uint8_t, kSocketCount> SocketCode{};
  std::array<std::uint8_t, 4> RunField{};  // 0xA5 when built; the runs use them
};

// end - start + 1 over the two 32-bit words of each address (64-bit carry and borrow),
// or 0 when the end address is 0 (or below the start). `area` 0 main, 1..3 Ext1..Ext3.
std::uint64_t AreaLength(const ZV_Driver_INI& driver, std::size_t area);

SiteProcessPlan MakeSiteProcessPlan(const ZV_Driver_INI& driver, const S_ProjectValue& value);

// Copies `value` into all eight records.ProjectValue.
void FillProjectValues(const S_ProjectValue& value, ProjectRecords& records);
// records.ProcessPlan[site] from records.DriverIni[site] and records.ProjectValue[site].
// Sites outside 0..7 are ignored.
void BuildSiteProcessPlan(ProjectRecords& records, std::size_t site);
