#pragma once
// What a worker is handed: the site, the two texts some operations take, and its queue.
#include <cstdint>
#include <queue>
#include <string>

// An operation number carried by a queue. Wider than the table (0..36) on purpose: a value
// outside it must reach the worker intact and fail there, not wrap into a valid opcode.
using Opcode = std::int32_t;
using OpcodeQueue = std::queue<Opcode>;

// The opcodes that the engine and the queue starters refer to by name.
namespace Opcodes {
inline constexpr Opcode PowerLedFlash = 0;
inline constexpr Opcode ConnectNotice = 1;
inline constexpr Opcode CloseNotice = 2;
inline constexpr Opcode BiosNumberGet = 3;
inline constexpr Opcode BiosVersionGet = 4;
inline constexpr Opcode SerialNumberRead = 5;
inline constexpr Opcode SelfTest = 6;
inline constexpr Opcode Reset = 7;
inline constexpr Opcode FirmwareUpdate = 8;
inline constexpr Opcode CheckUsbPower = 9;
inline constexpr Opcode HardwareSettings = 10;
inline constexpr Opcode DriverSettings = 11;
inline constexpr Opcode RunAll = 12;
inline constexpr Opcode AutoRunLoop = 13;
inline constexpr Opcode SdDetect = 14;
inline constexpr Opcode SdTest = 15;
inline constexpr Opcode SdFreeSpace = 16;
inline constexpr Opcode SdProjectList = 17;
inline constexpr Opcode SdProjectInfo = 18;
inline constexpr Opcode SdDeleteProject = 19;
inline constexpr Opcode SdStoreProject = 20;  // text 1: the project file
inline constexpr Opcode SdFetchProject = 21;  // text 2: the project name
inline constexpr Opcode SdStoreFetched = 22;  // text 2: the project name
inline constexpr Opcode SdFilter = 23;
inline constexpr Opcode SdQuickFormat = 24;
inline constexpr Opcode SdRunAll = 25;
inline constexpr Opcode SdAutoRunLoop = 26;
inline constexpr Opcode SdLoadRunSettings = 27;
inline constexpr Opcode SdAutoRunInit = 28;
inline constexpr Opcode IoMode = 29;
inline constexpr Opcode EmptyStepA = 30;
inline constexpr Opcode EmptyStepAfterQueue = 31;  // run by the worker after every queue
inline constexpr Opcode EmptyStepB = 32;
inline constexpr Opcode SelfTestFpgaLoad = 33;
inline constexpr Opcode BurnInTest = 34;
inline constexpr Opcode KeyRun = 35;
inline constexpr Opcode GetDateTimeId = 36;
inline constexpr Opcode First = 0;
inline constexpr Opcode Last = 36;
inline constexpr int Count = Last + 1;
}  // namespace Opcodes

// Text 1 goes to opcode 20, text 2 to opcodes 21 and 22; the other operations ignore both.
struct OperationTexts {
  std::string Text1;
  std::string Text2;
};

// One per started worker; the worker owns it and frees it when it ends.
struct S_ThreadInfo {
  std::int32_t SiteIndex = 0;
  OperationTexts Texts;
  OpcodeQueue Queue;
};
