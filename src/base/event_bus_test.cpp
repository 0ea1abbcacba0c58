#include "base/event_bus.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/thread.h"

// Every handler appends "name:event" to one log so order across handlers is visible.
static std::vector<std::string> g_log;

static void handler_a(uint32_t e, const void*) { g_log.push_back("a:" + std::to_string(e)); }
static void handler_b(uint32_t e, const void*) { g_log.push_back("b:" + std::to_string(e)); }
static void handler_c(uint32_t e, const void*) { g_log.push_back("c:" + std::to_string(e)); }

class EventBus : public testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    event_bus_start();
  }
  void TearDown() override { event_bus_stop(); }
};

static void posts_from_handler(uint32_t e, const void*) {
  g_log.push_back("p:" + std::to_string(e));
  if (e == 1) event_post_copy(9, nullptr, 0);
}

static void subscribes_c_on_1(uint32_t e, const void*) {
  g_log.push_back("s:" + std::to_string(e));
  if (e == 1) event_subscribe(handler_c);
}

static void removes_a_on_1(uint32_t e, const void*) {
  g_log.push_back("r:" + std::to_string(e));
  if (e == 1) event_unsubscribe(handler_a);
}

static void nested_dispatch(uint32_t e, const void*) {
  g_log.push_back("n:" + std::to_string(e));
  event_dispatch();  // must return at once
}

TEST_F(EventBus, DeliveryOrderTable) {
  struct Case {
    const char* name;
    std::vector<EventHandler> handlers;
    std::vector<uint32_t> posts;
    std::vector<std::string> expected;
  } cases[] = {
      {"FIFO, subscribers in order", {handler_a, handler_b}, {1, 2}, {"a:1", "b:1", "a:2", "b:2"}},
      {"subscribed twice, called twice", {handler_a, handler_a}, {3}, {"a:3", "a:3"}},
      {"posted during dispatch comes after the queued ones",
       {posts_from_handler},
       {1, 2},
       {"p:1", "p:2", "p:9"}},
      {"subscribed during delivery is called for the current event",
       {subscribes_c_on_1},
       {1, 2},
       {"s:1", "c:1", "s:2", "c:2"}},
      {"removing an earlier entry skips one later handler",
       {handler_a, removes_a_on_1, handler_b},
       {1, 2},
       {"a:1", "r:1", "r:2", "b:2"}},
      {"nested dispatch returns at once", {nested_dispatch, handler_a}, {1, 2}, {"n:1", "a:1", "n:2", "a:2"}},
  };
  for (const Case& c : cases) {
    event_bus_stop();
    event_bus_start();
    g_log.clear();
    for (EventHandler h : c.handlers) event_subscribe(h);
    for (uint32_t e : c.posts) event_post_copy(e, nullptr, 0);
    event_dispatch();
    EXPECT_EQ(g_log, c.expected) << c.name;
  }
}

TEST_F(EventBus, UnsubscribeRemovesOnlyTheFirstEntry) {
  event_subscribe(handler_a);
  event_subscribe(handler_b);
  event_subscribe(handler_a);
  event_unsubscribe(handler_c);  // not subscribed: nothing changes
  event_unsubscribe(handler_a);
  event_subscribe(nullptr);
  event_post_copy(4, nullptr, 0);
  event_dispatch();
  EXPECT_EQ(g_log, (std::vector<std::string>{"b:4", "a:4"}));
}

static const void* g_seen_data;
static uint8_t g_seen_byte;
static void remember_data(uint32_t, const void* data) {
  g_seen_data = data;
  if (data) g_seen_byte = *(const uint8_t*)data;
}

TEST_F(EventBus, PayloadsCopiedOrReferenced) {
  event_subscribe(remember_data);
  event_post_copy(EVENT_TEXT, nullptr, 0);
  g_seen_data = (void*)1;
  event_dispatch();
  EXPECT_EQ(g_seen_data, nullptr);  // length 0 delivers a null pointer

  uint8_t byte = 0x41;
  event_post_copy(EVENT_TEXT, &byte, 1);
  byte = 0;  // the bus holds its own copy
  event_dispatch();
  EXPECT_EQ(g_seen_byte, 0x41);
}

static int g_released;
static void release_count(void* data) {
  g_released++;
  *(int*)data = -1;
}

TEST_F(EventBus, ReleaseAfterDeliveryAndAtStopWithoutDelivery) {
  int payload = 5;
  event_subscribe(handler_a);
  g_released = 0;
  event_post(EVENT_ASSET_LOADED, &payload, release_count);
  event_dispatch();
  EXPECT_EQ(g_released, 1);
  EXPECT_EQ(payload, -1);
  g_log.clear();
  int queued = 7;
  event_post(EVENT_ASSET_RELEASED, &queued, release_count);
  event_bus_stop();
  EXPECT_EQ(g_released, 2);
  EXPECT_TRUE(g_log.empty());  // stopped: not delivered
  event_bus_start();
}

TEST_F(EventBus, ArenaShrinksBackAfterABusyFrame) {
  uint8_t big[512] = {};
  for (int i = 0; i < 64; i++) event_post_copy(EVENT_KEY, big, sizeof big);
  event_dispatch();
  size_t after_first = event_arena_reserved();
  for (int frame = 0; frame < 5; frame++) {
    for (int i = 0; i < 64; i++) event_post_copy(EVENT_KEY, big, sizeof big);
    event_dispatch();
    EXPECT_EQ(event_arena_reserved(), after_first);  // one block, no creep
  }
}

