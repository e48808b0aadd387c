#include "TextFile.h"

#include "RuntimeError.h"

#include <QFile>
#include <QStringDecoder>

namespace platform {

namespace {

RuntimeError fileError(QFileDevice::FileError error) {
    switch (error) {
    case QFileDevice::PermissionsError:
        return RuntimeError(RuntimeError::PermissionDenied);
    case QFileDevice::ReadError:
        return RuntimeError(RuntimeError::DeviceIoError);
    case QFileDevice::ResourceError:
        return RuntimeError(RuntimeError::OutOfMemory);
    default:
        return RuntimeError(RuntimeError::PathFileAccessError);
    }
}

} // namespace

QByteArray readFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(file.error());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw fileError(file.error());
    return bytes;
}

QString decodeSystemText(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

} // namespace platform
