#pragma once

// The file probes behind Platform::FileExists, DeleteFileForced, FileInUse and LinksOnPath, tested
// on real files under Wine (tests/win32).

#include <string>
#include <vector>

#include "Platform.h"

namespace velmor {

// True when path names an existing file; a folder of that name is not a file. Never throws.
bool NativeFileExists(const std::wstring& path);

// Deletes the file at path, also when it is read-only, through one opening of it that does not
// follow a link at its name. Throws RuntimeError, naming the path and the reason, when the file
// does not exist, is a folder, cannot be deleted, or is not a plain file in the folder that path
// names: a link, a name that leads elsewhere (the file's final place is not in that folder's), or a
// file with more names. Nothing is changed then.
void NativeDeleteFile(const std::wstring& path);

// True when another program has the file open, so that it cannot be deleted now. The file is
// opened for deletion sharing nothing, which fails while any other handle to it is open, and is let
// go at once: nothing about it changes, and a read-only file is no obstacle. Throws RuntimeError,
// naming the path, when the file cannot be opened for any other reason, and throws what
// NativeDeleteFile would for a file that is not a plain file at that path.
bool NativeFileInUse(const std::wstring& path);

// The links on the way to a full path (Platform::LinksOnPath), each with its owner. A link's own
// reparse data tells where it leads; where it cannot be read (Wine), the place it resolves to does.
// Throws RuntimeError past 63 links on one way.
std::vector<PathLink> NativeLinksOnPath(const std::wstring& path);

}  // namespace velmor
