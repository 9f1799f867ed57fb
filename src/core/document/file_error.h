#pragma once
#include <string>

#include "io/file_handle.h"

namespace octile {

// The message for a failed open, with the path in place of "%1".
std::u16string OpenErrorMessage(OpenError error, const std::string& path);

}  // namespace octile
