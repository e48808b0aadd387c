#pragma once

#include <QSaveFile>
#include <QString>

#include <memory>
#include <span>

namespace cli {

// Where the rolled lines go: standard output or a file that appears only once it is complete.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all the bytes. False when the reader has gone (a closed pipe): nothing more can be
    // delivered and that is no failure. Raises RuntimeError when the write fails otherwise.
    virtual bool write(std::span<const char> bytes) = 0;
    // Completes the output. Raises RuntimeError when that fails.
    virtual void finish() {}
};

// An open file descriptor, written with write(2). SIGPIPE must be ignored for a closed pipe to
// come back as EPIPE instead of ending the process.
class DescriptorSink final : public ByteSink {
public:
    explicit DescriptorSink(int fd)
        : m_fd(fd) {}
    bool write(std::span<const char> bytes) override;

private:
    int m_fd;
};

// A file written to a temporary beside it and renamed over it by finish(): an earlier file is
// replaced only by a complete one, and a failed run leaves it as it was.
class AtomicFileSink final : public ByteSink {
public:
    // Raises RuntimeError when the file cannot be created.
    explicit AtomicFileSink(const QString& path);
    bool write(std::span<const char> bytes) override;
    void finish() override;

private:
    QSaveFile m_file;
};

} // namespace cli
