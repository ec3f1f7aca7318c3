#pragma once

// A failure from inside the programs rather than from the system or Excel: the C++ library's own
// (a container grown past its limit, an index out of range). The programs define the functions
// through which the library reports these (win32/LibraryFailures.cpp) and throw this type from
// them, so that the run-time error report can give the failure a number and words of its kind.

#include <exception>

namespace velmor {

// What went wrong, as far as the report tells failures apart.
enum class InternalFailureKind {
  kTooLarge,    // a string or container would grow past its limit, or a value past its type's
  kOutOfRange,  // a position outside a string or container
  kOther,
};

class InternalFailure final : public std::exception {
 public:
  // what: the library's message, a string literal.
  InternalFailure(InternalFailureKind kind, const char* what) noexcept : kind_(kind), what_(what) {}

  InternalFailureKind Kind() const noexcept { return kind_; }
  const char* what() const noexcept override { return what_; }

 private:
  InternalFailureKind kind_;
  const char* what_;
};

}  // namespace velmor
