#pragma once

#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "zemox/block.h"
#include "zemox/memory.h"
#include "zemox/result.h"

namespace zemox {

// Owning, growable, contiguous array in host memory. It never throws: every operation that may grow
// it returns a Result that reports an out-of-memory error, and leaves the array as it was.
template <typename T>
class BaseArray {
  static_assert(std::is_nothrow_move_constructible_v<T>, "elements must move without throwing");

 public:
  BaseArray() = default;
  BaseArray(BaseArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        count_(std::exchange(other.count_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  BaseArray& operator=(BaseArray&& other) noexcept {
    if (this != &other) {
      Flush();
      data_ = std::exchange(other.data_, nullptr);
      count_ = std::exchange(other.count_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  BaseArray(const BaseArray&) = delete;
  BaseArray& operator=(const BaseArray&) = delete;
  ~BaseArray() { Flush(); }

  Int GetCount() const { return count_; }
  Int GetCapacity() const { return capacity_; }
  Bool IsEmpty() const { return count_ == 0; }
  T* GetFirst() { return data_; }
  const T* GetFirst() const { return data_; }
  T& operator[](Int index) { return data_[index]; }
  const T& operator[](Int index) const { return data_[index]; }
  T& GetLast() { return data_[count_ - 1]; }
  const T& GetLast() const { return data_[count_ - 1]; }
  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }
  operator Block<T>() { return Block<T>(data_, count_); }
  operator Block<const T>() const { return Block<const T>(data_, count_); }
  Block<const T> ToBlock() const { return Block<const T>(data_, count_); }

  // Makes room for at least `capacity` elements without changing the count.
  Result<void> EnsureCapacity(Int capacity) {
    if (capacity <= capacity_) return OK();
    return Reallocate(capacity);
  }

  Result<void> Append(const T& value) {
    if (count_ == capacity_) ZEMOX_RETURN_IF_FAILED(Reallocate(GrownCapacity()));
    new (data_ + count_) T(value);
    ++count_;
    return OK();
  }

  Result<void> Append(T&& value) {
    if (count_ == capacity_) ZEMOX_RETURN_IF_FAILED(Reallocate(GrownCapacity()));
    new (data_ + count_) T(std::move(value));
    ++count_;
    return OK();
  }

  Result<void> Append(Block<const T> values) {
    ZEMOX_RETURN_IF_FAILED(EnsureCapacity(count_ + values.GetCount()));
    for (const T& value : values) new (data_ + count_++) T(value);
    return OK();
  }

  // Appends a value-initialised element and returns it.
  Result<T*> AppendNew() {
    if (count_ == capacity_) ZEMOX_RETURN_IF_FAILED(Reallocate(GrownCapacity()));
    T* element = new (data_ + count_) T();
    ++count_;
    return element;
  }

  // Sets the count; new elements are value-initialised (zero for plain data). The capacity becomes
  // exactly the count when it has to grow.
  Result<void> Resize(Int count) {
    if (count > capacity_) ZEMOX_RETURN_IF_FAILED(Reallocate(count));
    for (Int i = count_; i < count; ++i) new (data_ + i) T();
    for (Int i = count; i < count_; ++i) data_[i].~T();
    count_ = count;
    return OK();
  }

  // Releases the capacity beyond the count. A failing reallocation reports out-of-memory and keeps
  // the array as it was.
  Result<void> ShrinkToFit() {
    if (capacity_ == count_) return OK();
    if (count_ == 0) {
      Flush();
      return OK();
    }
    return Reallocate(count_);
  }

  // Removes the last element.
  void Pop() { data_[--count_].~T(); }

  // Removes the element at `index`, moving the later ones down.
  void Erase(Int index) {
    for (Int i = index; i + 1 < count_; ++i) data_[i] = std::move(data_[i + 1]);
    Pop();
  }

  // Removes every element and keeps the memory.
  void Reset() {
    for (Int i = 0; i < count_; ++i) data_[i].~T();
    count_ = 0;
  }

  // Removes every element and releases the memory.
  void Flush() {
    Reset();
    Release(data_);
    data_ = nullptr;
    capacity_ = 0;
  }

  // Replaces the content by a copy of `values`.
  Result<void> CopyFrom(Block<const T> values) requires std::is_copy_constructible_v<T> {
    ZEMOX_RETURN_IF_FAILED(EnsureCapacity(values.GetCount()));
    Reset();
    return Append(values);
  }

 private:
  // From empty to 16 elements, then by half again, in multiples of 16 so that repeated appends
  // reallocate rarely and sizes stay aligned.
  Int GrownCapacity() const {
    if (capacity_ == 0) return 16;
    const Int grown = (capacity_ * 3 + 3) / 2;
    return (grown + 15) / 16 * 16;
  }

  Result<void> Reallocate(Int capacity) {
    const Int bytes = capacity * static_cast<Int>(sizeof(T));
    if (capacity < 0 || bytes / static_cast<Int>(sizeof(T)) != capacity) return ZEMOX_ERROR(OutOfMemoryError);
    T* grown = nullptr;
    if constexpr (std::is_trivially_copyable_v<T>) {
      grown = static_cast<T*>(zemox::Reallocate(data_, bytes));
      if (grown == nullptr) return ZEMOX_ERROR(OutOfMemoryError);
    } else {
      grown = static_cast<T*>(Allocate(bytes));
      if (grown == nullptr) return ZEMOX_ERROR(OutOfMemoryError);
      for (Int i = 0; i < count_; ++i) {
        new (grown + i) T(std::move(data_[i]));
        data_[i].~T();
      }
      Release(data_);
    }
    data_ = grown;
    capacity_ = capacity;
    return OK();
  }

  T* data_ = nullptr;
  Int count_ = 0;
  Int capacity_ = 0;
};

}  // namespace zemox
