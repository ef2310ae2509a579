#pragma once

// Declaring an interface.
//
// An interface is declared once, as a class whose body lists its slots in slot order. Each slot is
// one macro line under its doc comment:
//
//   class ExactPredicates2DInterface : public StaticInterface<ExactPredicates2DInterface> {
//    public:
//     ZEMOX_INTERFACE("net.zemox.interface.exactpredicates2d", 7)
//     // > 0 when pointA, pointB, pointC turn counter-clockwise.
//     ZEMOX_STATIC_SLOT(0, Float, Orient, (IN, const Vector2d&, pointA), (IN, const Vector2d&, pointB), ...)
//   };
//
// From that line follow the caller's method (`ExactPredicates2DInterface::Orient(a, b, c)`), the
// slot's function-pointer type, its reflection data (method name, parameter names and directions
// IN, OUT or INOUT) and the forwarding into an implementation that has a method of the same name.
// A parameter is (direction, type, name) or (direction, type, name, default value); types must not
// contain a comma at the top level (use an alias).
//
// Kinds of slot:
//   ZEMOX_STATIC_SLOT  static interfaces: a static method, implemented by a static member of the
//                      implementation class;
//   ZEMOX_SLOT         instance interfaces: a method of the handle, implemented by a member function;
//   ZEMOX_CONST_SLOT   the same for a method that leaves the instance unchanged;
//   ZEMOX_VIRTUAL_SLOT, ZEMOX_VIRTUAL_CONST_SLOT
//                      component interfaces: a pure virtual method, overridden by each class that
//                      implements the interface (objects are created from class identifiers).
// Instance interfaces start with ZEMOX_INSTANCE_INTERFACE, which declares slots 0 (Free) and 1
// (Alloc), and are held through InstanceRef<Interface>.
//
// The module registers the interface and binds its implementation with
//   const InterfaceRegistration<ExactPredicates2DInterface> interfaceRecord;
//   const ImplementationRegistration<ExactPredicates2DInterface, ExactPredicates2DImpl> implementationRecord(
//       "ExactPredicates2DImpl");
// which check at compile time that slots 0 to count - 1 are each declared once and no others.

#include <array>
#include <atomic>
#include <limits>
#include <type_traits>
#include <utility>

#include "zemox/block.h"
#include "zemox/error.h"
#include "zemox/id.h"
#include "zemox/memory.h"
#include "zemox/preprocessor.h"
#include "zemox/registry.h"
#include "zemox/result.h"

