#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "private_geom/redblacktree.h"
#include "unittests/redblacktreevalidator.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

// The self-tests the module enters into the unit-test registry.
std::vector<Record> RegisteredSelfTests() {
  std::vector<Record> selfTests;
  EnumerateRecords(
      [](const Record& record, void* context) {
        if (record.kind == RecordKind::SELFTEST) static_cast<std::vector<Record>*>(context)->push_back(record);
        return true;
      },
      &selfTests);
  return selfTests;
}

TEST(RedBlackTreeSelfTest, RegisteredSelfTestsPass) {
  std::vector<std::string> ids;
  for (const Record& record : RegisteredSelfTests()) {
    const std::string id(record.id.View());
    if (id != "net.zemox.unittest.redblacktree" && id != "net.zemox.unittest.sortedset") continue;
    ids.push_back(id);
    EXPECT_EQ(record.owner, UnitTestRegistry) << id;
    const Result<void> result = record.selfTest();
    EXPECT_TRUE(result.IsOk()) << id << ": " << result.GetError().Message();
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"net.zemox.unittest.redblacktree", "net.zemox.unittest.sortedset"}));
}

}  // namespace
}  // namespace zemox
