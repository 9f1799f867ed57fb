#include "document/file_error.h"

#include "resources/resources.h"
#include "util/utf.h"

namespace octile {

std::u16string OpenErrorMessage(OpenError error, const std::string& path) {
    uint32_t id = AFX_IDP_FAILED_TO_OPEN_DOC;
    switch (error) {
        case OpenError::NotFound:
            id = AFX_IDP_FILE_NOT_FOUND;
            break;
        case OpenError::AccessDenied:
            id = AFX_IDP_FILE_ACCESS_DENIED;
            break;
        case OpenError::BadPath:
            id = AFX_IDP_FILE_BAD_PATH;
            break;
        case OpenError::TooManyOpen:
            id = AFX_IDP_FILE_TOO_MANY_OPEN;
            break;
        case OpenError::Sharing:
            id = AFX_IDP_FILE_SHARING;
            break;
        case OpenError::DiskFull:
            id = AFX_IDP_FILE_DISKFULL;
            break;
        case OpenError::Unknown:
            id = AFX_IDP_FILE_GENERIC;
            break;
        case OpenError::None:
            break;
    }
    return ReplacePercent1(LoadString(id), Utf8ToUtf16(path));
}

}  // namespace octile
