// Helpers shared by the geometry utility tests.

#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "geometryutils_impl.h"

namespace zemox::geometryutilstest {

using G = GeometryUtilsImpl;
using Loop = std::vector<Vector2d>;
using Points3 = std::vector<Vector>;

// A view of the vector; a temporary vector keeps it valid until the end of the full expression.
template <typename T>
Block<const T> View(const std::vector<T>& values) {
  return {values.data(), static_cast<Int>(values.size())};
}

template <typename T>
std::vector<T> Reversed(std::vector<T> values) {
  std::reverse(values.begin(), values.end());
  return values;
}

// The call failed with an error of `errorClass` that carries `message`.
template <typename T>
void ExpectError(const Result<T>& result, const Id& errorClass, std::string_view message) {
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.GetError().Is(errorClass));
  EXPECT_EQ(result.GetError().Message(), message);
}

inline void ExpectNear(const Vector& actual, const Vector& expected, Float tolerance) {
  EXPECT_NEAR(Length(actual - expected), 0.0, tolerance) << actual.x << ", " << actual.y << ", " << actual.z;
}

}  // namespace zemox::geometryutilstest
