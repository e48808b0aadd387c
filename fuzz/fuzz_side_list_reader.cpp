// The side-list reader against a plain model of the format: the whole text decoded at once, split at
// every CR and LF, empty lines, listed lines and repeats skipped. The reader must give the same sides
// however the bytes are cut into chunks, and so must the command line's UTF-8 reader.

#include "core/ListModel.h"
#include "dice/SideListReader.h"

#include <QSet>
#include <QStringDecoder>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace {

QStringList modelLines(const QByteArray& bytes, const QSet<QString>& listed) {
    QStringDecoder decoder(QStringConverter::System,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    QStringList lines;
    QSet<QString> seen = listed;
    QString line;
    auto end = [&] {
        if (!line.isEmpty() && !seen.contains(line)) {
            seen.insert(line);
            lines.append(line);
        }
        line.clear();
    };
    for (QChar c : text) {
        if (c == u'\r' || c == u'\n')
            end();
        else
            line.append(c);
    }
    end();
    return lines;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "side list reader: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t chunk = input.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::uint8_t listedCount = input.ConsumeIntegralInRange<std::uint8_t>(0, 3);

    core::ListModel list;
    list.setTextIndexEnabled(true);
    QSet<QString> listed;
    for (int i = 0; i < listedCount; ++i) {
        const QString label = QString::fromUtf8(input.ConsumeRandomLengthString(8));
        if (!label.isEmpty() && !listed.contains(label)) {
            list.addItem(label);
            listed.insert(label);
        }
    }
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray bytes(rest.data(), static_cast<qsizetype>(rest.size()));

    dice::SideListReader reader(list);
    for (qsizetype at = 0; at < bytes.size(); at += static_cast<qsizetype>(chunk))
        reader.feed(
            QByteArrayView(bytes).sliced(at, std::min<qsizetype>(static_cast<qsizetype>(chunk), bytes.size() - at)));
    const core::TextRows rows = reader.finish();

    const QStringList expected = modelLines(bytes, listed);
    if (rows.size() != expected.size())
        fail("line count differs from the whole-text model");
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (rows.at(i) != expected[i])
            fail("a line differs from the whole-text model");
    }

    dice::Utf8SideListReader utf8;
    for (qsizetype at = 0; at < bytes.size(); at += static_cast<qsizetype>(chunk))
        utf8.feed(
            QByteArrayView(bytes).sliced(at, std::min<qsizetype>(static_cast<qsizetype>(chunk), bytes.size() - at)));
    const dice::Utf8Labels labels = utf8.finish();
    const QStringList unlisted = modelLines(bytes, {});
    if (labels.size() != unlisted.size())
        fail("the UTF-8 reader's line count differs from the whole-text model");
    for (qsizetype i = 0; i < unlisted.size(); ++i) {
        if (labels.at(i) != unlisted[i].toUtf8())
            fail("a UTF-8 reader's line differs from the whole-text model");
    }
    return 0;
}
