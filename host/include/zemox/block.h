#pragma once

#include <initializer_list>
#include <type_traits>

#include "zemox/types.h"

namespace zemox {

// Non-owning view of contiguous elements: a pointer and a count.
template <typename T>
class Block {
 public:
  constexpr Block() = default;
  constexpr Block(T* data, Int count) : data_(data), count_(count) {}
  // A view of const elements from a view of mutable ones.
  template <typename U>
  requires(std::is_same_v<const U, T> && !std::is_same_v<U, T>) constexpr Block(const Block<U>& other)
      : data_(other.GetFirst()), count_(other.GetCount()) {}
  // A view of a braced list; valid only for the full expression that holds the list.
  constexpr Block(std::initializer_list<std::remove_const_t<T>> list) requires std::is_const_v<T>
      : data_(list.begin()), count_(static_cast<Int>(list.size())) {}

  constexpr T* GetFirst() const { return data_; }
  constexpr Int GetCount() const { return count_; }
  constexpr Bool IsEmpty() const { return count_ == 0; }
  constexpr T& operator[](Int index) const { return data_[index]; }
  constexpr T* begin() const { return data_; }
  constexpr T* end() const { return data_ + count_; }
  constexpr Block Slice(Int start, Int count) const { return Block(data_ + start, count); }

 private:
  T* data_ = nullptr;
  Int count_ = 0;
};

}  // namespace zemox
