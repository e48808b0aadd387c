#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

namespace platform {

// Sequential text input in chunks, so that a file far larger than the text kept from it never sits in
// memory whole. Only regular files are read: a folder, a pipe or a device is refused before any byte
// is read, so a FIFO without a writer cannot hang the program.
class TextFileReader {
public:
    // Raises RuntimeError when the path names no regular file or cannot be opened.
    explicit TextFileReader(const QString& path);
    ~TextFileReader();
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    // Fills the front of buffer with the next bytes and returns them; empty at the end of the file.
    // Raises RuntimeError when the read fails.
    QByteArrayView read(QByteArray& buffer);
    // The file's size when it was opened.
    qint64 size() const { return m_size; }

private:
    int m_fd = -1;
    qint64 m_size = 0;
};

// Decodes the system's encoding (UTF-8 on Linux) chunk by chunk, as if the whole text were decoded at
// once: a character split between two chunks comes out whole. Bytes that do not decode become U+FFFD
// instead of failing, and a byte-order mark is kept as a character like any other.
class SystemTextDecoder {
public:
    SystemTextDecoder();
    // The characters the bytes complete; valid until the next call.
    QStringView decode(QByteArrayView bytes);
    // What an incomplete character at the very end stands for.
    QStringView finish();
    // Bytes taken as they are, nothing kept back for the next chunk.
    QStringView decodeWhole(QByteArrayView bytes);

private:
    // Each piece is decoded on its own, from the first byte of a character to the last byte of one:
    // the decoder's own state across calls drops the byte after an incomplete character.
    QStringDecoder m_decoder;
    QByteArray m_carry; // the start of a character that the next chunk completes
    QByteArray m_joined;
    QString m_buffer;
};

// The same text as SystemTextDecoder gives, in UTF-8 instead of UTF-16: half the memory for Latin
// text. Valid UTF-8 passes through uncopied; a chunk with bytes that do not decode goes through the
// decoder and back, so their U+FFFD are the same.
class Utf8TextDecoder {
public:
    // The bytes of the characters this chunk completes; valid until the next call.
    QByteArrayView decode(QByteArrayView bytes);
    QByteArrayView finish();

private:
    QByteArrayView normalise(QByteArrayView bytes);

    SystemTextDecoder m_decoder;
    QByteArray m_carry;
    QByteArray m_joined;
    QByteArray m_encoded;
};

} // namespace platform
