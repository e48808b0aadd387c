#include "TestSupport.h"

#include "core/ListModel.h"
#include "platform/Identity.h"

#include <QFile>

#include <csignal>

namespace fakes {

QStringList itemTexts(const core::ListModel& list) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(list.itemCount()));
    for (std::int64_t position = 1; position <= list.itemCount(); ++position)
        texts.append(list.text(position));
    return texts;
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file %s", qPrintable(path));
    return path;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = m_saved;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_oldHandler);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QString settingsFileIn(const QString& configFolder) {
    return configFolder + u'/' + QString::fromUtf16(platform::kOrganizationName) + u'/' +
           QString::fromUtf16(platform::kApplicationName) + QStringLiteral(".conf");
}

} // namespace fakes
