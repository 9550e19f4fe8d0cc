#include "support/chainactions.h"
#include "support/mqttbroker.h"
#include "support/servedchain.h"
#include "support/testhelpers.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

using Action = ChainModel::Action;
constexpr int kDigits = 10;
constexpr int kTimeoutMs = 20000;
// How long a quiet point may take to come, beyond the timed parts the model knows of.
constexpr int kQuietMs = 5000;
const QByteArray kMark = R"({"text": "MARK"})";
const QByteArray kMarkFrame = "$B7MMARK      \r";
const ServedChain::Programs kPrograms{VORNIKD_PROGRAM, VORNIKCTL_PROGRAM};

int environmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// What came after the frame until in wire, a mode's ticks before the next other frame dropped:
// how many ticks come depends on the time a step takes. All of wire without an until.
QByteArray afterTicks(const QByteArray &wire, const QByteArray &until)
{
    if (until.isEmpty())
        return wire;
    const qsizetype at = wire.indexOf(until);
    if (at < 0)
        return "<no " + until + '>';
    static const QRegularExpression tick("^\\$B7(M[0-9]+|FU|W.+)\\r$");
    QByteArray rest = wire.mid(at + until.size());
    for (qsizetype end; (end = rest.indexOf('\r')) >= 0; rest.remove(0, end + 1))
        if (!tick.match(QString::fromLatin1(rest.left(end + 1))).hasMatch())
            break;
    return rest;
}

// Sends a by its path; returns what was unexpected in the answer. expected: a notification's id
// or a dismissal's status.
QString send(ServedChain &served, const Action &a, int expected, int id, const QString &font)
{
    const bool cut = a.kind == Action::Message && !a.scroll && a.text.size() > kDigits;
    if (a.path == Action::Ctl) {
        QProcess ctl;
        QByteArray said;
        served.startCtl(ctl, ChainActions::ctlArguments(a, font));
        const int status = served.finishCtl(ctl, &said);
        if (status == 0 && (!cut || said.contains("cut to 10 digits")))
            return {};
        return QStringLiteral("vornikctl ended with %1: %2")
                .arg(status)
                .arg(QString::fromUtf8(said));
    }
    if (a.path == Action::Mqtt) {
        const auto [topic, payload] = ChainActions::mqtt(a);
        return served.publish(topic, payload);
    }
    static const QHash<int, QString> calls{
            {Action::Message, "POST message"}, {Action::Attributes, "POST attributes"},
            {Action::Blank, "POST blank"},     {Action::Notify, "POST notify"},
            {Action::Mode, "PUT mode"},        {Action::Upload, "PUT font"}};
    const QString call = a.kind == Action::Dismiss ? "DELETE notify/" + QString::number(id)
                                                   : calls.value(a.kind);
    const QByteArray body = a.kind == Action::Upload
                                    ? readFile(font)
                                    : QJsonDocument(ChainActions::body(a)).toJson();
    const ServiceProcess::Answer answer = served.service().call(
            call.section(' ', 0, 0).toLatin1(), "/api/v1/" + call.section(' ', 1), body);
    const int status = a.kind == Action::Dismiss ? expected : a.kind == Action::Upload ? 202 : 200;
    if (answer.status == status && (!cut || answer.body.contains("cut to 10 digits"))
        && (a.kind != Action::Notify || answer.json().value("id") == expected))
        return {};
    return QStringLiteral("answered %1 %2").arg(answer.status).arg(QString::fromUtf8(answer.body));
}

// A call written "METHOD PATH BODY".
ServiceProcess::Answer call(ServedChain &served, const QString &line)
{
    return served.service().call(line.section(' ', 0, 0).toLatin1(), line.section(' ', 1, 1),
                                 line.section(' ', 2).toUtf8());
}

// Waits for the chain and the state to agree with the model; what differs when they do not.
QString quiet(ServedChain &served, ChainModel &model)
{
    QString found;
    const bool agreed = QTest::qWaitFor(
            [&] {
                const QJsonObject state = served.service().call("GET", "/api/v1/state").json();
                found = model.differences(served.chain().state(), state);
                return found.isEmpty();
            },
            kQuietMs + 2 * model.settleMs());
    if (agreed && model.learnsCharacters())
        model.learnCharacters(served.chain().state().characters());
    return found;
}

} // namespace

