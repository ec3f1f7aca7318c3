#pragma once

// One installer of the install sequence: started from the distribution folder and waited for, its
// exit code read, and the user told when it did not do its work.

#include "Platform.h"

namespace setup {

class Module1;

enum class InstallerResult { kNotDone, kDone, kDoneRestartNeeded, kDoneRestarting };

// Runs the installer of that file name through Module1::RunAndWait and says whether it did its
// work. When it did not, the user has been told why, with the installer's path and what to do.
// isRuntime: the runtime redistributable, whose "a newer runtime is installed" counts as done.
InstallerResult RunInstaller(Module1& module, velmor::Platform& platform, const wchar_t* fileName,
                             bool isRuntime);

}  // namespace setup
