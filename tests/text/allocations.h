// Counts heap allocations made through operator new, so that tests can check that a hot routine
// allocates nothing.
#pragma once

#include <cstddef>

namespace vktest {

std::size_t allocationCount();

// Allocations made during the lifetime of the object.
class AllocationWindow {
  public:
    AllocationWindow() : start_(allocationCount()) {}
    std::size_t count() const { return allocationCount() - start_; }

  private:
    std::size_t start_;
};

} // namespace vktest
