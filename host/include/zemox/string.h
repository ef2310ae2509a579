#pragma once

#include <string_view>

#include "zemox/basearray.h"
#include "zemox/format.h"

namespace zemox {

// Text in host memory. Appending reports out-of-memory instead of throwing.
class String {
 public:
  std::string_view View() const { return {characters_.GetFirst(), static_cast<size_t>(characters_.GetCount())}; }
  Int GetLength() const { return characters_.GetCount(); }
  void Reset() { characters_.Reset(); }

  Result<void> Append(std::string_view text) {
    return characters_.Append(Block<const char>(text.data(), static_cast<Int>(text.size())));
  }

  // Appends the format with each "@" replaced by the next argument's text.
  template <typename... Args>
  Result<void> AppendFormat(std::string_view format, const Args&... args) {
    Sink sink{this, OK()};
    FormatInto(sink, format, args...);
    return sink.result;
  }

  friend bool operator==(const String& a, std::string_view b) { return a.View() == b; }

 private:
  // Adapts String to the sink that FormatInto writes to, keeping the first failure.
  struct Sink {
    String* target;
    Result<void> result;
    void Append(std::string_view text) {
      if (result.IsOk()) result = target->Append(text);
    }
  };

  BaseArray<char> characters_;
};

template <typename... Args>
Result<String> FormatString(std::string_view format, const Args&... args) {
  String text;
  ZEMOX_RETURN_IF_FAILED(text.AppendFormat(format, args...));
  return text;
}

}  // namespace zemox
