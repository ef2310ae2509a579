// The default host program: loads the geometry module as a real host would, then lists its records,
// runs its self-tests and runs one sample request per service.

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "demos.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

struct Options {
  const char* modulePath = ZEMOX_DEFAULT_MODULE;
  bool list = false;
  bool selfTest = false;
  bool demo = false;
  const char* svgDirectory = nullptr;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--list") == 0) {
      options.list = true;
    } else if (std::strcmp(argv[i], "--selftest") == 0) {
      options.selfTest = true;
    } else if (std::strcmp(argv[i], "--demo") == 0) {
      options.demo = true;
    } else if (std::strcmp(argv[i], "--svg") == 0 && i + 1 < argc) {
      options.svgDirectory = argv[++i];
    } else if (std::strcmp(argv[i], "--module") == 0 && i + 1 < argc) {
      options.modulePath = argv[++i];
    } else {
      std::fprintf(stderr, "usage: zemox-host [--list] [--selftest] [--demo [--svg DIR]] [--module PATH]\n");
      return false;
    }
  }
  if (!options.list && !options.selfTest && !options.demo) options.list = options.selfTest = options.demo = true;
  return true;
}

Int SlotCount(const Record& record) {
  return record.interfaceInfo == nullptr ? 0 : record.interfaceInfo->slots.GetCount();
}

void ListRecords() {
  EnumerateRecords(
      [](const Record& record, void*) {
        std::printf("%s\t%s", RecordKindName(record.kind), record.id.Text());
        if (record.kind == RecordKind::INTERFACE) std::printf("\t%lld", static_cast<long long>(SlotCount(record)));
        if (record.name[0] != '\0') std::printf("\t%s", record.name);
        std::printf("\n");
        return true;
      },
      nullptr);
}

void PrintSelfTestOutcome(const Record& test, const Result<void>& outcome, void* passed) {
  if (outcome) {
    ++*static_cast<Int*>(passed);
    std::printf("selftest %s: passed\n", test.id.Text());
    return;
  }
  const Error& error = outcome.GetError();
  std::printf("selftest %s: FAILED: %s (%.*s) at %s:%d\n", test.id.Text(), error.Class().Text(),
              static_cast<int>(error.Message().size()), error.Message().data(), error.File(), error.Line());
}

bool RunAllSelfTests() {
  Int passed = 0;
  const Result<Int> failed = RunSelfTests(PrintSelfTestOutcome, &passed);
  if (!failed) {
    std::printf("self-tests could not run: %s\n", failed.GetError().Class().Text());
    return false;
  }
  std::printf("self-tests: %lld passed, %lld failed\n", static_cast<long long>(passed),
              static_cast<long long>(failed.Value()));
  return failed.Value() == 0;
}

}  // namespace
}  // namespace zemox

int main(int argc, char** argv) {
  zemox::Options options;
  if (!zemox::ParseOptions(argc, argv, options)) return 2;

  void* module = dlopen(options.modulePath, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "zemox-host: cannot load %s: %s\n", options.modulePath, dlerror());
    return 1;
  }
  if (zemox::RefusedRegistrationCount() != 0)
    std::fprintf(stderr, "zemox-host: %lld records were refused\n",
                 static_cast<long long>(zemox::RefusedRegistrationCount()));

  bool ok = zemox::RefusedRegistrationCount() == 0;
  if (options.list) zemox::ListRecords();
  if (options.selfTest) ok = zemox::RunAllSelfTests() && ok;
  if (options.demo) ok = zemox::RunDemos({stdout, options.svgDirectory}) && ok;
  dlclose(module);
  return ok ? 0 : 1;
}
