#pragma once

#include <QString>

#include <exception>

namespace platform {

// The one exception type for run-time errors. A trapped procedure catches it (and std::bad_alloc)
// at the numbered statement that raised it, reports it and resumes; see core/Trap.h.
class RuntimeError : public std::exception {
public:
    enum Code : int {
        Overflow = 6,
        OutOfMemory = 7,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        BadFileNameOrNumber = 52,
        FileNotFound = 53,
        FileAlreadyOpen = 55,
        DeviceIoError = 57,
        DiskFull = 61,
        PermissionDenied = 70,
        PathFileAccessError = 75,
        PathNotFound = 76,
        ObjectNotSet = 91,
        CannotCreateObject = 429,
        AutomationError = 440,
        ApplicationDefined = 1004,
        IndexOutOfBounds = 35600,
    };

    RuntimeError(int number, QString description);
    explicit RuntimeError(Code code); // the standard description of a known code

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

    static QString standardDescription(int number);

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace platform
