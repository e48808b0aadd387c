#pragma once

#include <QByteArray>
#include <QString>

#include <span>

namespace cli {

// Where the rolled lines go: standard output or the file named by -o.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all the bytes. False when the reader has gone (a closed pipe): nothing more can be
    // delivered and that is no failure. Raises RuntimeError when the write fails otherwise.
    virtual bool write(std::span<const char> bytes) = 0;
    // Completes the output. Raises RuntimeError when that fails.
    virtual void finish() {}
    // True when a person reads the bytes as they arrive, so that control characters would act.
    virtual bool isTerminal() const { return false; }
};

// An open file descriptor, written with write(2). SIGPIPE must be ignored for a closed pipe to
// come back as EPIPE instead of ending the process.
class DescriptorSink final : public ByteSink {
public:
    explicit DescriptorSink(int fd)
        : m_fd(fd) {}
    bool write(std::span<const char> bytes) override;
    bool isTerminal() const override;

private:
    int m_fd;
};

// The file named by -o. A regular file, or a name not yet taken, is written to a temporary file beside
// it that finish() renames over it: an earlier file is replaced only by a complete one, and a failed run
// leaves it as it was. Anything else found there (a terminal, a pipe, a device) is written as it is and
// never replaced. A name of one of this process's own descriptors (/dev/stdout, /dev/fd/N, or a link to
// one) writes to that descriptor as it is open already, appending where it appends.
class OutputFileSink final : public ByteSink {
public:
    // Raises RuntimeError when the file cannot be opened or created.
    explicit OutputFileSink(const QString& name);
    ~OutputFileSink() override;
    OutputFileSink(const OutputFileSink&) = delete;
    OutputFileSink& operator=(const OutputFileSink&) = delete;

    bool write(std::span<const char> bytes) override;
    void finish() override;
    bool isTerminal() const override;

private:
    int m_fd = -1;
    bool m_ownsDescriptor = false;
    QByteArray m_target;    // the regular file renamed over; empty when written in place
    QByteArray m_temporary; // until it is renamed
};

} // namespace cli
