#include "RuntimeError.h"

using namespace Qt::StringLiterals;

namespace platform {

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(m_description.toUtf8()) {}

RuntimeError::RuntimeError(Code code)
    : RuntimeError(code, standardDescription(code)) {}

QString RuntimeError::standardDescription(int number) {
    switch (number) {
    case Overflow:
        return u"Overflow"_s;
    case OutOfMemory:
        return u"Out of memory"_s;
    case SubscriptOutOfRange:
        return u"Subscript out of range"_s;
    case TypeMismatch:
        return u"Type mismatch"_s;
    case BadFileNameOrNumber:
        return u"Bad file name or number"_s;
    case FileNotFound:
        return u"File not found"_s;
    case FileAlreadyOpen:
        return u"File already open"_s;
    case DeviceIoError:
        return u"Device I/O error"_s;
    case DiskFull:
        return u"Disk full"_s;
    case PermissionDenied:
        return u"Permission denied"_s;
    case PathFileAccessError:
        return u"Path/File access error"_s;
    case PathNotFound:
        return u"Path not found"_s;
    case ObjectNotSet:
        return u"Object variable or With block variable not set"_s;
    case CannotCreateObject:
        return u"Can't create object"_s;
    case AutomationError:
        return u"Automation error"_s;
    case IndexOutOfBounds:
        return u"Index out of bounds"_s;
    case ApplicationDefined:
    default:
        return u"Application-defined or object-defined error"_s;
    }
}

} // namespace platform
