#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "zemox/types.h"

namespace zemox {

// One instance of the public nesting data: its pieces (counter-clockwise, in file order) with their
// allowed orientations in degrees, and the strip height. Empty when the file is missing.
struct NestingInstance {
  std::vector<std::vector<Vector2d>> pieces;
  std::vector<std::vector<Float>> orientations;
  Float stripHeight = 0.0;
};

// The numbers of the JSON array that follows `key` at or after `cursor`, nested arrays flattened;
// the cursor moves past the array. Empty when the key does not occur again.
inline std::vector<Float> NextJsonArray(const std::string& text, const std::string& key, size_t& cursor) {
  std::vector<Float> numbers;
  cursor = text.find("\"" + key + "\"", cursor);
  if (cursor == std::string::npos) return numbers;
  cursor = text.find('[', cursor);
  for (int depth = 0; cursor < text.size(); ++cursor) {
    const char c = text[cursor];
    if (c == '[') ++depth;
    if (c == ']' && --depth == 0) break;
    if (c == '-' || (c >= '0' && c <= '9')) {
      char* end = nullptr;
      numbers.push_back(std::strtod(text.c_str() + cursor, &end));
      cursor = end - text.c_str() - 1;
    }
  }
  return numbers;
}

inline NestingInstance ReadNestingInstance(const std::filesystem::path& file) {
  std::ifstream stream(file);
  const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  NestingInstance instance;
  size_t dataCursor = 0, orientationCursor = 0;
  for (;;) {
    const std::vector<Float> coordinates = NextJsonArray(text, "Data", dataCursor);
    if (coordinates.empty()) break;
    std::vector<Vector2d>& piece = instance.pieces.emplace_back();
    for (size_t i = 0; i + 1 < coordinates.size(); i += 2) piece.push_back({coordinates[i], coordinates[i + 1]});
    instance.orientations.push_back(NextJsonArray(text, "AllowedOrientations", orientationCursor));
  }
  if (const size_t heightAt = text.find("\"Height\""); heightAt != std::string::npos)
    instance.stripHeight = std::strtod(text.c_str() + text.find(':', heightAt) + 1, nullptr);
  return instance;
}

}  // namespace zemox
