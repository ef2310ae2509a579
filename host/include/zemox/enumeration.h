#pragma once

// Declaring a registered enumeration once: its C++ type, the name and identifier it is registered
// under, and its values with their names.
//
//   ZEMOX_ENUM(FIXOPERATION, "FIXOPERATION", "net.zemox.enum.fixoperation", (SKIPEDGE, 1), (FUSEWITHNEXT, 2))
//
// declares `enum class FIXOPERATION : Int32`; the module registers it with
//   const EnumRegistration<FIXOPERATION> fixOperationEnum;

#include <iterator>

#include "zemox/id.h"
#include "zemox/preprocessor.h"
#include "zemox/registry.h"

#define ZEMOX_ENUM_VALUE(value) ZEMOX_ENUM_VALUE_ value
#define ZEMOX_ENUM_VALUE_(name, number) name = number
#define ZEMOX_ENUM_VALUE_INFO(value) ZEMOX_ENUM_VALUE_INFO_ value
#define ZEMOX_ENUM_VALUE_INFO_(name, number) \
  ::zemox::EnumValueInfo { #name, number }

#define ZEMOX_ENUM(Name, registeredName, identifier, ...)                                                             \
  enum class Name : ::zemox::Int32 { ZEMOX_PP_FOR_EACH_COMMA(ZEMOX_ENUM_VALUE, __VA_ARGS__) };                        \
  struct Name##Enumeration {                                                                                          \
    static constexpr const char* NAME = registeredName;                                                               \
    static constexpr ::zemox::Id ID{identifier};                                                                      \
    static constexpr ::zemox::EnumValueInfo VALUES[] = {ZEMOX_PP_FOR_EACH_COMMA(ZEMOX_ENUM_VALUE_INFO, __VA_ARGS__)}; \
  };                                                                                                                  \
  constexpr Name##Enumeration DescribeEnumeration(Name) { return {}; }

namespace zemox {

// Registers an enumeration declared with ZEMOX_ENUM for as long as the object lives.
template <typename Enumeration>
class EnumRegistration : public Registration {
  using Description = decltype(DescribeEnumeration(Enumeration{}));
  static constexpr EnumInfo info{{Description::VALUES, static_cast<Int>(std::size(Description::VALUES))}};

 public:
  EnumRegistration()
      : Registration(
            {.kind = RecordKind::ENUMERATION, .id = Description::ID, .name = Description::NAME, .enumInfo = &info}) {}
};

}  // namespace zemox
