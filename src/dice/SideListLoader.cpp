#include "SideListLoader.h"

#include "platform/ListModel.h"
#include "platform/MessageBox.h"
#include "platform/TextFile.h"
#include "platform/TextRows.h"
#include "shell/Main.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

using namespace Qt::StringLiterals;

namespace Main {

bool ListviewContainsText(const platform::ListModel& list, QStringView text) {
    return list.containsText(text);
}

void LoadListviewFromTextFile(platform::ListModel& list, const QString& path, platform::MessageBox& messageBox) {
    // A folder passes the existence test, as with the platform's date query it stands for; opening it
    // then fails and the caller reports that.
    if (!FileExists(path) && !(!path.isEmpty() && QFileInfo(path).isDir())) {
        messageBox.show(u"File not found"_s, platform::OkOnly, QString());
        return;
    }
    const QString text = platform::decodeSystemText(platform::readFileBytes(path));
    const QStringView all(text);

    // One pass to size the batch, so that neither the rows nor the set of this file's lines grow.
    qsizetype terminators = 0;
    for (QChar c : all) {
        if (c == u'\r' || c == u'\n')
            ++terminators;
    }
    platform::TextRows accepted;
    accepted.reserve(terminators + 1, all.size());
    QSet<QStringView> seen; // this file's accepted lines, viewing into text
    seen.reserve(terminators + 1);

    auto take = [&](QStringView line) {
        if (line.isEmpty() || ListviewContainsText(list, line))
            return;
        const qsizetype before = seen.size();
        seen.insert(line);
        if (seen.size() != before)
            accepted.append(line);
    };
    // Every CR and every LF ends a line; a CR LF pair leaves an empty line between them, skipped like
    // any other empty line.
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QChar c = all[i];
        if (c == u'\r' || c == u'\n') {
            take(all.sliced(start, i - start));
            start = i + 1;
        }
    }
    take(all.sliced(start));
    list.addItems(accepted);
}

QString FixPathBackslashes(const QString& path) {
    auto collapse = [](QString text) { return text.replace(u"\\\\"_s, u"\\"_s); };
    if (!path.startsWith(u'\\'))
        return collapse(path);
    qsizetype first = 1;
    while (first < path.size() && path[first] == u'\\')
        ++first;
    return u"\\\\"_s + collapse(path.mid(first));
}

QString FixPathSeparators(const QString& path) {
#ifdef Q_OS_WIN
    return FixPathBackslashes(QDir::toNativeSeparators(path));
#else
    // No network-path prefix here: any run of slashes means one.
    QString fixed;
    fixed.reserve(path.size());
    for (QChar c : path) {
        if (c == u'/' && fixed.endsWith(u'/'))
            continue;
        fixed.append(c);
    }
    return fixed;
#endif
}

} // namespace Main
