// A module whose only record is a self-test that fails: zemox-host --selftest must exit non-zero.

#include "zemox/registry.h"

namespace zemox {
namespace {

Result<void> AlwaysFails() { return ZEMOX_ERROR(IllegalStateError, "@: this self-test fails on purpose"); }

const Registration failingSelfTest({.kind = RecordKind::SELFTEST,
                                    .id = "net.zemox.unittest.failsonpurpose",
                                    .owner = UnitTestRegistry,
                                    .selfTest = AlwaysFails});

}  // namespace
}  // namespace zemox
