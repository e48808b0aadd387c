#include "Main.h"

#include "platform/ApplicationTitle.h"
#include "platform/Identity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Main {

bool FileExists(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(u'\0')))
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

QString ApplicationTitleFor(const QString& productName) {
    QString title = productName;
    do {
        const qsizetype lastSpace = title.lastIndexOf(u' ');
        // A name without a space has no word left to drop: keep it rather than lose it whole.
        if (lastSpace < 0)
            break;
        title.truncate(lastSpace);
    } while (title.size() > 40);
    return title;
}

void SetApplicationTitle() {
    platform::setApplicationTitle(ApplicationTitleFor(QString::fromUtf16(platform::kApplicationName)));
}

QStringList ProgramFolders() {
    QStringList folders;
    const QString executableFolder = QCoreApplication::applicationDirPath();
    if (!executableFolder.isEmpty())
        folders.append(executableFolder);
    // An installed program keeps its data beside the executable's prefix: <prefix>/share/quorvin-tessaly.
    const QString dataFolder = QDir::cleanPath(executableFolder + u"/../share/quorvin-tessaly"_s);
    if (!executableFolder.isEmpty() && dataFolder != executableFolder)
        folders.append(dataFolder);
    return folders;
}

QString FindProgramFile(const QString& relativeName) {
    for (const QString& folder : ProgramFolders()) {
        const QString path = folder + u'/' + relativeName;
        if (FileExists(path))
            return path;
    }
    return {};
}

} // namespace Main
