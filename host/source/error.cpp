#include "zemox/error.h"

#include <cstdio>
#include <cstdlib>

#include "zemox/datatype.h"

namespace zemox {

// Message text shared between copies of an error. It is taken from the C heap rather than the host
// allocator so that reporting an error never consumes an injected allocation failure; when even that
// fails the error simply carries no message.
struct Error::SharedText {
  std::atomic<Int> references;
  Int length;
  char text[1];
};

Error::Error(const Id& errorClass, const char* file, Int32 line, std::string_view message)
    : class_(errorClass), file_(file), line_(line) {
  if (message.empty()) return;
  auto* shared = static_cast<SharedText*>(std::malloc(sizeof(SharedText) + message.size()));
  if (shared == nullptr) return;
  new (&shared->references) std::atomic<Int>(1);
  shared->length = static_cast<Int>(message.size());
  std::memcpy(shared->text, message.data(), message.size());
  shared->text[message.size()] = '\0';
  message_ = shared;
}

Error::Error(const Error& other)
    : class_(other.class_), file_(other.file_), line_(other.line_), message_(other.message_) {
  if (message_ != nullptr) message_->references.fetch_add(1, std::memory_order_relaxed);
}

Error::Error(Error&& other) noexcept
    : class_(other.class_), file_(other.file_), line_(other.line_), message_(std::exchange(other.message_, nullptr)) {}

Error& Error::operator=(Error other) noexcept {
  class_ = other.class_;
  file_ = other.file_;
  line_ = other.line_;
  std::swap(message_, other.message_);
  return *this;
}

Error::~Error() {
  if (message_ != nullptr && message_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) std::free(message_);
}

std::string_view Error::Message() const {
  if (message_ == nullptr) return {};
  return {message_->text, static_cast<size_t>(message_->length)};
}

namespace {
std::atomic<Int> criticalStops{0};
}  // namespace

void ReportCriticalStop(const char* text, const char* file, Int32 line) {
  criticalStops.fetch_add(1, std::memory_order_relaxed);
  std::fprintf(stderr, "critical stop: %s (%s:%d)\n", text, file, static_cast<int>(line));
}

Int CriticalStopCount() { return criticalStops.load(std::memory_order_relaxed); }

}  // namespace zemox
