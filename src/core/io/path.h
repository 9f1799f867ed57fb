#pragma once
// How a path the user gives becomes the path a document records.
#include <string>

namespace octile {

// An absolute, lexically normalised form of a path (no symbolic links are
// resolved), as a document records it.
std::string FullPath(const std::string& path);

}  // namespace octile
