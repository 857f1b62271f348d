// Counts every allocation of the test program that includes it, so a test
// can check that a path (render, run) makes none. Include it from exactly one
// source file of a program: it replaces the global operator new and delete.
//
// Every form is replaced: product code uses the nothrow and array ones, and
// memory from one family must not be returned through another. The
// replacement pair is malloc/free; the compiler cannot see that the two belong
// together once standard containers inline them, hence the pragma.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

/// Allocations made so far through any form of operator new.
inline std::atomic<long> gAllocations{0};

void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
  ++gAllocations;
  return std::malloc(n ? n : 1);
}
void* operator new(std::size_t n)
{
  if (void* p = operator new(n, std::nothrow)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return operator new(n, std::nothrow); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