// A random mix of posts, subscriptions and dispatches against a trivial model of the bus.
static std::vector<std::pair<int, uint32_t>> g_deliveries;
template <int N>
static void numbered(uint32_t e, const void*) {
  g_deliveries.push_back({N, e});
}

TEST_F(EventBus, MatchesAModelUnderRandomOperations) {
  EventHandler pool[4] = {numbered<0>, numbered<1>, numbered<2>, numbered<3>};
  std::vector<int> model_subs;
  std::vector<uint32_t> model_queue;
  std::vector<std::pair<int, uint32_t>> expected;
  std::mt19937 rng(99);
  for (int step = 0; step < 5000; step++) {
    int op = rng() % 10;
    int h = rng() % 4;
    if (op < 5) {
      uint32_t e = rng() % 100;
      event_post_copy(e, &e, sizeof e);
      model_queue.push_back(e);
    } else if (op < 7) {
      event_subscribe(pool[h]);
      model_subs.push_back(h);
    } else if (op < 9) {
      event_unsubscribe(pool[h]);
      auto it = std::find(model_subs.begin(), model_subs.end(), h);
      if (it != model_subs.end()) model_subs.erase(it);
    } else {
      for (uint32_t e : model_queue)
        for (int s : model_subs) expected.push_back({s, e});
      model_queue.clear();
      event_dispatch();
      ASSERT_EQ(g_deliveries, expected) << "step " << step;
    }
  }
}

// Four producer threads post numbered events while the main thread dispatches: nothing is
// lost and each producer's events arrive in the order it posted them.
static std::vector<uint32_t> g_received;
static void collect(uint32_t, const void* data) { g_received.push_back(*(const uint32_t*)data); }

TEST_F(EventBus, FourProducersLoseNothingAndKeepTheirOrder) {
  event_subscribe(collect);
  g_received.clear();
  const uint32_t per_producer = 20000;
  std::vector<std::thread> producers;
  for (uint32_t p = 0; p < 4; p++)
    producers.emplace_back([p] {
      for (uint32_t i = 0; i < per_producer; i++) {
        uint32_t tagged = p << 24 | i;
        event_post_copy(EVENT_AXIS, &tagged, sizeof tagged);
      }
    });
  while (g_received.size() < 4 * per_producer) {
    event_dispatch();
    std::this_thread::yield();
  }
  for (auto& t : producers) t.join();
  event_dispatch();
  ASSERT_EQ(g_received.size(), 4 * per_producer);
  uint32_t next[4] = {};
  for (uint32_t tagged : g_received) {
    uint32_t p = tagged >> 24;
    ASSERT_LT(p, 4u);
    ASSERT_EQ(tagged & 0xFFFFFF, next[p]) << "producer " << p;
    next[p]++;
  }
}

// Payloads stay valid until the dispatch that delivered them ends, also across the later
// batches that events posted by handlers make; the pending count includes the rest of the
// batch being delivered.
static std::vector<const uint32_t*> g_payloads;
static std::vector<uint32_t> g_pending_seen;
static void keeps_payloads(uint32_t e, const void* data) {
  g_payloads.push_back((const uint32_t*)data);
  g_pending_seen.push_back(event_pending());
  if (e < 3) {
    uint32_t next[16];
    for (uint32_t& word : next) word = 100 + e;
    event_post_copy(e + 10, next, sizeof next);
  }
  for (const uint32_t* p : g_payloads) ASSERT_EQ(*p, p[15]) << "payload overwritten";
}

TEST_F(EventBus, PayloadsOutliveTheirBatchWithinOneDispatch) {
  event_subscribe(keeps_payloads);
  g_payloads.clear();
  g_pending_seen.clear();
  for (uint32_t e = 1; e <= 3; e++) {
    uint32_t words[16];
    for (uint32_t& word : words) word = e;
    event_post_copy(e, words, sizeof words);
  }
  event_dispatch();
  ASSERT_EQ(g_payloads.size(), 5u);  // 1, 2, 3, then 11 and 12 posted while delivering
  const uint32_t expected_first[] = {1, 2, 3, 101, 102};
  for (size_t i = 0; i < 5; i++) EXPECT_EQ(*g_payloads[i], expected_first[i]) << i;
  // After event 1: 2 and 3 of the batch plus 11 just posted, and so on.
  EXPECT_EQ(g_pending_seen, (std::vector<uint32_t>{2, 2, 2, 1, 0}));
  EXPECT_EQ(event_pending(), 0u);
}

// Copies of every small length arrive byte for byte, with nothing written past their end
// (the next copy's bytes are intact too).
static std::vector<std::vector<uint8_t>> g_copies;
static void keeps_copies(uint32_t e, const void* data) {
  const uint8_t* bytes = (const uint8_t*)data;
  g_copies.emplace_back(bytes, bytes + e);
}

TEST_F(EventBus, CopiedPayloadsOfEveryLengthArriveIntact) {
  event_subscribe(keeps_copies);
  g_copies.clear();
  std::mt19937 rng(3);
  std::vector<std::vector<uint8_t>> sent;
  for (uint32_t length = 1; length <= 40; length++) {
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) b = (uint8_t)rng();
    event_post_copy(length, bytes.data(), length);
    sent.push_back(bytes);
  }
  event_dispatch();
  EXPECT_EQ(g_copies, sent);
}
