#pragma once
// Starts `/usr/bin/python3 -m devserver` on a free loopback port for one test and ends it
// again. Every line the server prints after "listening PORT" is kept so that tests can
// wait for what the server saw ("event N NAME DETAIL"). Stopping sends SIGTERM, then SIGKILL
// after 3 s, and always reaps the process; start may be called again after stop.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct DevServer {
  pid_t pid = -1;
  int port = 0;
  std::thread reader;
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::string> lines;
  bool ended = false;
  // "session": the bare session layer; "game": the login and world servers ("world PORT" line).
  std::string role = "session";

  // extra: further command-line words, e.g. {"--keepalive", "0.2"}.
  bool start(const std::string& scenario, const std::vector<std::string>& extra = {}) {
    int out[2];
    if (pipe(out) != 0) return false;
    pid = fork();
    if (pid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      if (chdir(OSTREVANE_SOURCE_DIR) != 0) _exit(127);
      // The client in these tests has no locale: its credentials are the bare form (no prefix,
      // a line feed between), which the server is told instead of the demo locale's texts.
      std::vector<std::string> words = {"/usr/bin/python3",      "-m", "devserver",  "--login-port", "0",
                                        "--role",                role, "--scenario", scenario,
                                        "--credential-prefix",   "",   "--credential-separator", "\n"};
      words.insert(words.end(), extra.begin(), extra.end());
      std::vector<char*> argv;
      for (std::string& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    if (pid < 0) {
      close(out[0]);
      return false;
    }
    reader = std::thread([this, fd = out[0]] {
      FILE* f = fdopen(fd, "r");
      char line[8192];
      while (f && fgets(line, sizeof line, f)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::lock_guard<std::mutex> g(lock);
        if (port == 0 && text.rfind("listening ", 0) == 0)
          port = atoi(text.c_str() + 10);
        else
          lines.push_back(text);
        changed.notify_all();
      }
      if (f) fclose(f);
      std::lock_guard<std::mutex> g(lock);
      ended = true;
      changed.notify_all();
    });
    std::unique_lock<std::mutex> g(lock);
    changed.wait_for(g, std::chrono::seconds(10), [this] { return port != 0 || ended; });
    return port != 0;
  }

  // Waits until a line containing `text` was printed (or the timeout passed).
  bool wait_line(const std::string& text, double seconds = 10.0) {
    std::unique_lock<std::mutex> g(lock);
    return changed.wait_for(g, std::chrono::duration<double>(seconds), [&] {
      for (const std::string& l : lines)
        if (l.find(text) != std::string::npos) return true;
      return ended;
    }) && has_line_locked(text);
  }

  bool has_line(const std::string& text) {
    std::lock_guard<std::mutex> g(lock);
    return has_line_locked(text);
  }

  std::vector<std::string> snapshot() {
    std::lock_guard<std::mutex> g(lock);
    return lines;
  }

  void stop() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      int status = 0;
      for (int i = 0; i < 300; i++) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
          pid = -1;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        pid = -1;
      }
    }
    if (reader.joinable()) reader.join();
    // Ready for another start.
    std::lock_guard<std::mutex> g(lock);
    port = 0;
    lines.clear();
    ended = false;
  }

  ~DevServer() { stop(); }

 private:
  bool has_line_locked(const std::string& text) {
    for (const std::string& l : lines)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }
};
