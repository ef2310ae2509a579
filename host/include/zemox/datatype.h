#pragma once

#include <cstring>
#include <iterator>
#include <new>
#include <type_traits>

#include "zemox/block.h"
#include "zemox/error.h"
#include "zemox/memory.h"
#include "zemox/result.h"
#include "zemox/string.h"
#include "zemox/types.h"

namespace zemox {

// One member of a registered value type, for serialisation: its name, byte offset and type name.
struct MemberInfo {
  const char* name;
  Int offset;
  const char* typeName;
};

// Operations of a value type registered with the host, on untyped storage, so that generic
// containers can hold, copy, compare, hash, print and serialise values of types they do not know.
struct DataTypeInfo {
  Int size;
  // Fills `count` values with the type's default value.
  void (*construct)(void* values, Int count);
  // Copies `count` values; the ranges may overlap, and no value is overwritten before it is read.
  void (*copy)(void* destination, const void* source, Int count);
  Bool (*equal)(const void* a, const void* b);
  UInt (*hash)(const void* value);
  // Order of two values, INCOMPARABLE for types that have none.
  COMPARERESULT (*compare)(const void* a, const void* b);
  // Appends the text form; `formatStatement` (may be null) formats each number, "@" standing for it.
  Result<void> (*toText)(String& text, const void* value, const char* formatStatement);
  // A default value in host memory, released with `free` (which runs the destructor).
  Result<void*> (*allocate)();
  void (*free)(void* value);
  Block<const MemberInfo> members;
};

// The host's report of a program error that execution survives (a critical stop): the text and the
// source location, on the standard error stream. Counted, so that tests can see that one happened.
void ReportCriticalStop(const char* text, const char* file, Int32 line);
Int CriticalStopCount();

// The operations of DataTypeInfo for a plain value type T that supplies Equal(a, b), Hash(value),
// AppendText(text, value, formatStatement) and MEMBERS; its values are never ordered.
template <typename T>
struct PlainDataType {
  static_assert(std::is_trivially_copyable_v<T>);

  static void Construct(void* values, Int count) {
    for (Int i = 0; i < count; ++i) new (static_cast<T*>(values) + i) T{};
  }
  static void Copy(void* destination, const void* source, Int count) {
    std::memmove(destination, source, static_cast<size_t>(count) * sizeof(T));
  }
  // The same object is equal to itself even where the value is not (a NaN component).
  static Bool Equal(const void* a, const void* b) {
    return a == b || T::Equal(*static_cast<const T*>(a), *static_cast<const T*>(b));
  }
  static UInt Hash(const void* value) { return T::Hash(*static_cast<const T*>(value)); }
  static COMPARERESULT Compare(const void*, const void*) {
    ReportCriticalStop("Stop", __FILE__, __LINE__);
    return COMPARERESULT::INCOMPARABLE;
  }
  static Result<void> ToText(String& text, const void* value, const char* formatStatement) {
    if (value == nullptr) return text.Append("nullptr");
    return T::AppendText(text, *static_cast<const T*>(value), formatStatement == nullptr ? "@" : formatStatement);
  }
  static Result<void*> Allocate() {
    T* value = NewObject<T>();
    if (value == nullptr) return ZEMOX_ERROR(OutOfMemoryError);
    return static_cast<void*>(value);
  }
  static void Free(void* value) { DeleteObject(static_cast<T*>(value)); }

  static constexpr DataTypeInfo info{
      sizeof(T), Construct, Copy,     Equal, Hash,
      Compare,   ToText,    Allocate, Free,  {T::MEMBERS, static_cast<Int>(std::size(T::MEMBERS))}};
};

}  // namespace zemox
