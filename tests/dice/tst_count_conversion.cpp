#include "dice/CountConversion.h"
#include "dice/CountFields.h"
#include "fakes/Fakes.h"
#include "platform/RuntimeError.h"

#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;
using platform::RuntimeError;

class CountConversionTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

    void convertsWithHalvesToEven_data();
    void convertsWithHalvesToEven();
    void rejectsWhatIsNotANumber_data();
    void rejectsWhatIsNotANumber();
    void overflowsOutsideTheInt32Range_data();
    void overflowsOutsideTheInt32Range();
    void followsTheUserLocaleSeparators();
    void fieldProblemsNameTheRightMessage_data();
    void fieldProblemsNameTheRightMessage();
    void pastedTextsAreAcceptedOrRejectedRightly_data();
    void pastedTextsAreAcceptedOrRejectedRightly();
    void lostFocusShowsOneOkOnlyBoxWithTheApplicationTitle();
    void everyChangeIsSavedUnvalidated();
};

void CountConversionTest::convertsWithHalvesToEven_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("0.5") << u"0.5"_s << 0;
    QTest::newRow("0.6") << u"0.6"_s << 1;
    QTest::newRow("1.5") << u"1.5"_s << 2;
    QTest::newRow("2.5") << u"2.5"_s << 2;
    QTest::newRow("3.5") << u"3.5"_s << 4;
    QTest::newRow("-2.5") << u"-2.5"_s << -2;
    QTest::newRow("2.4999") << u"2.4999"_s << 2;
    QTest::newRow("spaces around") << u"  7  "_s << 7;
    QTest::newRow("plus sign") << u"+12"_s << 12;
    QTest::newRow("exponent") << u"1e3"_s << 1000;
    QTest::newRow("grouping") << u"1,000"_s << 1000;
    QTest::newRow("int32 max") << u"2147483647"_s << 2147483647;
    QTest::newRow("int32 max + 0.4") << u"2147483647.4"_s << 2147483647;
    QTest::newRow("int32 min - 0.5 rounds to even min") << u"-2147483648.5"_s << -2147483647 - 1;
}

void CountConversionTest::convertsWithHalvesToEven() {
    QFETCH(QString, text);
    QFETCH(int, expected);
    QVERIFY(dice::isNumeric(text));
    QCOMPARE(dice::convertCount(text), expected);
}

void CountConversionTest::rejectsWhatIsNotANumber_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces only") << u"   "_s;
    QTest::newRow("letters") << u"abc"_s;
    QTest::newRow("digits then letters") << u"12abc"_s;
    QTest::newRow("two points") << u"1.2.3"_s;
    QTest::newRow("infinity") << u"inf"_s;
    QTest::newRow("not a number") << u"nan"_s;
}

void CountConversionTest::rejectsWhatIsNotANumber() {
    QFETCH(QString, text);
    QVERIFY(!dice::isNumeric(text));
    try {
        dice::convertCount(text);
        QFAIL("a text that is not numeric converted");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), int(RuntimeError::TypeMismatch));
    }
}

void CountConversionTest::overflowsOutsideTheInt32Range_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("1e12") << u"1e12"_s;
    QTest::newRow("-1e12") << u"-1e12"_s;
    QTest::newRow("int32 max + 1") << u"2147483648"_s;
    QTest::newRow("int32 max + 0.5 rounds up to even") << u"2147483647.5"_s;
    QTest::newRow("int32 min - 1") << u"-2147483649"_s;
    QTest::newRow("beyond double") << u"1e400"_s;
    QTest::newRow("below minus double") << u"-1e400"_s;
}

void CountConversionTest::overflowsOutsideTheInt32Range() {
    QFETCH(QString, text);
    QVERIFY(dice::isNumeric(text));
    try {
        dice::convertCount(text);
        QFAIL("an out-of-range number converted");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), int(RuntimeError::Overflow));
    }
}

void CountConversionTest::followsTheUserLocaleSeparators() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(dice::convertCount(u"1,5"_s), 2);
    QCOMPARE(dice::convertCount(u"0,5"_s), 0);
    QCOMPARE(dice::convertCount(u"1.000"_s), 1000);
    QVERIFY(!dice::isNumeric(u"1.5"_s));
}

void CountConversionTest::fieldProblemsNameTheRightMessage_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString notNumeric = u"Must be a numeric entry."_s;
    const QString belowOne = u"Sides must be greater than zero."_s;
    QTest::newRow("empty") << QString() << notNumeric;
    QTest::newRow("abc") << u"abc"_s << notNumeric;
    QTest::newRow("0") << u"0"_s << belowOne;
    QTest::newRow("-3") << u"-3"_s << belowOne;
    QTest::newRow("0.5 rounds to 0") << u"0.5"_s << belowOne;
    QTest::newRow("-1e12") << u"-1e12"_s << belowOne;
    QTest::newRow("1e12") << u"1e12"_s << QString::fromUtf16(dice::kTooLargeMessage);
    QTest::newRow("0.6") << u"0.6"_s << QString();
    QTest::newRow("1.5") << u"1.5"_s << QString();
    QTest::newRow("spaced 7") << u" 7 "_s << QString();
    QTest::newRow("int32 max") << u"2147483647"_s << QString();
}

void CountConversionTest::fieldProblemsNameTheRightMessage() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    QCOMPARE(dice::countProblem(text), message);
}

