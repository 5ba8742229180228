#pragma once
// The card store's operations (17 to 23) as each site ran them, recorded around the real
// operations, so a test sees the queue a site got and where it stopped; and the store's own
// log lines, without the card commands' exchange lines that the card command tests cover.
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "site/opcode_table.h"
#include "site/ops/card_store_ops.h"
#include "site/ops/operation_list.h"
#include "site/site_system.h"
#include "tests/site/site_test_rig.h"

class CardQueues {
 public:
  // Runs before each recorded operation, on the site's worker.
  using Hook = std::function<void(int site, Opcode opcode)>;

  explicit CardQueues(SiteSystem& system) {
    for (Opcode opcode = Opcodes::SdProjectList; opcode <= Opcodes::SdFilter; ++opcode) {
      system.Opcodes().Register(opcode,
                                [this, opcode](SiteContext& ctx, const OperationTexts& texts) {
                                  const int site = ctx.Site();
                                  if (Hook hook = TakeHook(); hook) hook(site, opcode);
                                  const SiteResult result = real_.Run(ctx, opcode, texts);
                                  std::lock_guard<std::mutex> lock(mutex_);
                                  ran_[site].push_back(opcode);
                                  return result;
                                });
    }
  }
  // Each site that ran one, with its opcodes in order.
  std::map<int, std::vector<Opcode>> Ran() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ran_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    ran_.clear();
  }
  // The next operation (only that one) runs `hook` first.
  void BeforeNext(Hook hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    hook_ = std::move(hook);
  }

 private:
  Hook TakeHook() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(hook_, Hook{});
  }

  OpcodeTable real_{SiteOperationList()};
  mutable std::mutex mutex_;
  std::map<int, std::vector<Opcode>> ran_;
  Hook hook_;
};

// The lines a case logged, without those of the card command exchange (" - SDCard ...", their
// start, pass and failure lines) and the free space report.
inline std::vector<std::string> StoreLines(const CapturingLog& log) {
  std::vector<std::string> lines;
  for (const LoggedLine& line : log.Lines()) {
    const bool exchange = line.text.find(" - SDCard ") != std::string::npos;
    if (!exchange) lines.push_back(line.text);
  }
  return lines;
}
