#include "dice/DiceSet.h"
#include "dice/Die.h"

#include <QTest>

using namespace Qt::StringLiterals;

class DieValuesTest : public QObject {
    Q_OBJECT
private slots:
    void showsEachSidesShareOfTheTickets_data();
    void showsEachSidesShareOfTheTickets();
    void readsTypedWeights_data();
    void readsTypedWeights();
    void saysWhatKeepsADieOrSetFromRolling_data();
    void saysWhatKeepsADieOrSetFromRolling();
};

void DieValuesTest::showsEachSidesShareOfTheTickets_data() {
    QTest::addColumn<quint64>("weight");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<QString>("text");
    QTest::newRow("30%") << quint64{3} << quint64{10} << u"3 of 10 (30%)"_s;
    QTest::newRow("a third rounds down") << quint64{1} << quint64{3} << u"1 of 3 (33%)"_s;
    QTest::newRow("a half per cent rounds up") << quint64{1} << quint64{200} << u"1 of 200 (1%)"_s;
    QTest::newRow("none") << quint64{0} << quint64{10} << u"0 of 10 (0%)"_s;
    QTest::newRow("all") << quint64{7} << quint64{7} << u"7 of 7 (100%)"_s;
    QTest::newRow("some, never 0%") << quint64{1} << quint64{1000} << u"1 of 1000 (<1%)"_s;
    QTest::newRow("not all, never 100%") << quint64{999} << quint64{1000} << u"999 of 1000 (>99%)"_s;
    QTest::newRow("past 2^63 in the middle of the sum")
        << quint64{1000000000} << (quint64{1} << 63) << u"1000000000 of 9223372036854775808 (<1%)"_s;
}

void DieValuesTest::showsEachSidesShareOfTheTickets() {
    QFETCH(quint64, weight);
    QFETCH(quint64, total);
    QFETCH(QString, text);
    QCOMPARE(dice::weightShareText(weight, total, QLocale::c()), text);
}

void DieValuesTest::readsTypedWeights_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("weight"); // -1: not a weight
    QTest::newRow("plain") << u"3"_s << qint64{3};
    QTest::newRow("spaces around") << u" 12 "_s << qint64{12};
    QTest::newRow("leading zeros") << u"0000000000007"_s << qint64{7};
    QTest::newRow("zero") << u"0"_s << qint64{0};
    QTest::newRow("the largest") << u"1000000000"_s << qint64{1000000000};
    QTest::newRow("one past") << u"1000000001"_s << qint64{-1};
    QTest::newRow("far past 2^64") << u"99999999999999999999999"_s << qint64{-1};
    QTest::newRow("a sign") << u"+3"_s << qint64{-1};
    QTest::newRow("a fraction") << u"1.5"_s << qint64{-1};
    QTest::newRow("empty") << QString() << qint64{-1};
    QTest::newRow("other digits") << u"\u0663"_s << qint64{-1};
}

void DieValuesTest::readsTypedWeights() {
    QFETCH(QString, text);
    QFETCH(qint64, weight);
    const std::optional<std::uint32_t> read = dice::parseWeight(text);
    QCOMPARE(read ? qint64{*read} : qint64{-1}, weight);
}

void DieValuesTest::saysWhatKeepsADieOrSetFromRolling_data() {
    QTest::addColumn<QStringList>("labels"); // a die; empty: the set below
    QTest::addColumn<QList<quint32>>("weights");
    QTest::addColumn<QList<int>>("counts"); // of the set's entries, each naming "Six"
    QTest::addColumn<QString>("problem");
    QTest::newRow("a fine die") << QStringList{u"a"_s, u"b"_s} << QList<quint32>{0, 1} << QList<int>() << QString();
    QTest::newRow("a set without dice") << QStringList() << QList<quint32>() << QList<int>{}
                                        << u"The set has no dice."_s;
    QTest::newRow("an empty label") << QStringList{u"a"_s, QString()} << QList<quint32>{1, 1} << QList<int>()
                                    << u"Side 2 has no label."_s;
    QTest::newRow("a label twice") << QStringList{u"a"_s, u"b"_s, u"a"_s} << QList<quint32>{1, 1, 1} << QList<int>()
                                   << u"Side 3 has the same label as an earlier side."_s;
    QTest::newRow("too heavy") << QStringList{u"a"_s} << QList<quint32>{1000000001} << QList<int>()
                               << u"Side 1 weighs 1000000001: a weight is a whole number from 0 to 1000000000."_s;
    QTest::newRow("every side 0") << QStringList{u"a"_s, u"b"_s} << QList<quint32>{0, 0} << QList<int>()
                                  << u"Every side weighs 0: at least one must weigh more to be drawn."_s;
    QTest::newRow("a fine set") << QStringList() << QList<quint32>() << QList<int>{2, 1} << QString();
    QTest::newRow("no die of an entry") << QStringList() << QList<quint32>() << QList<int>{1, 0}
                                        << u"Entry 2 has 0 dice: a set takes at least 1 of each."_s;
    QTest::newRow("more dice than a roll holds") << QStringList() << QList<quint32>() << QList<int>{2147483647, 1}
                                                 << u"The set has 2147483648 dice: a roll takes at most 2147483647."_s;
}

void DieValuesTest::saysWhatKeepsADieOrSetFromRolling() {
    QFETCH(QStringList, labels);
    QFETCH(QList<quint32>, weights);
    QFETCH(QList<int>, counts);
    QFETCH(QString, problem);
    if (!labels.isEmpty()) {
        dice::Die die;
        for (qsizetype side = 0; side < labels.size(); ++side)
            die.append(labels[side], weights[side]);
        QCOMPARE(dice::dieProblem(die), problem);
        return;
    }
    dice::DiceSet set{u"Game"_s, {}};
    for (const int count : counts)
        set.entries.push_back({u"Six"_s, count});
    QCOMPARE(dice::setProblem(set), problem);
    if (problem.isEmpty())
        QCOMPARE(dice::setSummary(set), u"2 \u00d7 Six, 1 \u00d7 Six"_s);
}

QTEST_GUILESS_MAIN(DieValuesTest)
#include "tst_die_values.moc"
