#include "zemox/registry.h"

#include "zemox/interface.h"

#include <mutex>

#include "zemox/basearray.h"

namespace zemox {
namespace {

struct RegistryState {
  std::mutex mutex;
  BaseArray<Record> records;
  std::atomic<UInt> generation{0};
  std::atomic<Int> refused{0};
};

RegistryState& State() {
  static RegistryState state;
  return state;
}

Bool SameRecord(const Record& a, const Record& b) {
  if (a.kind != b.kind || !(a.id == b.id)) return false;
  if (a.kind == RecordKind::IMPLEMENTATION || a.kind == RecordKind::REGISTRYENTRY) return a.owner == b.owner;
  return true;
}

Int FindIndex(const BaseArray<Record>& records, const Record& record) {
  for (Int i = records.GetCount() - 1; i >= 0; --i)
    if (SameRecord(records[i], record)) return i;
  return -1;
}

Result<Object*> CreateFrom(const Record& classRecord) {
  if (classRecord.factory == nullptr)
    return ZEMOX_ERROR(IllegalStateError, "@: Class @ is declared but not implemented.", classRecord.id);
  return classRecord.factory();
}

}  // namespace

const char* RecordKindName(RecordKind kind) {
  switch (kind) {
    case RecordKind::MODULE:
      return "module";
    case RecordKind::INTERFACE:
      return "interface";
    case RecordKind::IMPLEMENTATION:
      return "implementation";
    case RecordKind::CLASS:
      return "class";
    case RecordKind::REGISTRY:
      return "registry";
    case RecordKind::REGISTRYENTRY:
      return "registryentry";
    case RecordKind::ERRORCLASS:
      return "errorclass";
    case RecordKind::DATATYPE:
      return "datatype";
    case RecordKind::ENUMERATION:
      return "enumeration";
    case RecordKind::OPTION:
      return "option";
    case RecordKind::SELFTEST:
      return "selftest";
    case RecordKind::MODULEINFO:
      return "moduleinfo";
  }
  return "unknown";
}

Bool RegisterRecord(const Record& record) {
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  if (FindIndex(state.records, record) >= 0 || !state.records.Append(record)) {
    state.refused.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  state.generation.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

void WithdrawRecord(const Record& record) {
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  const Int index = FindIndex(state.records, record);
  if (index < 0) return;
  state.records.Erase(index);
  state.generation.fetch_add(1, std::memory_order_acq_rel);
}

void EnumerateRecords(RecordVisitor visit, void* context) {
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  for (const Record& record : state.records)
    if (!visit(record, context)) return;
}

Int RefusedRegistrationCount() { return State().refused.load(std::memory_order_relaxed); }

UInt RegistryGeneration() { return State().generation.load(std::memory_order_acquire); }

Bool FindRecord(RecordKind kind, const Id& id, Record& found) {
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  for (const Record& record : state.records) {
    if (record.kind == kind && record.id == id) {
      found = record;
      return true;
    }
  }
  return false;
}

const void* FindImplementation(const Id& interfaceId, UInt& generation) {
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  generation = state.generation.load(std::memory_order_relaxed);
  for (const Record& record : state.records)
    if (record.kind == RecordKind::IMPLEMENTATION && record.id == interfaceId) return record.table;
  return nullptr;
}

Result<BaseArray<Record>> CopyRecords(RecordKind kind) {
  RegistryState& state = State();
  std::lock_guard lock(state.mutex);
  BaseArray<Record> copies;
  for (const Record& record : state.records)
    if (record.kind == kind && !copies.Append(record)) return ZEMOX_ERROR(OutOfMemoryError);
  return copies;
}

Result<Int> RunSelfTests(SelfTestReport report, void* context) {
  ZEMOX_ASSIGN_OR_RETURN(const BaseArray<Record> tests, CopyRecords(RecordKind::SELFTEST));
  Int failed = 0;
  for (const Record& test : tests) {
    const Result<void> outcome = test.selfTest();
    if (!outcome) ++failed;
    report(test, outcome, context);
  }
  return failed;
}

const SlotFunction* SlotTableCache::Refresh(const Id& interfaceId) {
  UInt generation = 0;
  const auto* table = static_cast<const SlotFunction*>(FindImplementation(interfaceId, generation));
  UInt stamp = stamp_.load(std::memory_order_relaxed);
  // An odd stamp means another thread is publishing; this caller simply goes without the cache.
  if ((stamp & 1) != 0 || !stamp_.compare_exchange_strong(stamp, stamp | 1, std::memory_order_acquire)) return table;
  // Orders the odd stamp before the new table for readers that acquire the table.
  table_.store(table, std::memory_order_release);
  stamp_.store(2 * generation, std::memory_order_release);
  return table;
}

Result<Object*> CreateObject(const Id& classId) {
  Record record;
  if (!FindRecord(RecordKind::CLASS, classId, record))
    return ZEMOX_ERROR(IllegalArgumentError, "@: Class @ is not registered.", classId);
  return CreateFrom(record);
}

Result<Object*> CreateObjectFromRegistry(const Id& registryId, const Id& classId) {
  Bool entered = false;
  {
    RegistryState& state = State();
    std::lock_guard lock(state.mutex);
    for (const Record& record : state.records)
      entered =
          entered || (record.kind == RecordKind::REGISTRYENTRY && record.id == classId && record.owner == registryId);
  }
  if (!entered)
    return ZEMOX_ERROR(IllegalArgumentError, "@: Class @ is not entered into registry @.", classId, registryId);
  return CreateObject(classId);
}

}  // namespace zemox
