#include "support/chainactions.h"
#include "support/decodedtext.h"
#include "support/mqttbroker.h"
#include "support/servedchain.h"
#include "support/testhelpers.h"

#include "font/fontfile.h"
#include "font/fonttable.h"
#include "font/textfont.h"
#include "modes/scrollsteps.h"
#include "session/textglyphs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kDigits = 10;
constexpr int kTimeoutMs = 20000;
const ServedChain::Programs kPrograms{VORNIKD_PROGRAM, VORNIKCTL_PROGRAM};
// The codes a user font that draws all but three of the default font's empty codes leaves.
const QList<int> kLeftFree{10, 11, 12};

// The windows a text shows: fitted, or every step of one pass and the start again.
QList<QStringList> windowsOf(const QStringList &text, int digits, bool scroll)
{
    if (!scroll || text.size() <= digits)
        return {TextGlyphs::fitted(text, digits, false)};
    QList<QStringList> windows;
    for (int step = 0; step <= ScrollSteps::stepsPerPass(text); ++step)
        windows.append(ScrollSteps::window(text, digits, step));
    return windows;
}

// The codes W frames of wire wrote.
QList<int> writtenCodes(const QByteArray &wire)
{
    QList<int> codes;
    for (const QByteArray &frame : wire.split('\r'))
        if (frame.startsWith("$B7W") && frame.size() > 4)
            codes.append(static_cast<unsigned char>(frame.at(4)));
    return codes;
}

// Waits for an idle service: no upload, nothing waiting, no scroll.
bool settled(ServedChain &served)
{
    return QTest::qWaitFor(
            [&] {
                const QJsonObject state = served.service().call("GET", "/api/v1/state").json();
                return state.value("queue").toInt(-1) == 0 && state.value("job").isNull()
                       && !state.value("scrolling").toBool() && state.value("open").toBool();
            },
            kTimeoutMs);
}

} // namespace

