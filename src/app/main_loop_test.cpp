#include "app/main_loop.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/startup.h"
#include "base/event_bus.h"
#include "platform/message_source.h"

static std::deque<WindowMessage> g_script;  // messages waiting, one batch per pass
static std::deque<int> g_batches;           // messages available in each pass
static int g_available;
static std::vector<std::string> g_log;

static int scripted_poll(WindowMessage* out) {
  if (g_available == 0 || g_script.empty()) return 0;
  *out = g_script.front();
  g_script.pop_front();
  g_available--;
  return 1;
}

static void frame(Window*) {
  g_log.push_back("frame");
  g_available = g_batches.empty() ? 0 : g_batches.front();
  if (!g_batches.empty()) g_batches.pop_front();
}

static void on_key(uint32_t e, const void*) {
  if (e == EVENT_KEY) g_log.push_back("key");
}

TEST(MessageLoop, QuitBehindOtherMessagesGetsOneMoreFrame) {
  message_source_set(scripted_poll);
  event_bus_start();
  event_subscribe(on_key);
  WindowMessage key = {};
  key.kind = WMSG_KEY_DOWN;
  key.param = 0x11u << 16;  // W
  WindowMessage quit = {};
  quit.kind = WMSG_QUIT;
  quit.code = 7;
  g_script = {key, quit, key};
  g_available = 0;
  g_batches = {3};
  g_log.clear();
  set_frame_callback([](Window* w) {
    event_dispatch();
    frame(w);
  });
  EXPECT_EQ(run_message_loop(), 7);
  // Pass 1: nothing waiting, one frame. Pass 2: the key is handled, the quit seen, one more
  // frame; the message after the quit stays unread.
  EXPECT_EQ(g_log, (std::vector<std::string>{"frame", "key", "key", "frame"}));
  EXPECT_EQ(g_script.size(), 1u);
  event_bus_stop();
  message_source_set(nullptr);
}

TEST(MessageLoop, NoFrameCallbackReturnsOne) {
  set_frame_callback(nullptr);
  EXPECT_EQ(run_message_loop(), 1);
}
