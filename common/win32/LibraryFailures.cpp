// The functions through which GCC's C++ library reports its own failures (a container grown past
// its limit, an index out of range, memory exhausted). The library's versions construct the
// standard exception classes from a copy-on-write string of the old ABI, and with them bring
// roughly 30 KB of string code that nothing else in the programs uses. These throw exceptions that
// carry the library's message as it is; the error border reports them like any other internal
// error.
//
// Linked into each program directly (not through a library), so that the linker finds these
// definitions before it looks in the C++ runtime's archive. The set is exactly the one the
// runtime's own file defines, so that the runtime's file is never needed.

#include <exception>
#include <new>

#if defined(__GLIBCXX__)

namespace {

class LibraryFailure final : public std::exception {
 public:
  explicit LibraryFailure(const char* what) noexcept : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;  // the library's messages are string literals
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw LibraryFailure("bad cast"); }
void __throw_bad_typeid() { throw LibraryFailure("bad typeid"); }
void __throw_logic_error(const char* what) { throw LibraryFailure(what); }
void __throw_domain_error(const char* what) { throw LibraryFailure(what); }
void __throw_invalid_argument(const char* what) { throw LibraryFailure(what); }
void __throw_length_error(const char* what) { throw LibraryFailure(what); }
void __throw_out_of_range(const char* what) { throw LibraryFailure(what); }
// The message is a printf format; it is reported unformatted.
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryFailure(format); }
void __throw_runtime_error(const char* what) { throw LibraryFailure(what); }
void __throw_range_error(const char* what) { throw LibraryFailure(what); }
void __throw_overflow_error(const char* what) { throw LibraryFailure(what); }
void __throw_underflow_error(const char* what) { throw LibraryFailure(what); }

}  // namespace std

#endif
