#include "TextFile.h"

#include "FileName.h"
#include "RuntimeError.h"

#include <QStringEncoder>

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

RuntimeError openError(int savedErrno) {
    switch (savedErrno) {
    case ENOENT:
    case ENOTDIR:
        // It went away after the caller's existence test.
        return RuntimeError(RuntimeError::FileNotFound);
    case EACCES:
    case EPERM:
        return RuntimeError(RuntimeError::PermissionDenied);
    case EMFILE:
    case ENFILE:
    case ENOMEM:
        return RuntimeError(RuntimeError::OutOfMemory);
    default:
        return RuntimeError(RuntimeError::PathFileAccessError);
    }
}

RuntimeError readError(int savedErrno) {
    if (savedErrno == EISDIR)
        return RuntimeError(RuntimeError::PathFileAccessError);
    if (savedErrno == ENOMEM)
        return RuntimeError(RuntimeError::OutOfMemory);
    return RuntimeError(RuntimeError::DeviceIoError);
}

// How much of the bytes is whole characters: a multi-byte character that starts within the last three
// bytes without being complete waits for the next chunk.
qsizetype completeLength(QByteArrayView whole) {
    for (qsizetype back = 1; back <= 3 && back <= whole.size(); ++back) {
        const auto byte = static_cast<std::uint8_t>(whole[whole.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? whole.size() - back : whole.size();
    }
    return whole.size();
}

} // namespace

TextFileReader::TextFileReader(const QString& path) {
    const QByteArray name = encodeFileName(path);
    if (name.isEmpty() || name.contains('\0'))
        throw RuntimeError(RuntimeError::BadFileNameOrNumber);
    // Non-blocking, so that opening a FIFO returns at once instead of waiting for a writer.
    do {
        m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        throw openError(errno);
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        throw RuntimeError(RuntimeError::PathFileAccessError);
    }
    m_size = info.st_size;
}

TextFileReader::~TextFileReader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArrayView TextFileReader::read(QByteArray& buffer) {
    ssize_t got = 0;
    do {
        got = ::read(m_fd, buffer.data(), static_cast<std::size_t>(buffer.size()));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        throw readError(errno);
    return QByteArrayView(buffer.constData(), static_cast<qsizetype>(got));
}

SystemTextDecoder::SystemTextDecoder()
    : m_decoder(QStringConverter::System,
                QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless) {}

QStringView SystemTextDecoder::decode(QByteArrayView bytes) {
    QByteArrayView whole = bytes;
    if (!m_carry.isEmpty()) {
        m_joined = m_carry;
        m_joined.append(bytes);
        whole = m_joined;
    }
    const qsizetype cut = completeLength(whole);
    const QStringView text = decodeWhole(whole.first(cut));
    m_carry = whole.sliced(cut).toByteArray();
    return text;
}

QStringView SystemTextDecoder::finish() {
    const QByteArray rest = std::exchange(m_carry, QByteArray());
    return decodeWhole(rest);
}

QStringView SystemTextDecoder::decodeWhole(QByteArrayView bytes) {
    const qsizetype needed = m_decoder.requiredSpace(bytes.size());
    if (m_buffer.size() < needed)
        m_buffer.resize(needed);
    const QChar* end = m_decoder.appendToBuffer(m_buffer.data(), bytes);
    return QStringView(m_buffer.constData(), end - m_buffer.constData());
}

QByteArrayView Utf8TextDecoder::decode(QByteArrayView bytes) {
    QByteArrayView whole = bytes;
    if (!m_carry.isEmpty()) {
        m_joined = std::exchange(m_carry, QByteArray());
        m_joined.append(bytes);
        whole = m_joined;
    }
    const qsizetype cut = completeLength(whole);
    m_carry = whole.sliced(cut).toByteArray();
    return normalise(whole.first(cut));
}

QByteArrayView Utf8TextDecoder::finish() {
    m_joined = std::exchange(m_carry, QByteArray());
    return normalise(m_joined);
}

QByteArrayView Utf8TextDecoder::normalise(QByteArrayView bytes) {
    if (bytes.isValidUtf8())
        return bytes;
    const QStringView text = m_decoder.decodeWhole(bytes);
    m_encoded.resize(text.size() * 3);
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    char* end = encoder.appendToBuffer(m_encoded.data(), text);
    return QByteArrayView(m_encoded.constData(), end - m_encoded.constData());
}

} // namespace platform
