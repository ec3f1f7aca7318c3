// The entry point of the Win32 test programs: an apartment-threaded COM for the thread, as the
// programs have, then every test.

#include <gtest/gtest.h>

#include "ComOwners.h"

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  const velmor::win32::ComApartment com;
  if (FAILED(com.Result())) return 2;
  return RUN_ALL_TESTS();
}
