// The functions through which GCC's C++ library reports its own failures (a container grown past
// its limit, an index out of range, memory exhausted). The library's versions construct the
// standard exception classes from a copy-on-write string of the old ABI, and with them bring
// roughly 30 KB of string code that nothing else in the programs uses. These throw an
// InternalFailure that carries the kind of failure and the library's message as it is; the error
// border reports it with a run-time error number of its kind, with the message for support.
//
// Linked into each program directly (not through a library), so that the linker finds these
// definitions before it looks in the C++ runtime's archive. The set is exactly the one the
// runtime's own file defines, so that the runtime's file is never needed.

#include <new>

#include "InternalFailure.h"

#if defined(__GLIBCXX__)

namespace {

using velmor::InternalFailureKind;

[[noreturn]] void Fail(InternalFailureKind kind, const char* what) {
  throw velmor::InternalFailure(kind, what);
}

}  // namespace

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { Fail(InternalFailureKind::kOther, "bad cast"); }
void __throw_bad_typeid() { Fail(InternalFailureKind::kOther, "bad typeid"); }
void __throw_logic_error(const char* what) { Fail(InternalFailureKind::kOther, what); }
void __throw_domain_error(const char* what) { Fail(InternalFailureKind::kOther, what); }
void __throw_invalid_argument(const char* what) { Fail(InternalFailureKind::kOther, what); }
void __throw_length_error(const char* what) { Fail(InternalFailureKind::kTooLarge, what); }
void __throw_out_of_range(const char* what) { Fail(InternalFailureKind::kOutOfRange, what); }
// The message is a printf format; it is reported unformatted.
void __throw_out_of_range_fmt(const char* format, ...) {
  Fail(InternalFailureKind::kOutOfRange, format);
}
void __throw_runtime_error(const char* what) { Fail(InternalFailureKind::kOther, what); }
void __throw_range_error(const char* what) { Fail(InternalFailureKind::kOther, what); }
void __throw_overflow_error(const char* what) { Fail(InternalFailureKind::kTooLarge, what); }
void __throw_underflow_error(const char* what) { Fail(InternalFailureKind::kOther, what); }

}  // namespace std

#endif
