// The one table from errno values to file error causes.
#include <cerrno>

#include "base/file_exception.h"

namespace varrow {

int FileErrorCauseOf(long osError) {
    switch (osError) {
        case 0: return CFileException::none;
        case ENOENT:
        case EBADF: return CFileException::fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EXDEV:
        case ENXIO:
        case ENODEV: return CFileException::badPath;
        case EMFILE:
        case ENFILE: return CFileException::tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EEXIST:
        case EISDIR:
        case ETXTBSY: return CFileException::accessDenied;
        case ENOEXEC:
        case ENOTBLK: return CFileException::invalidFile;
        case ENOTEMPTY: return CFileException::removeCurrentDir;
        case EMLINK: return CFileException::directoryFull;
        case ESPIPE:
        case EOVERFLOW: return CFileException::badSeek;
        case EIO:
        case ENOMEDIUM:
        case EMEDIUMTYPE:
        case ECANCELED:
        case ETIMEDOUT: return CFileException::hardIO;
        case EBUSY:
        case EWOULDBLOCK: return CFileException::sharingViolation;
        case ENOLCK:
        case EDEADLK: return CFileException::lockViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return CFileException::diskFull;
        default: return CFileException::generic;
    }
}

}  // namespace varrow
