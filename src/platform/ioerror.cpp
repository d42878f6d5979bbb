#include "platform/ioerror.h"

#include <cerrno>
#include <utility>

IoError::IoError(int code, int hostError, std::string path, ErrorKind kind)
    : ZorvantaError(IoErrorText(code), kind), code_(code), hostError_(hostError), path_(std::move(path))
{
}

IoError IoError::FromErrno(int error, std::string path)
{
    return IoError(IoCodeForErrno(error), error, std::move(path));
}

std::string IoErrorText(int code)
{
    switch (code) {
    case iocode::kFileNotFound: return "Datei nicht gefunden";
    case iocode::kInvalidFileName: return "Ungültiger Dateiname";
    case iocode::kTooManyOpenFiles: return "Zu viele Dateien geöffnet";
    case iocode::kAccessDenied: return "Dateizugriff verweigert";
    case iocode::kReadBeyondEnd: return "Lesen nach Dateiende (EOF)";
    case iocode::kDiskFull: return "Kapazität der Diskette/Festplatte erschöpft";
    case iocode::kInvalidNumericInput: return "Ungültige numerische Eingabe";
    default: return "I/O-Fehler " + std::to_string(code);
    }
}

int IoCodeForErrno(int error)
{
    switch (error) {
    case ENOENT: return iocode::kFileNotFound;
    case ENAMETOOLONG:
    case EINVAL: return iocode::kInvalidFileName;
    case EMFILE:
    case ENFILE: return iocode::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS: return iocode::kAccessDenied;
    case ENOSPC:
    case EDQUOT: return iocode::kDiskFull;
    default: return iocode::kHostErrorBase + error;  // never one of the fixed codes above
    }
}
