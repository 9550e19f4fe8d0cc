#include "protocol/fieldrules.h"

#include <QTest>

#include <tuple>

namespace {

// A verdict as text, so a failing case names what the filter did: "A", "enter", "pass" or
// "swallow".
QString describe(const KeyVerdict &verdict)
{
    switch (verdict.kind) {
    case KeyVerdict::Insert:
        return QString(verdict.character);
    case KeyVerdict::Enter:
        return QStringLiteral("enter");
    case KeyVerdict::Pass:
        return QStringLiteral("pass");
    case KeyVerdict::Swallow:
        break;
    }
    return QStringLiteral("swallow");
}

using Filter = KeyVerdict (*)(int);

Filter filterFor(const QString &field)
{
    if (field == QLatin1String("sentence"))
        return &FieldRules::sentenceKey;
    if (field == QLatin1String("fonts"))
        return &FieldRules::fontsKey;
    if (field == QLatin1String("underscore"))
        return &FieldRules::underscoreKey;
    if (field == QLatin1String("effects"))
        return &FieldRules::effectsKey;
    if (field == QLatin1String("speeds"))
        return &FieldRules::speedsKey;
    if (field == QLatin1String("mlength after 1"))
        return [](int code) { return FieldRules::mlengthKey(code, QStringLiteral("1")); };
    return [](int code) { return FieldRules::mlengthKey(code, QString()); };
}

} // namespace

// The message block's rules without a window: the key filters at the edges of each accepted
// class, and the fitting to the chain length.
class TestFieldRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void keyFilters_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("verdict");

        // clang-format off
        const QList<std::tuple<const char *, int, const char *>> rows = {
            {"sentence", 'a', "A"}, {"sentence", 'z', "Z"}, {"sentence", 'A', "A"},
            {"sentence", '0', "0"}, {"sentence", ':', ":"}, {"sentence", '@', "@"},
            {"sentence", ' ', " "}, {"sentence", '!', "!"}, {"sentence", '[', "swallow"},
            {"sentence", '`', "swallow"}, {"sentence", '{', "swallow"},
            {"sentence", '"', "swallow"}, {"sentence", 10, "swallow"}, {"sentence", 13, "enter"},
            {"sentence", 8, "pass"}, {"sentence", 127, "pass"}, {"sentence", 0xC0, "swallow"},
            {"sentence", 'A' + 256, "swallow"},
            {"fonts", 'u', "U"}, {"fonts", 'U', "U"}, {"fonts", '0', "0"}, {"fonts", '!', "!"},
            {"fonts", 'a', "swallow"}, {"fonts", 'V', "swallow"}, {"fonts", 13, "enter"},
            {"fonts", 'u' + 256, "swallow"},
            {"underscore", '0', "0"}, {"underscore", '1', "1"}, {"underscore", '!', "!"},
            {"underscore", '2', "swallow"}, {"underscore", 127, "pass"},
            {"underscore", -1, "swallow"},
            {"effects", '9', "9"}, {"effects", '!', "!"}, {"effects", 'U', "swallow"},
            {"effects", 0xFF11, "swallow"},
            {"speeds", '!', "!"}, {"speeds", 'u', "swallow"}, {"speeds", '.', "swallow"},
            {"mlength", '1', "1"}, {"mlength", '9', "9"}, {"mlength", '0', "swallow"},
            {"mlength", 8, "swallow"}, {"mlength", 127, "pass"}, {"mlength", 13, "enter"},
            {"mlength", 'a', "swallow"}, {"mlength", '1' + 256, "swallow"},
            {"mlength after 1", '0', "0"},
        };
        // clang-format on
        for (const auto &[field, code, verdict] : rows)
            QTest::addRow("%s %d", field, code)
                    << QString::fromLatin1(field) << code << QString::fromLatin1(verdict);
    }
    void keyFilters()
    {
        QFETCH(QString, field);
        QFETCH(int, code);
        QFETCH(QString, verdict);
        QCOMPARE(describe(filterFor(field)(code)), verdict);
    }

    void fitlength_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("fitted");

        const QString twentyB(20, QLatin1Char('B'));
        QTest::newRow("N=3 on 12") << "12" << 3 << "122";
        QTest::newRow("N=6 on ten digits") << "1234567890" << 6 << "123456";
        QTest::newRow("N equal to length") << "ABC" << 3 << "ABC";
        QTest::newRow("N=25 on AB, twenty copies at most") << "AB" << 25 << "AB" + twentyB;
        QTest::newRow("N=22 on AB exactly") << "AB" << 22 << "AB" + twentyB;
        QTest::newRow("N=0") << "AAAAAA" << 0 << "";
        QTest::newRow("negative N") << "AAAAAA" << -1 << "";
        QTest::newRow("empty text") << "" << 6 << "";
        QTest::newRow("last blank repeated") << "A " << 4 << "A   ";
    }
    void fitlength()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(QString, fitted);
        QCOMPARE(FieldRules::fitlength(text, length), fitted);
    }
};

QTEST_MAIN(TestFieldRules)
#include "tst_fieldrules.moc"
