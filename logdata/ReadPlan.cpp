#include "logdata/ReadPlan.h"

#include <algorithm>
#include <thread>

namespace trimwright {

namespace {

constexpr unsigned kMostWorkers = 8;

}  // namespace

unsigned ReadPlan::PartsFor(std::int64_t fileBytes) const {
  const std::int64_t bySize = fileBytes / std::max<std::int64_t>(minBytesPerPart, 1);
  return static_cast<unsigned>(std::clamp<std::int64_t>(bySize, 1, std::max(workers, 1u)));
}

ReadPlan ReadPlan::ForThisMachine() {
  ReadPlan plan;
  plan.workers = std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
  return plan;
}

}  // namespace trimwright
