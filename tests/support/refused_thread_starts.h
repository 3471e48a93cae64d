// Makes the system refuse new threads for the length of a test, through the thread
// start seam of the utilities: the first `allowed` starts go through, later ones fail.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cerrno>

#include "zev0/threads.h"

class RefusedThreadStarts : public zev0::ThreadStarter {
 public:
  explicit RefusedThreadStarts(int allowed = 0, int error = EAGAIN)
      : allowed_(allowed), error_(error), previous_(zev0::SetThreadStarter(this)) {}
  ~RefusedThreadStarts() override { zev0::SetThreadStarter(previous_); }
  RefusedThreadStarts(const RefusedThreadStarts&) = delete;
  RefusedThreadStarts& operator=(const RefusedThreadStarts&) = delete;

  int start(pthread_t* threadId, const pthread_attr_t* attributes, void* (*startRoutine)(void*),
            void* argument) override {
    if (allowed_.fetch_sub(1) > 0) return pthread_create(threadId, attributes, startRoutine, argument);
    ++refused_;
    return error_;
  }

  int refused() const { return refused_.load(); }

 private:
  std::atomic<int> allowed_;
  const int error_;
  std::atomic<int> refused_{0};
  zev0::ThreadStarter* previous_;
};