void CountConversionTest::pastedTextsAreAcceptedOrRejectedRightly_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<int>("value");
    const QString notNumeric = QString::fromUtf16(dice::kNotNumericMessage);
    const QString belowOne = QString::fromUtf16(dice::kBelowOneMessage);
    const QString tooLarge = QString::fromUtf16(dice::kTooLargeMessage);
    const QString c = u"C"_s;
    const QString de = u"de_DE"_s;
    const QString fr = u"fr_FR"_s;

    QTest::newRow("10,000 digits") << c << u"1"_s + QString(9999, u'0') << tooLarge << 0;
    QTest::newRow("10,000 digits, negative") << c << u"-1"_s + QString(9999, u'0') << belowOne << 0;
    QTest::newRow("10,000 digits, mostly leading zeros") << c << QString(9999, u'0') + u"7"_s << QString() << 7;
    QTest::newRow("10,000 decimals") << c << u"0."_s + QString(9999, u'0') + u"1"_s << belowOne << 0;
    QTest::newRow("huge exponent") << c << u"1e2147483648"_s << tooLarge << 0;
    QTest::newRow("German number too small for a double") << de << u"-0,1e-400"_s << belowOne << 0;
    QTest::newRow("malformed and too small") << c << u"1e-400x"_s << notNumeric << 0;
    QTest::newRow("huge negative exponent") << c << u"1e-2147483648"_s << belowOne << 0;
    QTest::newRow("largest double") << c << u"1.7976931348623157e308"_s << tooLarge << 0;
    QTest::newRow("exponent within range") << c << u"2.1e9"_s << QString() << 2100000000;
    QTest::newRow("exponent just beyond") << c << u"2.2e9"_s << tooLarge << 0;
    QTest::newRow("NaN") << c << u"NaN"_s << notNumeric << 0;
    QTest::newRow("Infinity") << c << u"Infinity"_s << notNumeric << 0;
    QTest::newRow("-inf") << c << u"-inf"_s << notNumeric << 0;
    QTest::newRow("infinity sign") << c << u"\u221E"_s << notNumeric << 0;
    QTest::newRow("hexadecimal") << c << u"0x10"_s << notNumeric << 0;
    QTest::newRow("two signs") << c << u"+-7"_s << notNumeric << 0;
    QTest::newRow("sign after") << c << u"7-"_s << notNumeric << 0;
    QTest::newRow("minus zero") << c << u"-0"_s << belowOne << 0;
    QTest::newRow("NUL after digits") << c << u"7"_s + QChar(u'\0') << notNumeric << 0;
    QTest::newRow("fullwidth digit") << c << u"\uFF17"_s << notNumeric << 0;
    QTest::newRow("grouping separator first") << c << u",7"_s << notNumeric << 0;
    QTest::newRow("two grouping separators in a row") << c << u"1,,000"_s << notNumeric << 0;
    QTest::newRow("German decimal comma") << de << u"4,5"_s << QString() << 4;
    QTest::newRow("German grouping and decimals") << de << u"1.000,5"_s << QString() << 1000;
    QTest::newRow("German leading decimal comma") << de << u",6"_s << QString() << 1;
    QTest::newRow("German two decimal commas") << de << u"1,2,3"_s << notNumeric << 0;
    QTest::newRow("German grouping after the decimals") << de << u"1,000.5"_s << notNumeric << 0;
    QTest::newRow("French narrow no-break space grouping") << fr << u"1\u202F000"_s << QString() << 1000;
    QTest::newRow("French decimal point") << fr << u"1.5"_s << notNumeric << 0;
}

void CountConversionTest::pastedTextsAreAcceptedOrRejectedRightly() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, value);
    QLocale::setDefault(QLocale(locale));
    QCOMPARE(dice::countProblem(text), message);
    if (message.isEmpty())
        QCOMPARE(dice::convertCount(text), value);
    else if (message == QString::fromUtf16(dice::kNotNumericMessage))
        QVERIFY(!dice::isNumeric(text));
}

void CountConversionTest::lostFocusShowsOneOkOnlyBoxWithTheApplicationTitle() {
    fakes::FakeServices fake;
    dice::CountFields fields(fake.services);
    QVERIFY(fields.lostFocus(u"3"_s));
    QVERIFY(fake.messageBox.shown.isEmpty());

    QVERIFY(!fields.lostFocus(u"1e12"_s));
    QCOMPARE(fake.messageBox.shown.size(), 1);
    QCOMPARE(fake.messageBox.shown[0].style, 0);
    QVERIFY(fake.messageBox.shown[0].title.isEmpty()); // the box then shows the application title
    QVERIFY(fake.settings.writes.isEmpty());           // checking never writes or changes anything
}

void CountConversionTest::everyChangeIsSavedUnvalidated() {
    fakes::FakeServices fake;
    dice::CountFields fields(fake.services);
    fields.changed(u"Text2"_s, u"1"_s);
    fields.changed(u"Text2"_s, u"12"_s);
    fields.changed(u"Text1"_s, u"abc"_s);
    const QList<QPair<QString, QString>> expected = {
        {u"Text2"_s, u"1"_s}, {u"Text2"_s, u"12"_s}, {u"Text1"_s, u"abc"_s}};
    QCOMPARE(fake.settings.writes, expected);
}

QTEST_GUILESS_MAIN(CountConversionTest)
#include "tst_count_conversion.moc"
