#pragma once
// How a path the user gives becomes the file that is opened, and the path a
// document shows.
#include <string>

namespace octile {

// The path to open for the user's path: itself when absolute, else the
// working directory + "/" + path. Nothing is folded: "..", "." and symbolic
// links are left for the kernel to resolve, so the file opened is the one
// the path names. Empty when the path is relative and the working directory
// cannot be determined (it would otherwise be resolved against "/").
std::string AbsolutePath(const std::string& path);

// An absolute, lexically normalised form of a path (no symbolic links are
// resolved), as a document shows it in its title and keys its marks by; the
// path as given when AbsolutePath is empty.
std::string FullPath(const std::string& path);

// The path the kernel holds for an open descriptor (symbolic links resolved);
// empty when it cannot be told.
std::string ResolvedPath(int fd);

// True when path names the file open on fd by any name (itself, a symbolic
// link to it, a hard link): the same device and inode.
bool IsSameFile(int fd, const std::string& path);

}  // namespace octile
