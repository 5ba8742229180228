// The event hub's ring and backlog at their edges: a reconnect is served from the ring while
// the event after the client's last one is still there and gets "reset" once it is gone; a
// client is dropped once it lags by one event more than its backlog, not before.
#include <gtest/gtest.h>

#include "serve/event_hub.h"

namespace {
constexpr std::chrono::milliseconds kNoWait{0};

std::vector<std::uint64_t> Ids(const HubReader::Batch& batch) {
  std::vector<std::uint64_t> ids;
  for (const HubEvent& event : batch.events) ids.push_back(event.id);
  return ids;
}

TEST(EventHub, AReconnectIsServedFromTheRingOrReset) {
  EventHub hub({.ringEvents = 4, .clientBacklog = 100});
  for (int n = 0; n < 6; ++n) hub.Publish("log", "{}");  // ids 1..6, the ring holds 3..6
  struct Case {
    std::optional<std::uint64_t> last;
    bool reset;
    std::vector<std::uint64_t> ids;
  };
  const std::vector<Case> cases = {
      {std::nullopt, false, {}},  // a new client starts at the next event
      {1, true, {}},              // event 2 is gone
      {2, false, {3, 4, 5, 6}},   // event 3 is the oldest held
      {5, false, {6}},
      {6, false, {}},  // up to date
      {7, true, {}},   // an id this hub never gave
      {UINT64_MAX, true, {}},
  };
  for (const Case& c : cases) {
    auto reader = hub.Subscribe(c.last);
    const HubReader::Batch batch = reader->Next(10, kNoWait);
    EXPECT_EQ(batch.reset, c.reset) << (c.last ? *c.last : 0);
    EXPECT_EQ(Ids(batch), c.ids) << (c.last ? *c.last : 0);
  }
  EXPECT_EQ(hub.Clients(), 0u);
  EXPECT_EQ(hub.DroppedClients(), 0u);
}

TEST(EventHub, AClientIsDroppedOnceItLagsBeyondItsBacklog) {
  EventHub hub({.ringEvents = 100, .clientBacklog = 3});
  auto keeping = hub.Subscribe();
  auto lagging = hub.Subscribe();
  for (int n = 0; n < 3; ++n) hub.Publish("log", "{}");
  EXPECT_EQ(Ids(keeping->Next(2, kNoWait)), (std::vector<std::uint64_t>{1, 2}));
  hub.Publish("log", "{}");
  EXPECT_EQ(lagging->Next(10, kNoWait).status, HubReader::Status::Dropped);        // 4 behind
  EXPECT_EQ(Ids(keeping->Next(10, kNoWait)), (std::vector<std::uint64_t>{3, 4}));  // 2 behind
  EXPECT_EQ(keeping->Next(10, kNoWait).status, HubReader::Status::Idle);
  EXPECT_EQ(hub.DroppedClients(), 1u);
  // A client that comes back owes the ring its missed events, not its queue: it takes them at
  // its own pace, only what came after its return counts against it.
  auto returning = hub.Subscribe(0);
  hub.Publish("log", "{}");
  hub.Publish("log", "{}");
  hub.Publish("log", "{}");
  EXPECT_EQ(Ids(returning->Next(2, kNoWait)), (std::vector<std::uint64_t>{1, 2}));
  hub.Publish("log", "{}");  // 4 came after its return, 5 unread in all
  EXPECT_EQ(returning->Next(10, kNoWait).status, HubReader::Status::Dropped);
  EXPECT_EQ(hub.DroppedClients(), 2u);
  hub.Close();
  EXPECT_EQ(keeping->Next(10, std::chrono::milliseconds(60000)).status, HubReader::Status::Closed);
}
}  // namespace
