#pragma once

#include <charconv>
#include <concepts>
#include <cstring>
#include <string_view>

#include "zemox/id.h"

namespace zemox {

// Text of bounded length that never allocates; what does not fit is cut off. Used for error
// messages, which must be creatable even when memory is exhausted.
template <Int Capacity>
class FixedText {
 public:
  void Append(std::string_view text) {
    const Int room = Capacity - 1 - length_;
    const Int take = static_cast<Int>(text.size()) < room ? static_cast<Int>(text.size()) : room;
    std::memcpy(buffer_ + length_, text.data(), static_cast<size_t>(take));
    length_ += take;
    buffer_[length_] = '\0';
  }
  std::string_view View() const { return {buffer_, static_cast<size_t>(length_)}; }

 private:
  char buffer_[Capacity] = {};
  Int length_ = 0;
};

// Appends the text form of one "@" argument: integers in decimal, floats in their shortest exact
// form, booleans as true/false, strings and identifiers as they are.
template <typename Sink>
void AppendArgument(Sink& sink, std::string_view text) {
  sink.Append(text);
}
template <typename Sink>
void AppendArgument(Sink& sink, const char* text) {
  sink.Append(text == nullptr ? std::string_view("nullptr") : std::string_view(text));
}
template <typename Sink>
void AppendArgument(Sink& sink, const Id& id) {
  sink.Append(id.View());
}
template <typename Sink>
void AppendArgument(Sink& sink, Bool value) {
  sink.Append(value ? "true" : "false");
}
template <typename Sink, std::integral T>
requires(!std::same_as<T, Bool>) void AppendArgument(Sink& sink, T value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof(digits), value).ptr;
  sink.Append(std::string_view(digits, static_cast<size_t>(end - digits)));
}
template <typename Sink, std::floating_point T>
void AppendArgument(Sink& sink, T value) {
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof(digits), value).ptr;
  sink.Append(std::string_view(digits, static_cast<size_t>(end - digits)));
}

template <typename Sink>
void FormatInto(Sink& sink, std::string_view format) {
  sink.Append(format);
}

// Replaces each "@" of the format by the text of the next argument, in order; placeholders without
// an argument stay as they are.
template <typename Sink, typename First, typename... Rest>
void FormatInto(Sink& sink, std::string_view format, const First& first, const Rest&... rest) {
  const size_t at = format.find('@');
  if (at == std::string_view::npos) {
    sink.Append(format);
    return;
  }
  sink.Append(format.substr(0, at));
  AppendArgument(sink, first);
  FormatInto(sink, format.substr(at + 1), rest...);
}

}  // namespace zemox
