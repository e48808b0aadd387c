// Writes roll after roll into the history file given, telling its standard output "writing" before
// each entry and "kept ID FINGERPRINT" after each commit, until it is killed.

#include "RollMaker.h"

#include "history/Fingerprint.h"
#include "history/RollStore.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    history::RollStore store(QString::fromLocal8Bit(argv[1]), u"child"_s);
    store.open();
    for (int n = 0;; ++n) {
        const core::DrawRows rows = fakes::makeRoll({u"ant"_s, u"bee"_s, QString::number(n)}, 3, 400'000 + n);
        const QString fingerprint = history::rollFingerprint(rows);
        std::printf("writing\n");
        std::fflush(stdout);
        const auto added = store.add(rows, {}, QDateTime::currentDateTimeUtc(), fingerprint, 1'000'000'000);
        std::printf("kept %lld %s\n", static_cast<long long>(added.entry->id), qPrintable(fingerprint));
        std::fflush(stdout);
    }
}
