#include "RollMode.h"

using namespace Qt::StringLiterals;

namespace core {

namespace {

struct Names {
    const char16_t* name;
    const char16_t* word;
};

Names namesOf(RollMode mode) {
    switch (mode) {
    case RollMode::Distinct:
        return {u"No Side Twice In A Roll", u"distinct"};
    case RollMode::Bag:
        return {u"Draw From A Bag", u"bag"};
    case RollMode::Independent:
        break;
    }
    return {u"Every Die Independent", u"independent"};
}

} // namespace

QString rollModeName(RollMode mode) {
    return QString::fromUtf16(namesOf(mode).name);
}

QString rollModeWord(RollMode mode) {
    return QString::fromUtf16(namesOf(mode).word);
}

std::optional<RollMode> rollModeFromWord(QStringView word) {
    for (RollMode mode : kRollModes) {
        if (word == QStringView(namesOf(mode).word))
            return mode;
    }
    return std::nullopt;
}

} // namespace core
