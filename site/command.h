#pragma once
// Starting work on a site: a Command copies the parameters, takes the caller's queue over,
// sets the panel to siWorking and starts the site's worker. It returns at once; the starter
// waits with WaitForSites.
#include <memory>
#include <string>

#include "site/thread_info.h"

class OpcodeTable;
class SiteContext;
class SiteSystem;

class Command {
 public:
  // The queue is taken over: it is empty afterwards, whether the worker started or not.
  Command(SiteSystem& system, int site, std::string text1, std::string text2, OpcodeQueue& queue);
  Command(SiteSystem& system, int site, OpcodeQueue& queue);
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  // False when nothing was started (site index outside 0..7, or the system shutting down).
  bool Started() const { return started_; }

 private:
  bool started_ = false;
};

// The worker's body: runs the queue of `info` with the operations of `table` on the site of
// `ctx` and sets the end state. Result 0.
int SiteWorker(const OpcodeTable& table, SiteContext& ctx, std::unique_ptr<S_ThreadInfo> info);

// Builds a queue from a list, for the starters: MakeQueue({1, 36}).
OpcodeQueue MakeQueue(std::initializer_list<Opcode> opcodes);
