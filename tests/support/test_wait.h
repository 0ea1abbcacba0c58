#pragma once
// Waiting in tests for what another thread does: poll the condition every 200 microseconds
// for up to ten seconds, so a slow machine is waited for and a fault still ends the test.
#include <chrono>
#include <thread>

template <typename F>
bool test_wait_until(F condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}
