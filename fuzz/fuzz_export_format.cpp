// The clipboard text and the aligned text file of a list of any labels (tabs, CR, LF, NUL, lone
// surrogates) with up to three columns and any ticks, against a plain model of both formats: ticked
// rows only, cells padded to their column's width, tabs between cells, CR LF after every line.

#include "core/ListModel.h"
#include "fakes/Fakes.h"
#include "results/ClipboardCopy.h"
#include "results/TextExport.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "export format: %s\n", what);
    std::abort();
}

QString consumeLabel(FuzzedDataProvider& input) {
    const std::string bytes = input.ConsumeRandomLengthString(24);
    QString label(static_cast<qsizetype>(bytes.size() / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        label[static_cast<qsizetype>(i / 2)] = QChar(static_cast<char16_t>(
            static_cast<std::uint8_t>(bytes[i]) | (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
    return label;
}

QString cell(const core::ListModel& list, std::int64_t row, int column) {
    return column == 1 ? list.text(row) : list.subItem(row, column - 1);
}

QString modelClipboardText(const core::ListModel& list) {
    const int columns = list.listColumnCount();
    std::vector<qsizetype> widths(static_cast<std::size_t>(columns), 0);
    for (int c = 1; c <= columns; ++c) {
        for (std::int64_t r = 1; r <= list.itemCount(); ++r)
            widths[static_cast<std::size_t>(c - 1)] =
                std::max(widths[static_cast<std::size_t>(c - 1)], cell(list, r, c).size());
    }
    QString text;
    for (std::int64_t r = 1; r <= list.itemCount(); ++r) {
        if (!list.isTicked(r))
            continue;
        QString line;
        for (int c = 1; c <= columns; ++c) {
            const QString value = cell(list, r, c);
            line += value + QString(widths[static_cast<std::size_t>(c - 1)] - value.size(), u' ');
            if (c < columns)
                line += u'\t';
        }
        while (line.endsWith(u' '))
            line.chop(1);
        text += line + u"\r\n"_s;
    }
    return text;
}

QByteArray modelFileBytes(const core::ListModel& list) {
    const int columns = list.listColumnCount();
    std::vector<qsizetype> widths;
    for (int c = 1; c <= columns; ++c) {
        qsizetype width = list.headerText(c).size();
        for (std::int64_t r = 1; r <= list.itemCount(); ++r)
            width = std::max(width, cell(list, r, c).size());
        widths.push_back(width);
    }
    QByteArray bytes;
    auto addLine = [&](auto&& cellOf) {
        QString line;
        for (int c = 1; c <= columns; ++c) {
            const QString value = cellOf(c);
            line += value + QString(widths[static_cast<std::size_t>(c - 1)] - value.size(), u' ') + u'\t';
        }
        QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
        bytes += encoder.encode(line);
        bytes += "\r\n";
    };
    addLine([&](int c) { return list.headerText(c); });
    for (std::int64_t r = 1; r <= list.itemCount(); ++r) {
        if (list.isTicked(r))
            addLine([&](int c) { return cell(list, r, c); });
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    FuzzedDataProvider input(data, size);

    core::ListModel list;
    const int columns = input.ConsumeIntegralInRange<int>(1, 3);
    for (int c = 1; c <= columns; ++c)
        list.addColumn(c == 1 ? u"Results"_s : consumeLabel(input));
    const int rows = input.ConsumeIntegralInRange<int>(0, 12);
    for (int r = 1; r <= rows; ++r) {
        list.addItem(consumeLabel(input));
        for (int k = 1; k < columns; ++k) {
            if (input.ConsumeBool())
                list.setSubItem(r, k, consumeLabel(input));
        }
        list.setTicked(r, input.ConsumeBool());
    }

    fakes::FakeServices fake;
    Main::CopyListviewToClipboard(list, fake.services);
    if (rows == 0) {
        if (fake.clipboard.setAttempts != 0)
            fail("an empty list touched the clipboard");
    } else if (fake.clipboard.text != modelClipboardText(list)) {
        fail("the clipboard text differs from the model");
    }

    const QString path = folder.filePath(u"results.txt"_s);
    Main::SaveListviewProperlySpacedWithoutProgressBar(list, path, fake.services);
    if (!fake.messageBox.shown.isEmpty())
        fail("the text export reported an error");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail("the text export wrote no file");
    if (file.readAll() != modelFileBytes(list))
        fail("the text file differs from the model");
    return 0;
}
