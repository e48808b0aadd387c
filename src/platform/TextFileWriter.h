#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QStringEncoder>
#include <QStringView>

namespace platform {

// Writes a text file line by line in the system's locale encoding (or UTF-8), every line ended with
// CR LF (or a lone LF where asked).
//
// The bytes go to a temporary file beside the target, and close() moves it into place only when
// every write and the final flush succeeded. So a save that fails midway (disk full) never leaves
// a truncated file where the user's earlier one was: that file stays as it was and the temporary
// file is removed. Only where the folder allows no new file but the target itself is writable is the
// target written in place (unless only a whole replacement will do); a failure there is reported all
// the same.
class TextFileWriter {
public:
    enum class Encoding { System, Utf8 };
    enum class LineEnd { CrLf, Lf };
    enum class Replace { InPlaceWhereNeeded, WholeOnly };

    // Opens the temporary file for path; throws RuntimeError when the file cannot be created.
    explicit TextFileWriter(const QString& path, Encoding encoding = Encoding::System, LineEnd lineEnd = LineEnd::CrLf,
                            Replace replace = Replace::InPlaceWhereNeeded);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // Throws RuntimeError when the bytes cannot be written. After a failure the file is lost
    // anyway: later lines are dropped without another error, and close() only discards.
    void writeLine(QStringView line);
    // Flushes and moves the file into place; throws RuntimeError when that fails.
    void close();

private:
    void flushBuffer();
    [[noreturn]] void fail(int savedErrno);

    QSaveFile m_file;
    QStringEncoder m_encoder;
    QByteArray m_buffer;
    qsizetype m_used = 0;
    LineEnd m_lineEnd;
    bool m_failed = false;
    bool m_closed = false;
};

} // namespace platform
