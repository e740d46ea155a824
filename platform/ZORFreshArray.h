#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

// An allocator that leaves values made without an initial value as they are: resize() of a large
// array then only reserves its memory, and the threads that fill their own parts of it are the
// first to touch (and so to zero and place) its pages, instead of one thread zeroing it all
// before the filling starts. Stateless, like std::allocator.
template <typename T>
class ZORFreshAllocator : public std::allocator<T> {
 public:
  template <typename U>
  struct rebind {
    using other = ZORFreshAllocator<U>;
  };

  ZORFreshAllocator() = default;
  template <typename U>
  ZORFreshAllocator(const ZORFreshAllocator<U>& /*other*/) noexcept {}

  template <typename U>
  void construct(U* slot) noexcept(std::is_nothrow_default_constructible<U>::value) {
    ::new (static_cast<void*>(slot)) U;
  }
  template <typename U, typename... Args>
  void construct(U* slot, Args&&... args) {
    ::new (static_cast<void*>(slot)) U(std::forward<Args>(args)...);
  }
};

// An array whose resize() leaves new values unset: every one must be written before it is read.
template <typename T>
using ZORFreshArray = std::vector<T, ZORFreshAllocator<T>>;
