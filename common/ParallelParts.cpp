#include "common/ParallelParts.h"

#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace trimwright {

void RunParts(std::size_t count, const std::function<void(std::size_t part)>& work) {
  std::vector<std::exception_ptr> failures(count);
  auto run = [&](std::size_t part) {
    try {
      work(part);
    } catch (...) {
      failures[part] = std::current_exception();
    }
  };

  std::vector<std::thread> threads;
  std::vector<std::size_t> leftOver;
  for (std::size_t part = 1; part < count; ++part) {
    try {
      threads.emplace_back(run, part);
    } catch (const std::system_error&) {
      leftOver.push_back(part);
    }
  }
  if (count > 0) run(0);
  for (const std::size_t part : leftOver) run(part);
  for (std::thread& thread : threads) thread.join();

  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace trimwright
