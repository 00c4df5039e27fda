#include "model/NumberText.h"

#include <QTest>
#include <cmath>

class TestNumberText : public QObject
{
    Q_OBJECT
private slots:
    // Integer parse: sign and digits only, the whole text, within 64 bits.
    void parseInteger_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<qint64>("value");
        QTest::newRow("plus") << "+5" << true << qint64(5);
        QTest::newRow("minus zero") << "-0" << true << qint64(0);
        QTest::newRow("leading zeros") << "007" << true << qint64(7);
        QTest::newRow("max") << "9223372036854775807" << true << std::numeric_limits<qint64>::max();
        QTest::newRow("min") << "-9223372036854775808" << true << std::numeric_limits<qint64>::min();
        QTest::newRow("overflow") << "9223372036854775808" << false << qint64(0);
        QTest::newRow("underflow") << "-9223372036854775809" << false << qint64(0);
        QTest::newRow("leading space") << " 5" << false << qint64(0);
        QTest::newRow("trailing space") << "5 " << false << qint64(0);
        QTest::newRow("lone plus") << "+" << false << qint64(0);
        QTest::newRow("empty") << "" << false << qint64(0);
        QTest::newRow("exponent") << "1e3" << false << qint64(0);
        QTest::newRow("fullwidth digit") << QString::fromUtf8("\xEF\xBC\x95") << false << qint64(0);
    }
    void parseInteger()
    {
        QFETCH(QString, text);
        QFETCH(bool, parses);
        QFETCH(qint64, value);
        const auto result = NumberText::parseInteger(text);
        QCOMPARE(result.has_value(), parses);
        if (parses)
            QCOMPARE(*result, value);
    }

    // Float parse: strtod over the whole text, no leading whitespace.
    void parseFloat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<double>("value");
        QTest::newRow("exponent") << "1e3" << true << 1000.0;
        QTest::newRow("hex") << "0x10" << true << 16.0;
        QTest::newRow("fraction") << "-2.5" << true << -2.5;
        QTest::newRow("infinity") << "Infinity" << true << HUGE_VAL;
        QTest::newRow("leading space") << " 1" << false << 0.0;
        QTest::newRow("leading tab") << "\t1" << false << 0.0;
        QTest::newRow("trailing text") << "1x" << false << 0.0;
        QTest::newRow("trailing space") << "1 " << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("embedded nul") << QString::fromLatin1("1\0002", 3) << false << 0.0;
    }
    void parseFloat()
    {
        QFETCH(QString, text);
        QFETCH(bool, parses);
        QFETCH(double, value);
        const auto result = NumberText::parseFloat(text);
        QCOMPARE(result.has_value(), parses);
        if (parses)
            QCOMPARE(*result, value);
    }

    void parseFloatNan()
    {
        const auto nan = NumberText::parseFloat(QStringLiteral("nan"));
        QVERIFY(nan && std::isnan(*nan));
        QVERIFY(NumberText::parseFloat(QStringLiteral("NaN")));
        // Finite-only parsing refuses what JSON cannot hold.
        QVERIFY(!NumberText::parseFiniteFloat(QStringLiteral("nan")));
        QVERIFY(!NumberText::parseFiniteFloat(QStringLiteral("inf")));
        QVERIFY(!NumberText::parseFiniteFloat(QStringLiteral("1e999")));
        QCOMPARE(NumberText::parseFiniteFloat(QStringLiteral("1e3")), std::optional<double>(1000.0));
    }

    // Float display: shortest round trip, ".0" on integral values, exponent with two or more digits.
    void floatText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("integral") << 2.0 << "2.0";
        QTest::newRow("hundred") << 100.0 << "100.0";
        QTest::newRow("negative half") << -0.5 << "-0.5";
        QTest::newRow("shortest") << 0.1 << "0.1";
        QTest::newRow("large") << 1e16 << "1e+16";
        QTest::newRow("large digits") << 1.25e20 << "1.25e+20";
        QTest::newRow("below large") << 1e15 << "1000000000000000.0";
        QTest::newRow("small") << 1e-5 << "1e-05";
        QTest::newRow("small digits") << 2.5e-7 << "2.5e-07";
        QTest::newRow("not yet small") << 0.0001 << "0.0001";
        QTest::newRow("huge exponent") << 1e300 << "1e+300";
        QTest::newRow("zero") << 0.0 << "0.0";
        QTest::newRow("negative zero") << -0.0 << "-0.0";
        QTest::newRow("inf") << HUGE_VAL << "inf";
        QTest::newRow("minus inf") << -HUGE_VAL << "-inf";
        QTest::newRow("nan") << std::nan("") << "nan";
    }
    void floatText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberText::floatText(value), text);
    }

    void floatTextRoundTrips()
    {
        for (double value : {0.1, 1.0 / 3, 123456.789, 5e-324, 1.7976931348623157e308, -2.2250738585072014e-308}) {
            const auto back = NumberText::parseFloat(NumberText::floatText(value));
            QVERIFY(back);
            QCOMPARE(*back, value);
        }
    }

    void exactInteger()
    {
        QCOMPARE(NumberText::exactInteger(2.0), std::optional<qint64>(2));
        QCOMPARE(NumberText::exactInteger(-9223372036854775808.0), std::optional<qint64>(INT64_MIN));
        QVERIFY(!NumberText::exactInteger(9223372036854775808.0));
        QVERIFY(!NumberText::exactInteger(2.5));
        QVERIFY(!NumberText::exactInteger(std::nan("")));
        QVERIFY(!NumberText::exactInteger(HUGE_VAL));
    }
};

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
