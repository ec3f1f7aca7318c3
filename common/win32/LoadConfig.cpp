// The image's load-configuration directory. Its DependentLoadFlags tell the loader where to look
// for the DLLs this program imports: the system folder only, so that no DLL left in a download
// folder is loaded in place of a system one. Linked into each program directly (not through a
// library): the linker looks the directory up by name and nothing else refers to it.
//
// MSVC's runtime brings its own directory and sets the flags with /DEPENDENTLOADFLAG; MinGW-w64's
// brings none, so the MinGW-w64 build defines it here. Its headers still call the field Reserved1.

#if defined(__MINGW32__)

#include <windows.h>

extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = {
    .Size = sizeof(IMAGE_LOAD_CONFIG_DIRECTORY),
    .Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32,
};

#endif
