#include "SideListLoader.h"

#include "SideListReader.h"

#include "core/ListModel.h"
#include "core/Main.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// Large enough that a read costs one system call per many thousand lines, small beside any list.
constexpr qsizetype kReadChunkBytes = 1024 * 1024;

} // namespace

namespace Main {

bool ListviewContainsText(const core::ListModel& list, QStringView text) {
    return list.containsText(text);
}

void LoadListviewFromTextFile(core::ListModel& list, const QString& path, platform::MessageBox& messageBox) {
    // A folder passes the existence test, as it passes the date query that the test stands for;
    // opening it then fails and the caller's trap reports that.
    const bool exists = FileExists(path) || (!path.isEmpty() && QFileInfo(path).isDir());
    if (!exists) {
        messageBox.show(u"File not found"_s, platform::OkOnly, QString());
        return;
    }
    platform::TextFileReader file(path);
    // Refused before a line is added, rather than part-way.
    if (file.size() > dice::kMostSideListBytes)
        throw platform::RuntimeError(platform::RuntimeError::OutOfMemory);
    QByteArray buffer(kReadChunkBytes, Qt::Uninitialized);
    dice::appendSideList(list, [&] { return file.read(buffer); });
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
