#include "TextFileWriter.h"

#include "RuntimeError.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace platform {

namespace {

// Large enough that a write costs one system call per several thousand result lines.
constexpr qsizetype kChunkBytes = 256 * 1024;

RuntimeError writeError(int savedErrno) {
    switch (savedErrno) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return RuntimeError(RuntimeError::DiskFull);
    case EACCES:
    case EPERM:
    case EROFS:
        return RuntimeError(RuntimeError::PermissionDenied);
    default:
        return RuntimeError(RuntimeError::DeviceIoError);
    }
}

RuntimeError createError(const QString& path, int savedErrno) {
    const QFileInfo target(path);
    if (!target.absoluteDir().exists())
        return RuntimeError(RuntimeError::PathNotFound);
    if (target.isDir())
        return RuntimeError(RuntimeError::PathFileAccessError);
    if (savedErrno == EACCES || savedErrno == EPERM || savedErrno == EROFS)
        return RuntimeError(RuntimeError::PermissionDenied);
    return RuntimeError(RuntimeError::PathFileAccessError);
}

} // namespace

TextFileWriter::TextFileWriter(const QString& path, Encoding encoding, LineEnd lineEnd, Replace replace)
    : m_file(path)
    // Stateless: a broken surrogate at the end of one line must not swallow the next line's start.
    , m_encoder(encoding == Encoding::Utf8 ? QStringConverter::Utf8 : QStringConverter::System,
                QStringConverter::Flag::Stateless)
    , m_lineEnd(lineEnd) {
    // A folder that refuses the temporary file may still hold a file the user may write: that one is
    // then written in place, as the only way to save it at all.
    m_file.setDirectWriteFallback(replace == Replace::InPlaceWhereNeeded);
    errno = 0;
    // Unbuffered: the chunk below is the only buffer, so each byte is copied once.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw createError(path, errno);
    m_buffer.resize(kChunkBytes);
}

// An uncommitted QSaveFile removes its temporary file when it goes.
TextFileWriter::~TextFileWriter() = default;

void TextFileWriter::writeLine(QStringView line) {
    if (m_failed || m_closed)
        return;
    const qsizetype needed = m_encoder.requiredSpace(line.size()) + 2;
    if (m_used + needed > m_buffer.size()) {
        flushBuffer();
        if (needed > m_buffer.size())
            m_buffer.resize(needed);
    }
    char* out = m_encoder.appendToBuffer(m_buffer.data() + m_used, line);
    // Every encoding the system locale can name on this platform is ASCII-compatible.
    if (m_lineEnd == LineEnd::CrLf)
        *out++ = '\r';
    *out++ = '\n';
    m_used = out - m_buffer.constData();
}

void TextFileWriter::close() {
    if (m_closed)
        return;
    if (m_failed) {
        // The failure was reported when it happened; the earlier file stays as it was.
        m_closed = true;
        m_file.commit(); // refuses after cancelWriting() and removes the temporary file
        return;
    }
    flushBuffer();
    errno = 0;
    if (!m_file.commit())
        fail(errno);
    m_closed = true;
}

void TextFileWriter::flushBuffer() {
    if (m_used == 0)
        return;
    errno = 0;
    const qint64 written = m_file.write(m_buffer.constData(), m_used);
    const int savedErrno = errno;
    const qsizetype expected = m_used;
    m_used = 0;
    if (written != expected)
        fail(savedErrno);
}

void TextFileWriter::fail(int savedErrno) {
    m_failed = true;
    m_file.cancelWriting();
    throw writeError(savedErrno);
}

} // namespace platform
