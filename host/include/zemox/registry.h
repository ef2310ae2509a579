#pragma once

#include <atomic>

#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/id.h"
#include "zemox/object.h"
#include "zemox/result.h"

namespace zemox {

enum class RecordKind : Int32 {
  MODULE,
  INTERFACE,
  IMPLEMENTATION,
  CLASS,
  REGISTRY,
  REGISTRYENTRY,
  ERRORCLASS,
  DATATYPE,
  ENUMERATION,
  OPTION,
  SELFTEST,
  MODULEINFO,
};

// Lower-case name of a record kind, as the host program lists it.
const char* RecordKindName(RecordKind kind);

// Reflection data of one interface slot: the method and its parameters with their direction.
enum class ParameterDirection : Int32 { IN, OUT, INOUT };
struct ParameterInfo {
  const char* name;
  ParameterDirection direction;
};
struct SlotInfo {
  const char* method;
  Block<const ParameterInfo> parameters;
};
struct InterfaceInfo {
  Block<const SlotInfo> slots;
};

struct EnumValueInfo {
  const char* name;
  Int value;
};
struct EnumInfo {
  Block<const EnumValueInfo> values;
};

struct ModuleInfo {
  Block<const Id> frameworks;
  Block<const Id> dependencies;
};

// Description of a library the module carries: its name and version text.
struct LibraryInfo {
  const char* name;
  const char* version;
};

using ObjectFactory = Result<Object*> (*)();
using SelfTest = Result<void> (*)();

// One registered record. Which of the fields beyond kind and identifier are used depends on the kind:
//   INTERFACE       interfaceInfo (null for an interface without reflection data)
//   IMPLEMENTATION  id = the implemented interface, name = class name, table = slot table
//   CLASS           factory (null: declared only, implemented elsewhere), owner = interface it implements
//   REGISTRYENTRY   id = class, owner = registry
//   ERRORCLASS      owner = interface of the error
//   ENUMERATION     name = enumeration name, enumInfo
//   SELFTEST        owner = unit-test registry, selfTest
//   MODULE          moduleInfo;  MODULEINFO  libraryInfo
struct Record {
  RecordKind kind = RecordKind::MODULE;
  Id id;
  const char* name = "";
  Id owner;
  const InterfaceInfo* interfaceInfo = nullptr;
  const void* table = nullptr;
  ObjectFactory factory = nullptr;
  SelfTest selfTest = nullptr;
  const EnumInfo* enumInfo = nullptr;
  const ModuleInfo* moduleInfo = nullptr;
  const LibraryInfo* libraryInfo = nullptr;
};

// Registers a record; false when a record of the same kind and identifier (and, for implementations
// and registry entries, the same owner) exists or memory is exhausted.
Bool RegisterRecord(const Record& record);
// Withdraws the most recent registration of that record.
void WithdrawRecord(const Record& record);

// Registration that lasts as long as the object: static registration objects register while the
// module's initialisers run and withdraw, in reverse order, when it unloads.
class Registration {
 public:
  explicit Registration(const Record& record) : record_(record), registered_(RegisterRecord(record)) {}
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
  ~Registration() {
    if (registered_) WithdrawRecord(record_);
  }
  Bool IsRegistered() const { return registered_; }

 private:
  Record record_;
  Bool registered_;
};

// Copies every record, in registration order, to `visit`; stops early when it returns false.
using RecordVisitor = Bool (*)(const Record& record, void* context);
void EnumerateRecords(RecordVisitor visit, void* context);
// Records refused by RegisterRecord since start-up (duplicates or lack of memory).
Int RefusedRegistrationCount();

// Counter that changes with every registration and withdrawal; caches of looked-up records are
// valid while it stays the same.
UInt RegistryGeneration();

// The slot table registered for an interface, or null, and the registry generation it belongs to.
const void* FindImplementation(const Id& interfaceId, UInt& generation);
// The record of a kind and identifier; false when there is none.
Bool FindRecord(RecordKind kind, const Id& id, Record& found);
// Copies of every record of a kind, in registration order, so that a caller can use them without
// holding the registry (a self-test calls through interfaces, which look records up).
Result<BaseArray<Record>> CopyRecords(RecordKind kind);

// Runs every registered self-test and reports each outcome to `report`; returns how many failed.
// The tests run on copies of their records, outside the registry lock, because a self-test calls
// through interfaces, and a lookup with a cold cache takes that lock.
using SelfTestReport = void (*)(const Record& test, const Result<void>& outcome, void* context);
Result<Int> RunSelfTests(SelfTestReport report, void* context);

// Creates an object of a registered class.
Result<Object*> CreateObject(const Id& classId);
// Creates an object of a class entered into the given registry.
Result<Object*> CreateObjectFromRegistry(const Id& registryId, const Id& classId);

// Factory of a component class, for its class record: a new object in host memory.
template <typename Class>
Result<Object*> CreateComponent() {
  Class* object = NewObject<Class>();
  if (object == nullptr) return ZEMOX_ERROR(OutOfMemoryError);
  return static_cast<Object*>(object);
}

// Registers a component class under its identifier as an implementation of an interface and enters
// it into a registry, for as long as the object lives.
template <typename Class>
class ComponentRegistration {
 public:
  ComponentRegistration(const Id& classId, const Id& interfaceId, const Id& registryId)
      : classRecord_(
            {.kind = RecordKind::CLASS, .id = classId, .owner = interfaceId, .factory = CreateComponent<Class>}),
        registryEntry_({.kind = RecordKind::REGISTRYENTRY, .id = classId, .owner = registryId}) {}

 private:
  Registration classRecord_;
  Registration registryEntry_;
};

// Identifier of the unit-test registry that modules enter their self-tests into.
inline constexpr Id UnitTestRegistry{"net.zemox.registry.unittestclasses"};

}  // namespace zemox