// vornikd on a pseudo-terminal of ten digits, driven by HTTP, MQTT and vornikctl at once and
// compared at every quiet point with a reference model of the rules; and each action's frames,
// the same by every path.
class TestChainModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_broker.start(), "mosquitto did not start");
        QVERIFY(writeFile(m_dir.filePath("font.fnt"), joinLines(savedFontLines())));
    }

    void randomSequences_data()
    {
        QTest::addColumn<quint32>("seed");
        for (int seed = 1; seed <= environmentNumber("VORNIK_MODEL_SEEDS", 3); ++seed)
            QTest::addRow("seed %d", seed) << quint32(seed);
    }
    // Random actions by every path; at each quiet point the chain, the state and the model
    // agree. A failure lists the actions up to the one after which they did not.
    void randomSequences()
    {
        QFETCH(quint32, seed);
        const QList<Action> actions = ChainActions::random(
                seed, environmentNumber("VORNIK_MODEL_ACTIONS", 25), kDigits);
        int failedAt = 0;
        const QString failure = play(actions, &failedAt);
        QVERIFY2(failure.isEmpty(),
                 qPrintable(QStringLiteral("seed %1: after the last of these actions: %2%3")
                                    .arg(seed)
                                    .arg(failure,
                                         ChainActions::listed(actions.mid(0, failedAt + 1)))));
    }

    void pathsAgree_data()
    {
        QTest::addColumn<QStringList>("setup"); // a call first, and the start of its last frame
        QTest::addColumn<QStringList>("http");  // "METHOD PATH BODY", one a phase
        QTest::addColumn<QStringList>("mqtt");  // "TOPIC PAYLOAD", one a phase
        // vornikctl's arguments; after "|" a SIGTERM ends it and more arguments may follow
        QTest::addColumn<QStringList>("ctl");
        QTest::addColumn<QByteArray>("input");  // vornikctl's standard input
        QTest::addColumn<QByteArray>("until");  // the frame that ends the first phase
        QTest::addColumn<QByteArray>("frames"); // after until, if given
        QTest::addColumn<QByteArray>("said");   // in the HTTP answer and vornikctl's standard error
        const auto row = [](const char *name, const QStringList &setup, const QString &http,
                            const QString &mqtt, const QStringList &ctl, const QByteArray &frames,
                            const QByteArray &until = {}, const QByteArray &said = {},
                            const QByteArray &input = {}) {
            QTest::newRow(name) << setup << http.split('|') << mqtt.split('|') << ctl << input
                                << until << frames << said;
        };
        const QString text = "ABCDEFGHIJKL";
        QByteArray scrolled; // each step once, then its start again
        for (int step = 0; step <= text.size() + 1; ++step)
            scrolled += "$B7M"
                        + (text + ' ' + text).mid(step % (text.size() + 1), kDigits).toLatin1()
                        + '\r';
        const QString scroll = R"({"text": "ABCDEFGHIJKL", "scroll": {"rate": 50, "passes": 1}})";
        const QString attributes = R"({"fonts": "1", "effects": "1234567", "text": "HI"})";
        const QString writeAll
                = R"({"text": "HELLO", "fonts": "0", "effects": "0", "speeds": "9"})";
        const QString ring = R"({"text": "RING", "seconds": 1})";
        // clang-format off
        row("a line of input filled with its last character", {}, R"(POST /api/v1/message {"text": "42", "pad": "last"})", R"(message/set {"text": "42", "pad": "last"})", {"message", "-", "--pad", "last"}, "$B7M4222222222\r", {}, {}, "42\n");
        row("long message cut, with a note", {}, R"(POST /api/v1/message {"text": "VORNIK CHAIN 12"})", "message/set VORNIK CHAIN 12", {"message", "VORNIK CHAIN 12"}, "$B7MVORNIK CHA\r", {}, "cut to 10 digits");
        row("scroll once, ending on its start", {}, "POST /api/v1/message " + scroll, "message/set " + scroll, {"message", text, "--scroll", "--rate", "50", "--passes", "1"}, scrolled);
        row("attribute, then the text once", {}, "POST /api/v1/attributes " + attributes, "attributes/set " + attributes, {"attributes", "--fonts", "1", "--effects", "1234567", "--message", "HI"}, "$B7F1111111111\r$B7E1234567777\r$B7MHI        \r");
        row("write-all, every attribute", {}, "POST /api/v1/attributes " + writeAll, "attributes/set " + writeAll, {"write-all", "HELLO", "--speeds", "9"}, "$B7F0000000000\r$B7E0000000000\r$B7S9999999999\r$B7MHELLO     \r");
        row("blank covers the chain", {}, "POST /api/v1/blank ", "blank PRESS", {"blank"}, "$B7F0000000000\r$B7M          \r");
        const QStringList hello{R"(POST /api/v1/message {"text": "HELLO"})", "$B7MHELLO"};
        row("notification, then what was on show", hello, "POST /api/v1/notify " + ring, "notify " + ring, {}, "$B7MRING      \r$B7MHELLO     \r");
        row("notification over the user font", {R"(POST /api/v1/attributes {"fonts": "U1", "text": "HELLO"})", "$B7MHELLO"}, "POST /api/v1/notify " + ring, "notify " + ring, {}, "$B7F0111111111\r$B7MRING      \r$B7FU111111111\r$B7MHELLO     \r");
        row("notification, then the chain's blanks", {"POST /api/v1/blank ", "$B7F0000000000\r$B7M      "}, R"(POST /api/v1/notify {"text": "DOORBELL 1", "seconds": 1})", R"(notify {"text": "DOORBELL 1", "seconds": 1})", {}, "$B7MDOORBELL 1\r$B7M          \r");
        row("count, then off", {}, R"(PUT /api/v1/mode {"mode": "count", "from": 42, "delay": 100}|PUT /api/v1/mode {"mode": "off"})", R"(mode/set {"mode": "count", "from": 42, "delay": 100}|mode/set off)", {"count", "--from", "42", "--delay", "100", "|", "SIGTERM"}, {}, "$B7M0000000042\r");
        row("segment test, then a message", {}, R"(PUT /api/v1/mode {"mode": "test"}|POST /api/v1/message {"text": "HELLO"})", "mode/set test|message/set HELLO", {"test", "|", "SIGTERM", "message", "HELLO"}, "$B7F0000000000\r$B7M          \r$B7MHELLO     \r", "$B7M0\r");
        // clang-format on
    }
    // The same frames by HTTP, MQTT, vornikctl through the service and vornikctl on a port of
    // its own with the service's chain length.
    void pathsAgree()
    {
        QFETCH(QByteArray, frames);
        QStringList failures;
        for (const QString path : {"http", "mqtt", "ctl --service", "ctl"}) {
            QString problem;
            const QByteArray got = pathFrames(path, &problem);
            if (got != frames || !problem.isEmpty())
                failures += QStringLiteral("%1: %2 %3").arg(path, escapedBytes(got), problem);
        }
        QVERIFY2(failures.isEmpty(),
                 qPrintable("expected " + escapedBytes(frames) + '\n' + failures.join('\n')));
    }

