#include "FileDialogs.h"

using namespace Qt::StringLiterals;

namespace platform {

QString saveFailureText(const QString& path, const QString& reason) {
    return u"Could not save \""_s + path + u"\": "_s + reason + u'.';
}

} // namespace platform
