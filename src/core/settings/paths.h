#pragma once
// Where the program and the user's settings live.
#include <string>

namespace octile {

// The directory of the running executable, ending in "/".
std::string GetProgramFolder();

// The per-user settings file ".../Zenkobo/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini" under
// $XDG_CONFIG_HOME (default ~/.config). Empty when no usable home exists.
std::string GetProfileStorePath();

// The per-user data folder ".../Octile/" under $XDG_DATA_HOME (default
// ~/.local/share), ending in "/". Empty when no usable home exists.
std::string GetPerUserFolder();

// Base folder from an XDG variable, or home + fallback. An unset, empty,
// relative or over-long variable is passed over; an unusable $HOME falls
// back to the password database; with neither the result is empty.
std::string XdgBaseFolder(const char* variable, const char* homeRelativeDefault);

// The folder part of a path (no trailing "/"), empty for a bare name.
std::string ParentFolder(const std::string& path);
// True when path names an existing regular file (or a folder), following
// symbolic links.
bool IsExistingFile(const std::string& path);
bool IsExistingFolder(const std::string& path);
// Creates the folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& folder);

}  // namespace octile