private:
    QString nextId() { return QStringLiteral("run%1").arg(++m_runs); }

    // Plays actions on a fresh service; empty when every quiet point agreed, else what differed
    // and, in failedAt, the index of the action after which it did.
    QString play(const QList<Action> &actions, int *failedAt)
    {
        ServedChain served(kPrograms, m_broker, m_dir.path(), kDigits, nextId());
        *failedAt = 0;
        if (!served.start())
            return QStringLiteral("vornikd did not start on the broker");
        ChainModel model(kDigits);
        for (int i = 0; i < actions.size(); ++i) {
            const Action &a = actions.at(i);
            *failedAt = i;
            const int id = model.idOf(a.tag);
            QString found = send(served, a, model.apply(a), id, m_dir.filePath("font.fnt"));
            // A notification right after an upload waits for it: no quiet point between them.
            const bool rushed = a.kind == Action::Upload && a.path == Action::Http
                                && i + 1 < actions.size()
                                && actions.at(i + 1).kind == Action::Notify;
            if (found.isEmpty() && !rushed)
                found = quiet(served, model);
            if (!found.isEmpty())
                return found;
        }
        return {};
    }

    // The frames one path of the current row puts on the line, a mode's ticks dropped.
    QByteArray pathFrames(const QString &path, QString *problem)
    {
        QFETCH(QStringList, setup);
        QFETCH(QStringList, http);
        QFETCH(QStringList, mqtt);
        QFETCH(QStringList, ctl);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, until);
        QFETCH(QByteArray, frames);
        QFETCH(QByteArray, said);
        const bool byCtl = path.startsWith("ctl");
        const bool direct = path == "ctl";
        if (byCtl && ctl.isEmpty())
            return frames;
        ServedChain served(kPrograms, m_broker, m_dir.path(), kDigits, nextId());
        PtyPair own;
        DecodedChain ownChain(own, kDigits);
        if (!direct && !served.start())
            return *problem = "vornikd did not start", QByteArray();
        DecodedChain &chain = direct ? ownChain : served.chain();
        const auto seen = [&](qsizetype from) {
            served.chain().pump();
            ownChain.pump();
            return afterTicks(chain.wire().mid(from), until);
        };
        const auto wireHas = [&](const QByteArray &part, qsizetype from) {
            return QTest::qWaitFor(
                    [&] { return seen(from), chain.wire().indexOf(part, from) >= 0; }, kTimeoutMs);
        };
        if (!setup.isEmpty()) {
            call(served, setup[0]);
            wireHas(setup[1].toLatin1(), 0);
        }
        const qsizetype from = chain.wire().size();
        const QStringList port{"--port", own.slavePath(), "--chain", QString::number(kDigits)};
        const qsizetype cut = ctl.indexOf("|");
        QByteArray err;
        QProcess running;
        for (int phase = 0; phase < (byCtl ? 2 : http.size()); ++phase) {
            if (phase == 1 && byCtl && cut < 0)
                break;
            if (phase == 1 && !wireHas(until, from))
                *problem += "no " + escapedBytes(until) + "; ";
            if (path == "http") {
                const ServiceProcess::Answer answer = call(served, http.at(phase));
                if (answer.status >= 300 || !answer.body.contains(said))
                    *problem += QStringLiteral("answered %1 %2; ")
                                        .arg(answer.status)
                                        .arg(QString::fromUtf8(answer.body));
            } else if (path == "mqtt") {
                *problem += served.publish(mqtt.at(phase).section(' ', 0, 0),
                                           mqtt.at(phase).section(' ', 1).toUtf8());
            } else if (phase == 0) {
                served.startCtl(running, (direct ? port : QStringList()) + ctl.mid(0, cut));
                if (!input.isEmpty()) {
                    running.write(input);
                    running.closeWriteChannel();
                }
                if (cut < 0 && served.finishCtl(running, &err) != 0)
                    *problem += "vornikctl failed; ";
            } else {
                ::kill(static_cast<pid_t>(running.processId()), SIGTERM);
                served.finishCtl(running, &err);
                QProcess next;
                if (ctl.size() > cut + 2) {
                    served.startCtl(next, (direct ? port : QStringList()) + ctl.mid(cut + 2));
                    served.finishCtl(next, &err);
                }
            }
        }
        if (byCtl && !err.contains(said))
            *problem += "vornikctl said: " + QString::fromUtf8(err);
        if (direct)
            return seen(from);
        const auto idle = [&] {
            const QJsonObject state = served.service().call("GET", "/api/v1/state").json();
            return state.value("queue") == 0 && state.value("job").isNull()
                   && state.value("notification").isNull() && state.value("scrolling") == false;
        };
        if (!QTest::qWaitFor(idle, kQuietMs))
            *problem += "the service never idle; ";
        served.service().call("POST", "/api/v1/message", kMark);
        if (!wireHas(kMarkFrame, from))
            *problem += "no marker";
        const QByteArray step = seen(from);
        return step.left(step.indexOf(kMarkFrame));
    }

    QTemporaryDir m_dir;
    MqttBroker m_broker;
    int m_runs = 0;
};

QTEST_GUILESS_MAIN(TestChainModel)
#include "tst_chainmodel.moc"