// Parts of one parameter (direction, type, name[, default]).
#define ZEMOX_PARAMETER_TYPE(parameter) ZEMOX_PARAMETER_TYPE_ parameter
#define ZEMOX_PARAMETER_TYPE_(direction, type, name, ...) type
#define ZEMOX_PARAMETER_NAME(parameter) ZEMOX_PARAMETER_NAME_ parameter
#define ZEMOX_PARAMETER_NAME_(direction, type, name, ...) name
#define ZEMOX_PARAMETER_DECLARATION(parameter) ZEMOX_PARAMETER_DECLARATION_ parameter
#define ZEMOX_PARAMETER_DECLARATION_(direction, type, name, ...) type name __VA_OPT__(= __VA_ARGS__)
#define ZEMOX_COMMA_PARAMETER_TYPE(parameter) , ZEMOX_PARAMETER_TYPE_ parameter
#define ZEMOX_COMMA_PARAMETER_NAME(parameter) , ZEMOX_PARAMETER_NAME_ parameter
#define ZEMOX_COMMA_PARAMETER_PLAIN(parameter) , ZEMOX_PARAMETER_PLAIN_ parameter
#define ZEMOX_PARAMETER_PLAIN_(direction, type, name, ...) type name
#define ZEMOX_COMMA_PARAMETER_INFO(parameter) , ZEMOX_PARAMETER_INFO_ parameter
#define ZEMOX_PARAMETER_INFO_(direction, type, name, ...) \
  ::zemox::ParameterInfo { #name, ::zemox::ParameterDirection::direction }

// Identifier and slot count of the interface; opens its declaration.
#define ZEMOX_INTERFACE(identifier, slotCount) \
  static constexpr ::zemox::Id ID{identifier}; \
  static constexpr ::zemox::Int SLOT_COUNT = slotCount;

// A slot of a static interface. The declaration comes first: the method's body needs its deduced type.
#define ZEMOX_STATIC_SLOT(index, ResultType, Method, ...)                                                           \
  static constexpr auto Describe(::zemox::SlotIndex<index>) {                                                       \
    return ::zemox::DeclareSlot<ResultType(ZEMOX_PP_FOR_EACH_COMMA(ZEMOX_PARAMETER_TYPE, __VA_ARGS__))>(            \
        #Method ZEMOX_PP_FOR_EACH(ZEMOX_COMMA_PARAMETER_INFO, __VA_ARGS__));                                        \
  }                                                                                                                 \
  static ResultType Method(ZEMOX_PP_FOR_EACH_COMMA(ZEMOX_PARAMETER_DECLARATION, __VA_ARGS__)) {                     \
    return CallSlot<index>(#Method ZEMOX_PP_FOR_EACH(ZEMOX_COMMA_PARAMETER_NAME, __VA_ARGS__));                     \
  }                                                                                                                 \
  template <typename Impl>                                                                                          \
  static ResultType Invoke(::zemox::SlotIndex<index> ZEMOX_PP_FOR_EACH(ZEMOX_COMMA_PARAMETER_PLAIN, __VA_ARGS__)) { \
    return Impl::Method(ZEMOX_PP_FOR_EACH_COMMA(ZEMOX_PARAMETER_NAME, __VA_ARGS__));                                \
  }

// A slot of an instance interface; `qualifier` is empty or const.
#define ZEMOX_INSTANCE_SLOT_(qualifier, index, ResultType, Method, ...)                                              \
  static constexpr auto Describe(::zemox::SlotIndex<index>) {                                                        \
    return ::zemox::DeclareSlot<ResultType(void* ZEMOX_PP_FOR_EACH(ZEMOX_COMMA_PARAMETER_TYPE, __VA_ARGS__))>(       \
        #Method ZEMOX_PP_FOR_EACH(ZEMOX_COMMA_PARAMETER_INFO, __VA_ARGS__));                                         \
  }                                                                                                                  \
  ResultType Method(ZEMOX_PP_FOR_EACH_COMMA(ZEMOX_PARAMETER_DECLARATION, __VA_ARGS__)) qualifier {                   \
    return CallSlot<index>(ZEMOX_PP_FOR_EACH_COMMA(ZEMOX_PARAMETER_NAME, __VA_ARGS__));                              \
  }                                                                                                                  \
  template <typename Impl>                                                                                           \
  static ResultType Invoke(::zemox::SlotIndex<index>,                                                                \
                           void* object ZEMOX_PP_FOR_EACH(ZEMOX_COMMA_PARAMETER_PLAIN, __VA_ARGS__)) {               \
    return static_cast<qualifier Impl*>(object)->Method(ZEMOX_PP_FOR_EACH_COMMA(ZEMOX_PARAMETER_NAME, __VA_ARGS__)); \
  }
#define ZEMOX_SLOT(index, ResultType, Method, ...) ZEMOX_INSTANCE_SLOT_(, index, ResultType, Method, __VA_ARGS__)
#define ZEMOX_CONST_SLOT(index, ResultType, Method, ...) \
  ZEMOX_INSTANCE_SLOT_(const, index, ResultType, Method, __VA_ARGS__)

// A slot of a component interface: a pure virtual method of the class, overridden by each
// implementation class; `qualifier` of the second form is const.
#define ZEMOX_VIRTUAL_SLOT_(qualifier, index, ResultType, Method, ...)                                         \
  static constexpr auto Describe(::zemox::SlotIndex<index>) {                                                  \
    return ::zemox::DeclareSlot<ResultType(void* ZEMOX_PP_FOR_EACH(ZEMOX_COMMA_PARAMETER_TYPE, __VA_ARGS__))>( \
        #Method ZEMOX_PP_FOR_EACH(ZEMOX_COMMA_PARAMETER_INFO, __VA_ARGS__));                                   \
  }                                                                                                            \
  virtual ResultType Method(ZEMOX_PP_FOR_EACH_COMMA(ZEMOX_PARAMETER_DECLARATION, __VA_ARGS__)) qualifier = 0;
#define ZEMOX_VIRTUAL_SLOT(index, ResultType, Method, ...) ZEMOX_VIRTUAL_SLOT_(, index, ResultType, Method, __VA_ARGS__)
#define ZEMOX_VIRTUAL_CONST_SLOT(index, ResultType, Method, ...) \
  ZEMOX_VIRTUAL_SLOT_(const, index, ResultType, Method, __VA_ARGS__)

// Opens an instance interface: identifier, slot count, and slots 0 (Free) and 1 (Alloc), which
// destroy and create instances of the implementation in host memory.
#define ZEMOX_INSTANCE_INTERFACE(Name, identifier, slotCount)                                                    \
  ZEMOX_INTERFACE(identifier, slotCount)                                                                         \
  static constexpr auto Describe(::zemox::SlotIndex<0>) {                                                        \
    return ::zemox::DeclareSlot<void(void*)>("Free",                                                             \
                                             ::zemox::ParameterInfo{"object", ::zemox::ParameterDirection::IN}); \
  }                                                                                                              \
  static constexpr auto Describe(::zemox::SlotIndex<1>) {                                                        \
    return ::zemox::DeclareSlot<::zemox::Result<void*>(const char*)>(                                            \
        "Alloc", ::zemox::ParameterInfo{"allocLocation", ::zemox::ParameterDirection::IN});                      \
  }                                                                                                              \
  template <typename Impl>                                                                                       \
  static void Invoke(::zemox::SlotIndex<0>, void* object) {                                                      \
    ::zemox::DeleteObject(static_cast<Impl*>(object));                                                           \
  }                                                                                                              \
  template <typename Impl>                                                                                       \
  static ::zemox::Result<void*> Invoke(::zemox::SlotIndex<1>, const char*) {                                     \
    return ::zemox::AllocInstance<Impl>();                                                                       \
  }                                                                                                              \
                                                                                                                 \
 protected:                                                                                                      \
  Name() = default;                                                                                              \
                                                                                                                 \
 public:

namespace zemox {

// Tag that selects the declaration of one slot.
template <Int index>
struct SlotIndex {};

// Slot tables store type-erased function pointers; every call casts the entry back to the exact
// pointer type of the slot's declaration, which is also the type the entry was made from.
using SlotFunction = void (*)();

// Declaration of one slot: the function type of its table entry, the method name and its parameters.
template <typename SlotSignature, Int parameterCount>
struct SlotDeclaration {
  using Signature = SlotSignature;
  const char* method;
  std::array<ParameterInfo, parameterCount> parameters;
};

template <typename Signature, typename... Parameters>
constexpr SlotDeclaration<Signature, sizeof...(Parameters)> DeclareSlot(const char* method, Parameters... parameters) {
  return {method, {parameters...}};
}

template <typename Interface, Int index>
inline constexpr auto slotDeclaration = Interface::Describe(SlotIndex<index>{});

template <typename Interface, Int index>
using SlotPointer = typename decltype(slotDeclaration<Interface, index>)::Signature*;

// What a caller gets when no implementation is registered: fallible slots an IllegalStateError that
// names the interface, Float slots NaN (whose comparisons are all false), others a zero value.
template <typename T>
struct UnimplementedSlot {
  static T Answer(const Id&, const char*) {
    if constexpr (std::is_floating_point_v<T>)
      return std::numeric_limits<T>::quiet_NaN();
    else if constexpr (!std::is_void_v<T>)
      return T{};
  }
};
template <typename T>
struct UnimplementedSlot<Result<T>> {
  static Result<T> Answer(const Id& interfaceId, const char* method) {
    return ZEMOX_ERROR_IN(method, IllegalStateError, "@: Interface @ is not implemented.", interfaceId);
  }
};

// The slot table registered for an interface, cached until the registry changes.
//
// The cached table and the registry generation it belongs to are published together under a
// sequence stamp (twice the generation; odd while a thread rewrites the pair). A reader accepts the
// table only when the stamp equals twice the current generation both before and after it read the
// table, so it can never pair a new generation with a table from before an unload. The generation
// stored is the one read under the registry lock together with the table.
class SlotTableCache {
 public:
  const SlotFunction* Resolve(const Id& interfaceId) {
    const UInt stamp = stamp_.load(std::memory_order_acquire);
    if (stamp == 2 * RegistryGeneration()) {
      // A table stored by a publisher that is still rewriting the pair carries that publisher's odd
      // stamp with it, so the second stamp read below no longer matches.
      const SlotFunction* table = table_.load(std::memory_order_acquire);
      if (stamp_.load(std::memory_order_relaxed) == stamp) return table;
    }
    return Refresh(interfaceId);
  }

 private:
  // Looks the table up under the registry lock and publishes it unless another thread is publishing.
  const SlotFunction* Refresh(const Id& interfaceId);

  std::atomic<UInt> stamp_{~UInt{1}};
  std::atomic<const SlotFunction*> table_{nullptr};
};

template <typename Interface>
const SlotFunction* ResolveSlotTable() {
  static SlotTableCache cache;
  return cache.Resolve(Interface::ID);
}

// Base of static interfaces: calls through the registered slot table.
template <typename Interface>
class StaticInterface {
 protected:
  template <Int index, typename... Arguments>
  static auto CallSlot(const char* method, Arguments&&... arguments) {
    using Pointer = SlotPointer<Interface, index>;
    using Answer = std::invoke_result_t<Pointer, Arguments...>;
    const SlotFunction* table = ResolveSlotTable<Interface>();
    if (table == nullptr) return UnimplementedSlot<Answer>::Answer(Interface::ID, method);
    return reinterpret_cast<Pointer>(table[index])(std::forward<Arguments>(arguments)...);
  }
};

// Base of instance interfaces: the slot table of the implementation and the instance it created.
// Only InstanceRef creates and owns instances; an interface object is the view a method runs on.
class InstanceHandle {
 public:
  explicit operator bool() const { return object_ != nullptr; }
  // The instance itself, for the implementation that receives another instance as an argument.
  void* GetObject() const { return object_; }

 protected:
  template <typename Interface, Int index, typename... Arguments>
  auto CallSlotOf(Arguments&&... arguments) const {
    return reinterpret_cast<SlotPointer<Interface, index>>(table_[index])(object_,
                                                                          std::forward<Arguments>(arguments)...);
  }

  const SlotFunction* table_ = nullptr;
  void* object_ = nullptr;
};

template <typename Interface>
class InstanceInterface : public InstanceHandle {
 protected:
  template <Int index, typename... Arguments>
  auto CallSlot(Arguments&&... arguments) const {
    return CallSlotOf<Interface, index>(std::forward<Arguments>(arguments)...);
  }
};

// Creates an instance of an implementation in host memory, for the Alloc slot.
template <typename Impl>
Result<void*> AllocInstance() {
  Impl* object = NewObject<Impl>();
  if (object == nullptr) return ZEMOX_ERROR(OutOfMemoryError);
  return static_cast<void*>(object);
}

// The implementation object behind an instance handle, for an implementation that receives another
// instance of its own interface (CopyFrom).
template <typename Impl>
const Impl& ImplementationOf(const InstanceHandle& handle) {
  return *static_cast<const Impl*>(handle.GetObject());
}

// Owning, move-only reference to one instance of an instance interface, created through the
// registered implementation's Alloc slot and destroyed through its Free slot. One thread at a time.
template <typename Interface>
class InstanceRef : public Interface {
 public:
  InstanceRef() = default;
  InstanceRef(InstanceRef&& other) noexcept {
    this->table_ = std::exchange(other.table_, nullptr);
    this->object_ = std::exchange(other.object_, nullptr);
  }
  InstanceRef& operator=(InstanceRef&& other) noexcept {
    std::swap(this->table_, other.table_);
    std::swap(this->object_, other.object_);
    return *this;
  }
  InstanceRef(const InstanceRef&) = delete;
  InstanceRef& operator=(const InstanceRef&) = delete;
  ~InstanceRef() {
    if (this->object_ != nullptr) reinterpret_cast<SlotPointer<Interface, 0>>(this->table_[0])(this->object_);
  }

  // A new empty instance of the registered implementation.
  static Result<InstanceRef> Create() {
    const SlotFunction* table = ResolveSlotTable<Interface>();
    if (table == nullptr)
      return ZEMOX_ERROR(IllegalStateError, "@: No implementation of @ is registered.", Interface::ID);
    Result<void*> object = reinterpret_cast<SlotPointer<Interface, 1>>(table[1])("InstanceRef::Create");
    if (!object) return object.TakeError();
    InstanceRef created;
    created.table_ = table;
    created.object_ = object.Value();
    return created;
  }
};

// Reflection data of an interface, built from its slot declarations. Compiling it checks that
// slots 0 to SLOT_COUNT - 1 are each declared and that none is declared beyond them.
template <typename Interface>
class InterfaceReflection {
  template <std::size_t... indices>
  static constexpr std::array<SlotInfo, sizeof...(indices)> Build(std::index_sequence<indices...>) {
    return {SlotInfo{slotDeclaration<Interface, indices>.method,
                     {slotDeclaration<Interface, indices>.parameters.data(),
                      static_cast<Int>(slotDeclaration<Interface, indices>.parameters.size())}}...};
  }
  template <std::size_t... indices>
  static constexpr Bool Declared(std::index_sequence<indices...>) {
    return (requires { Interface::Describe(SlotIndex<indices>{}); } && ...);
  }
  static constexpr std::size_t count = static_cast<std::size_t>(Interface::SLOT_COUNT);
  static_assert(Declared(std::make_index_sequence<count>{}), "a slot below the slot count is not declared");
  static_assert(
      !requires { Interface::Describe(SlotIndex<Interface::SLOT_COUNT>{}); },
      "a slot is declared beyond the slot count");

 public:
  static constexpr std::array<SlotInfo, count> slots = Build(std::make_index_sequence<count>{});
  static constexpr InterfaceInfo info{{slots.data(), Interface::SLOT_COUNT}};
};

// The table entry of one slot: forwards to the implementation through the declaration's Invoke.
template <typename Interface, typename Impl, Int index, typename Signature>
struct SlotBinding;
template <typename Interface, typename Impl, Int index, typename ResultType, typename... Parameters>
struct SlotBinding<Interface, Impl, index, ResultType(Parameters...)> {
  static ResultType Call(Parameters... parameters) {
    return Interface::template Invoke<Impl>(SlotIndex<index>{}, std::forward<Parameters>(parameters)...);
  }
};

// Registers an interface with its reflection data for as long as the object lives.
template <typename Interface>
class InterfaceRegistration : public Registration {
 public:
  InterfaceRegistration()
      : Registration({.kind = RecordKind::INTERFACE,
                      .id = Interface::ID,
                      .interfaceInfo = &InterfaceReflection<Interface>::info}) {}
};

// Binds every slot of an interface to the method of the same name of `Impl` and registers the table
// as the interface's implementation for as long as the object lives.
template <typename Interface, typename Impl>
class ImplementationRegistration {
 public:
  explicit ImplementationRegistration(const char* className)
      : table_(Bind(std::make_index_sequence<static_cast<std::size_t>(Interface::SLOT_COUNT)>{})),
        registration_(
            {.kind = RecordKind::IMPLEMENTATION, .id = Interface::ID, .name = className, .table = table_.data()}) {}

  Bool IsRegistered() const { return registration_.IsRegistered(); }

 private:
  template <std::size_t... indices>
  static std::array<SlotFunction, sizeof...(indices)> Bind(std::index_sequence<indices...>) {
    static_assert(InterfaceReflection<Interface>::slots.size() == sizeof...(indices));
    return {reinterpret_cast<SlotFunction>(
        &SlotBinding<Interface, Impl, indices,
                     typename decltype(slotDeclaration<Interface, indices>)::Signature>::Call)...};
  }

  std::array<SlotFunction, static_cast<std::size_t>(Interface::SLOT_COUNT)> table_;
  Registration registration_;
};

}  // namespace zemox
