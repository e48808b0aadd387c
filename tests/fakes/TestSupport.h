#pragma once

// Small helpers the test areas share.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace core {
class ListModel;
}

namespace fakes {

// The texts of every item, in list order.
QStringList itemTexts(const core::ListModel& list);

// Writes the bytes to a new file at path (the test stops when it cannot) and returns the path.
QString writeFile(const QString& path, const QByteArray& bytes);

// The settings file the real program reads and writes when XDG_CONFIG_HOME is configFolder.
QString settingsFileIn(const QString& configFolder);

} // namespace fakes
