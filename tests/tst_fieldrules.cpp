#include "protocol/fieldrules.h"

#include <QTest>

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
        return QStringLiteral("swallow");
    }
    return QString();
}

using Filter = KeyVerdict (*)(int);

// Every code from 0 to 255 against the field's accepted set: the expected verdict of a code
// not listed in accepted is worked out from the shared steps (Enter, editing keys, swallow).
void checkAllCodes(Filter filter, const QMap<int, QChar> &accepted, bool editingKeysPass)
{
    for (int code = 0; code < 256; ++code) {
        QString expected;
        if (accepted.contains(code))
            expected = QString(accepted.value(code));
        else if (code == 13)
            expected = QStringLiteral("enter");
        else if ((code == 8 || code == 127) && editingKeysPass)
            expected = QStringLiteral("pass");
        else
            expected = QStringLiteral("swallow");
        const QString actual = describe(filter(code));
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("code %1: got %2, expected %3")
                                     .arg(code)
                                     .arg(actual, expected)));
    }
}

QMap<int, QChar> same(const QString &characters)
{
    QMap<int, QChar> map;
    for (const QChar c : characters)
        map.insert(c.unicode(), c);
    return map;
}

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
    return &FieldRules::mlengthKey;
}

const QString kDigits = QStringLiteral("0123456789");
const QString kCapitals = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");

} // namespace

// The message block's rules without a window: key filters, fitting and the length reset.
class TestFieldRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void filtersAcceptExactlyTheirSets_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("accepted");
        QTest::addColumn<QString>("lowerToUpper");
        QTest::addColumn<bool>("editingKeysPass");

        QTest::newRow("sentence") << QStringLiteral("sentence")
                                  << kCapitals + kDigits + QStringLiteral(":;<=>?@ !")
                                  << kCapitals.toLower() << true;
        QTest::newRow("fonts") << QStringLiteral("fonts") << kDigits + QStringLiteral("U!")
                               << QStringLiteral("u") << true;
        QTest::newRow("underscore")
                << QStringLiteral("underscore") << QStringLiteral("01!") << QString() << true;
        QTest::newRow("effects") << QStringLiteral("effects") << kDigits + QStringLiteral("!")
                                 << QString() << true;
        QTest::newRow("speeds") << QStringLiteral("speeds") << kDigits + QStringLiteral("!")
                                << QString() << true;
        QTest::newRow("mlength") << QStringLiteral("mlength") << QStringLiteral("123456789")
                                 << QString() << false;
    }

    void filtersAcceptExactlyTheirSets()
    {
        QFETCH(QString, field);
        QFETCH(QString, accepted);
        QFETCH(QString, lowerToUpper);
        QFETCH(bool, editingKeysPass);
        QMap<int, QChar> expected = same(accepted);
        for (const QChar c : lowerToUpper)
            expected.insert(c.unicode(), c.toUpper());
        checkAllCodes(filterFor(field), expected, editingKeysPass);
    }

    void filtersSwallowWideCharacters_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("A with grave") << 0xC0;
        QTest::newRow("A plus 256") << 'A' + 256;
        QTest::newRow("1 plus 256") << '1' + 256;
        QTest::newRow("Cyrillic A") << 0x410;
        QTest::newRow("fullwidth 1") << 0xFF11;
        QTest::newRow("negative") << -1;
    }

    void filtersSwallowWideCharacters()
    {
        QFETCH(int, code);
        for (Filter filter :
             {&FieldRules::sentenceKey, &FieldRules::fontsKey, &FieldRules::underscoreKey,
              &FieldRules::effectsKey, &FieldRules::speedsKey, &FieldRules::mlengthKey})
            QCOMPARE(describe(filter(code)), QStringLiteral("swallow"));
    }

    void fitlengthFitsToTheChain_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("fitted");

        QTest::newRow("N=3 on 12") << "12" << 3 << "122";
        QTest::newRow("N=6 on ten digits") << "1234567890" << 6 << "123456";
        QTest::newRow("N=6 on one") << "7" << 6 << "777777";
        QTest::newRow("N equal to length") << "ABC" << 3 << "ABC";
        QTest::newRow("N=25 on AB, twenty copies at most")
                << "AB" << 25 << "AB" + QString(20, QLatin1Char('B'));
        QTest::newRow("N=22 on AB exactly") << "AB" << 22 << "AB" + QString(20, QLatin1Char('B'));
        QTest::newRow("N=12 on six") << "U0!1U0" << 12 << "U0!1U0000000";
        QTest::newRow("N=0") << "AAAAAA" << 0 << "";
        QTest::newRow("negative N") << "AAAAAA" << -1 << "";
        QTest::newRow("empty text") << "" << 6 << "";
        QTest::newRow("last blank repeated") << "A " << 4 << "A   ";
    }

    void fitlengthFitsToTheChain()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(QString, fitted);
        QCOMPARE(FieldRules::fitlength(text, length), fitted);
    }

    void settledTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("attribute");

        QTest::newRow("empty, N=6") << "" << 6 << ""
                                    << "000000";
        QTest::newRow("empty, N=0") << "" << 0 << ""
                                    << "";
        QTest::newRow("short, N=4") << "12" << 4 << "1222"
                                    << "1222";
        QTest::newRow("long, N=2") << "12345" << 2 << "12"
                                   << "12";
        QTest::newRow("N=0 empties") << "12" << 0 << ""
                                     << "";
    }

    void settledTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(QString, message);
        QFETCH(QString, attribute);
        QCOMPARE(FieldRules::settledMessage(text, length), message);
        QCOMPARE(FieldRules::settledAttribute(text, length), attribute);
    }

    void lengthResetTexts_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("attribute");

        QTest::newRow("default") << 6 << "AAAAAA"
                                 << "000000";
        QTest::newRow("one") << 1 << "A"
                             << "0";
        QTest::newRow("none") << 0 << ""
                              << "";
        QTest::newRow("negative") << -3 << ""
                                  << "";
        QTest::newRow("above ten")
                << 12 << QString(12, QLatin1Char('A')) << QString(12, QLatin1Char('0'));
    }

    void lengthResetTexts()
    {
        QFETCH(int, length);
        QFETCH(QString, message);
        QFETCH(QString, attribute);
        QCOMPARE(FieldRules::resetMessage(length), message);
        QCOMPARE(FieldRules::resetAttribute(length), attribute);
    }
};

QTEST_MAIN(TestFieldRules)
#include "tst_fieldrules.moc"