// Any text on the chain through user-font glyphs, by every path, read back from the line
// through the patterns the chain received.
class TestTextLayer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_broker.start(), "mosquitto did not start");
        // A user font drawing every code the default one leaves empty but three.
        FontTable font;
        font.resetfont();
        for (int code = Protocol::kFirstUserCode; code <= Protocol::kLastUserCode; ++code)
            if (!kLeftFree.contains(code) && !font.pattern(code).contains('1'))
                font.setPattern(code, QStringLiteral("100000000000001"));
        QVERIFY(writeFile(m_dir.filePath("part.fnt"), FontFile::saveFileBytes(font)));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("partFont"); // the user font leaves three codes free
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("scroll");

        // clang-format off
        QTest::newRow("HTTP, scrolled") << "http" << false << "Washer done." << true;
        QTest::newRow("MQTT, scrolled") << "mqtt" << false << "Temp 21.5°C" << true;
        QTest::newRow("fitted; shown again without glyphs") << "http" << false << "Temp 21.5°" << false;
        QTest::newRow("a user font's codes stay its own") << "http" << true << "hey" << false;
        // clang-format on
    }
    void texts()
    {
        QFETCH(QString, path);
        QFETCH(bool, partFont);
        QFETCH(QString, text);
        QFETCH(bool, scroll);
        ServedChain served(kPrograms, m_broker, m_dir.path(), kDigits,
                           QStringLiteral("text%1").arg(++m_runs));
        QVERIFY(served.start());
        if (partFont) {
            QCOMPARE(served.service()
                             .call("PUT", "/api/v1/font", readFile(m_dir.filePath("part.fnt")))
                             .status,
                     202);
            QVERIFY(settled(served));
        }
        // Refusals and vornikctl's glyph frames: tst_vornikd, tst_mqtt and tst_vornikctl.
        DecodedChain &chain = served.chain();
        chain.pump();
        const ChainState before = chain.state();
        const qsizetype from = chain.wire().size();

        const QString said = send(served, path, text, scroll);
        QVERIFY2(said.isEmpty(), qPrintable(said));
        // Every window of the text, read from the line as it came.
        const QList<QStringList> windows = windowsOf(TextGlyphs::split(text), kDigits, scroll);
        QStringList readings;
        // Waited for, then compared: a failure names what came.
        static_cast<void>(QTest::qWaitFor(
                [&] {
                    chain.pump();
                    readings = DecodedText::readings(before, chain.wire().mid(from), windows);
                    return readings.size() >= windows.size();
                },
                kTimeoutMs));
        QStringList wanted;
        for (const QStringList &window : windows)
            wanted += window.join(QString());
        QCOMPARE(readings, wanted);
        const QByteArray wire = chain.wire().mid(from);
        const QList<int> codes = writtenCodes(wire);
        const QSet<int> written(codes.cbegin(), codes.cend());
        QCOMPARE(written.size(), TextGlyphs::needingGlyphs(TextGlyphs::split(text)).size());
        if (partFont)
            for (const int code : written)
                QVERIFY2(kLeftFree.contains(code), qPrintable(QString::number(code)));
        if (scroll)
            return;
        // The state reads the text digit by digit. (Glyphs held are not written again: the text
        // layer's test in tst_session.)
        QString stateText;
        for (const QJsonValue digit :
             served.service().call("GET", "/api/v1/state").json().value("digits").toArray())
            stateText += digit.toObject().value("text").toString();
        QCOMPARE(stateText, wanted.first());
    }

    // A reopened line gets the glyphs on show again before the chain's state.
    void reopen()
    {
        qputenv("VORNIK_REOPEN_MS", "50");
        PtyPair line;
        DecodedChain chain(line, kDigits);
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("reopen.token"));
        service.setIdle([&] { chain.pump(); });
        QVERIFY(service.start(line.slavePath(),
                              {"--chain", QString::number(kDigits), "--config", "/dev/null"}));
        const auto state = [&] { return service.call("GET", "/api/v1/state").json(); };
        QCOMPARE(service.call("POST", "/api/v1/message", R"({"text": "hello"})").status, 200);
        // Shown whole before the line goes: "queue" counts only the actions still waiting.
        const auto shown = [&](qsizetype from) {
            return QTest::qWaitFor(
                    [&] {
                        chain.pump();
                        return chain.wire().mid(from).contains("$B7Mhello     \r");
                    },
                    kTimeoutMs);
        };
        QVERIFY(shown(0));
        const qsizetype from = chain.wire().size();
        QVERIFY(line.endProgramRead());
        QVERIFY(QTest::qWaitFor([&] { return !state().value("open").toBool(true); }, kTimeoutMs));
        QVERIFY(QTest::qWaitFor([&] { return state().value("open").toBool(); }, kTimeoutMs));
        QVERIFY(shown(from));
        QCOMPARE(writtenCodes(chain.wire().mid(from)), (QList<int>{'h', 'e', 'l', 'o'}));
        QCOMPARE(DecodedText::read(chain.state()), QStringLiteral("hello     "));
        qunsetenv("VORNIK_REOPEN_MS");
    }

private:
    // Sends text by path; what went wrong, empty when it was taken.
    static QString send(ServedChain &served, const QString &path, const QString &text, bool scroll)
    {
        ChainModel::Action action;
        action.text = text;
        action.scroll = scroll;
        if (path == QLatin1String("mqtt"))
            return served.publish("message/set", ChainActions::mqtt(action).second);
        const ServiceProcess::Answer answer = served.service().call(
                "POST", "/api/v1/message", QJsonDocument(ChainActions::body(action)).toJson());
        return answer.status == 200 ? QString() : QString::fromUtf8(answer.body);
    }

    QTemporaryDir m_dir;
    MqttBroker m_broker;
    int m_runs = 0;
};

QTEST_GUILESS_MAIN(TestTextLayer)
#include "tst_textlayer.moc"
