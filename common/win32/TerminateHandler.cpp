// The handler std::terminate calls. GCC's runtime installs one that writes the type of the escaped
// exception to standard error, with a name demangler that is the largest single piece of the
// programs. These are window programs: standard error goes nowhere, so the demangled name would
// never be seen. This handler ends the program the same way, without it.
//
// Linked into each program directly (not through a library), so that the linker finds this
// definition before it looks in the C++ runtime's archive.

#include <cstdlib>
#include <exception>

#if defined(__GLIBCXX__)

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

#endif
