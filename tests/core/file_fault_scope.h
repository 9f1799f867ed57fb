#pragma once
// Installs FileFaults for one test scope: every FileHandle read or write
// stops after its budget as a failing disk would.
#include "io/file_handle.h"

namespace octile::test {

class FileFaultScope {
  public:
    FileFaultScope() { SetFileFaults(&faults); }
    ~FileFaultScope() { SetFileFaults(nullptr); }
    FileFaultScope(const FileFaultScope&) = delete;
    FileFaultScope& operator=(const FileFaultScope&) = delete;

    FileFaults faults;
};

}  // namespace octile::test
