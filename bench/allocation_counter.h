#pragma once
// Counts every heap allocation the program makes through C++, so a benchmark can show that a
// hot path allocates nothing. Include it in exactly one file of a benchmark program: it replaces
// the global operator new and delete.
#include <atomic>
#include <cstdlib>
#include <new>

namespace vantaro::bench {
inline std::atomic<long long> allocations{0};
} // namespace vantaro::bench

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete" // malloc/free pair up by design here

[[gnu::noinline]] void* operator new(std::size_t n) {
    vantaro::bench::allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

#pragma GCC diagnostic pop
