#include "Examples.h"

using namespace Qt::StringLiterals;

namespace dice {

QStringList exampleLabels(Example example) {
    auto numbers = [](int last) {
        QStringList labels;
        for (int n = 1; n <= last; ++n)
            labels.append(QString::number(n));
        return labels;
    };
    switch (example) {
    case Example::Coin:
        return {u"Heads"_s, u"Tails"_s};
    case Example::ClassicSixSided:
        return numbers(6);
    case Example::TwentySided:
        return numbers(20);
    case Example::RockPaperScissors:
        break;
    }
    return {u"Paper"_s, u"Rock"_s, u"Scissor"_s};
}

} // namespace dice
