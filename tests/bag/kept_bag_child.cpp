// Presses Start Rolling again and again over the kept bag in the file given, one die of N sides
// ("side 1" ... "side N") a press, and prints each roll once it is shown, until it is killed.

#include "bag/KeptBag.h"
#include "core/ListModel.h"
#include "fakes/Fakes.h"
#include "roll/StartRolling.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    core::ListModel sides;
    sides.setTextIndexEnabled(true);
    for (int n = 1; n <= std::atoi(argv[2]); ++n)
        sides.addItem(QString(u"side "_s + QString::number(n)));
    bag::KeptBag bag(QString::fromLocal8Bit(argv[1]));
    bag.load(sides);
    fakes::FakeServices fake;
    fake.random.state ^= static_cast<std::uint64_t>(::getpid()); // each run draws its own way
    core::ListModel results;
    for (;;) {
        roll::startRolling(fake.services, sides, results, u"1"_s, u"1"_s, core::RollMode::Bag, &bag);
        if (!fake.messageBox.shown.isEmpty())
            return 1;
        std::printf("%s\n", qPrintable(results.text(1)));
        std::fflush(stdout);
    }
}
