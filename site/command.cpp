#include "site/command.h"

#include <utility>

#include "link/zv_usb.h"
#include "site/site_context.h"
#include "site/site_panels.h"
#include "site/site_system.h"

namespace {

// An opcode after which a present unit is simply idle again: the greeting, the leave-taking
// and the identifier read are not runs, so they never show PASS or FAIL.
bool LeavesSiteReady(Opcode opcode) {
  return opcode == Opcodes::ConnectNotice || opcode == Opcodes::CloseNotice ||
         opcode == Opcodes::GetDateTimeId;
}

struct LastRun {
  bool any = false;
  Opcode opcode = 0;
  SiteResult result = SiteResultCode::Fail;
};

LastRun RunQueue(const OpcodeTable& table, SiteContext& ctx, S_ThreadInfo& info) {
  LastRun last;
  const std::size_t count = info.Queue.size();
  for (std::size_t i = 0; i < count; ++i) {
    last.any = true;
    last.opcode = info.Queue.front();
    info.Queue.pop();
    last.result = table.Run(ctx, last.opcode, info.Texts);
    if (last.result != SiteResultCode::Pass) break;
  }
  return last;
}

// An empty queue ran nothing: a present unit is shown idle (siReady) rather than PASS, which
// would claim a part was programmed, or FAIL, which would blame a unit that did nothing.
TSiteStatus EndState(SiteContext& ctx, const LastRun& last) {
  if (!ctx.UnitPresent()) {
    ctx.Link().CloseDevice();
    return siNone;
  }
  if (!last.any || LeavesSiteReady(last.opcode)) return siReady;
  return last.result == SiteResultCode::Pass ? siPass : siFail;
}

}  // namespace

Command::Command(SiteSystem& system, int site, std::string text1, std::string text2,
                 OpcodeQueue& queue) {
  auto info = std::make_unique<S_ThreadInfo>();
  info->SiteIndex = site;
  info->Texts.Text1 = std::move(text1);
  info->Texts.Text2 = std::move(text2);
  info->Queue = std::exchange(queue, OpcodeQueue{});
  started_ = system.Engine().Start(std::move(info));
}

Command::Command(SiteSystem& system, int site, OpcodeQueue& queue)
    : Command(system, site, std::string{}, std::string{}, queue) {}

int SiteWorker(const OpcodeTable& table, SiteContext& ctx, std::unique_ptr<S_ThreadInfo> info) {
  const LastRun last = RunQueue(table, ctx, *info);
  ctx.Panels().SetStatus(ctx.Site(), EndState(ctx, last));
  // The empty step after every queue; its result is not used.
  table.Run(ctx, Opcodes::EmptyStepAfterQueue, info->Texts);
  return 0;
}

OpcodeQueue MakeQueue(std::initializer_list<Opcode> opcodes) {
  OpcodeQueue queue;
  for (Opcode opcode : opcodes) queue.push(opcode);
  return queue;
}
