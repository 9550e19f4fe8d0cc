#include "support/recordingport.h"

#include "core/basicutilities.h"
#include "font/fonttable.h"
#include "font/textfont.h"
#include "serial/seriallink.h"
#include "session/actionqueue.h"
#include "session/chaininput.h"
#include "session/chainstatetracker.h"
#include "session/fixedmodeinputs.h"
#include "session/moderunner.h"
#include "session/pacedsender.h"
#include "session/programrules.h"
#include "session/showlayers.h"
#include "session/textglyphs.h"
#include "session/textlayer.h"
#include "session/textscroller.h"
#include "session/uploadjob.h"

#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <memory>

using Outcome = PacedSender::Outcome;
Q_DECLARE_METATYPE(PacedSender::Outcome)

// The session layer alone on a recording port: how a paced run ends, how an upload stops, and
// what the chain shows as the frames that reached the port imply it.
class TestSession : public QObject
{
    Q_OBJECT

    RecordingPort *m_port = nullptr;
    std::unique_ptr<SerialLink> m_link;

private Q_SLOTS:
    void initTestCase() { setDelayScale(0); }
    void init()
    {
        m_port = new RecordingPort;
        m_link = std::make_unique<SerialLink>(m_port);
        m_port->setParent(m_link.get());
        m_port->OpenPort(QStringLiteral("ttyTEST0"), QStringLiteral("9600,n,8,1"));
        m_link->setPortOpen(true);
    }
    void cleanup()
    {
        setDelayObserver({});
        m_link.reset();
    }

    // Three message commands; the fault strikes at the first write (a stop: before the third).
    // Without a port every command still reaches the log; after a failed one, none does. The
    // chain's state follows the frames written only (what each does to it is tst_chain's).
    void pacedRun_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("logged");
        QTest::addColumn<QByteArray>("shown");
        // clang-format off
        QTest::newRow("complete") << "" << Outcome::Complete << 3 << 3 << QByteArray("THREE ");
        QTest::newRow("no port open") << "no port" << Outcome::LineFailed << 0 << 3 << QByteArray(6, ' ');
        QTest::newRow("a failed write") << "write fails" << Outcome::LineFailed << 1 << 2 << QByteArray("ONE   ");
        QTest::newRow("stopped before the third") << "stop" << Outcome::Stopped << 2 << 2 << QByteArray("TWO   ");
        QTest::newRow("caller deleted mid-run") << "caller deleted" << Outcome::Stopped << 1 << 1 << QByteArray("ONE   ");
        // clang-format on
    }
    void pacedRun()
    {
        QFETCH(QString, fault);
        QFETCH(Outcome, outcome);
        QFETCH(int, frames);
        QFETCH(int, logged);
        int handed = 0;
        connect(m_link.get(), &SerialLink::commandLogged, this, [&] { ++handed; });
        const CommandList commands{{'M', "ONE", 5}, {'M', "TWO", 5}, {'M', "THREE", 5}};
        auto *caller = new QObject(this);
        const QPointer<QObject> guard(caller);
        if (fault == QLatin1String("no port"))
            m_link->setPortOpen(false);
        m_port->setWriteHook([&](const QByteArray &) {
            if (fault == QLatin1String("write fails"))
                m_port->failWrites(PortError{5, QStringLiteral("gone")});
            else if (fault == QLatin1String("caller deleted"))
                delete guard.data();
        });
        PacedSender sender(*m_link);
        ChainStateTracker tracker(*m_link);
        const auto stopAtThree = [&](const PacedCommand &next) {
            return fault == QLatin1String("stop") && next.argument == "THREE";
        };
        QCOMPARE(sender.send(commands, caller, {}, stopAtThree), outcome);
        const QList<QByteArray> expected{"$B7MONE\r", "$B7MTWO\r", "$B7MTHREE\r"};
        QCOMPARE(m_port->writes(), expected.mid(0, frames));
        QCOMPARE(handed, logged);
        QTEST(tracker.state().characters(), "shown");
        delete guard.data();
    }

    // Texts shown one after another through one text layer on six digits: the frames of the
    // last ("W104:h": the glyph of h written to code 104; "{10}": the byte 10), or its refusal.
    // "upper" upper-cases, "attributes F111111" sends those fonts first, "range 10-12" narrows
    // the codes, "draws 104" is a user font that draws code 104 too.
    void textLayer_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("frames");
        // clang-format off
        QTest::newRow("lower case in its own codes, in font U") << "" << QStringList{"hi"} << QStringList{"W104:h", "W105:i", "FUU0000", "Mhi    "};
        QTest::newRow("a symbol without a code of its own takes the first free one") << "" << QStringList{"21.5°C"} << QStringList{"W46:.", "W10:°", "F00U0U0", "M21.5{10}C"};
        QTest::newRow("cut to the chain: only the glyphs shown") << "" << QStringList{"Temp 21.5°C"} << QStringList{"W101:e", "W109:m", "W112:p", "F0UUU00", "MTemp 2"};
        QTest::newRow("glyphs held are not written again") << "" << QStringList{"hi", "ih"} << QStringList{"Mih    "};
        QTest::newRow("built-in again: the fonts return") << "" << QStringList{"hi", "HI"} << QStringList{"F000000", "MHI    "};
        QTest::newRow("the user's font keeps its codes") << "draws 104" << QStringList{"h"} << QStringList{"W10:h", "FU00000", "M{10}     "};
        QTest::newRow("an evicted glyph is written again") << "range 10-11" << QStringList{"ab", "cd", "ab"} << QStringList{"W10:a", "W11:b", "M{10}{11}    "};
        QTest::newRow("more glyphs than free codes") << "range 10-12" << QStringList{"hello"} << QStringList{"the text needs 4 glyphs beyond the built-in characters; the user font leaves 3 codes free"};
        QTest::newRow("upper case when asked") << "upper" << QStringList{"hello"} << QStringList{"MHELLO "};
        QTest::newRow("the fonts given carry the text's U") << "attributes F111111" << QStringList{"A°"} << QStringList{"F1U1111", "W10:°", "MA{10}    "};
        // clang-format on
    }
    void textLayer()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, texts);
        TextLayer layer(6);
        if (setup.startsWith("draws ")) {
            FontTable font;
            font.resetfont();
            font.setPattern(setup.mid(6).toInt(), "100000000000000");
            layer.setUserFont(font);
        } else if (setup.startsWith("range ")) {
            layer.setRange(setup.section(' ', 1).section('-', 0, 0).toInt(),
                           setup.section('-', 1).toInt());
        }
        const auto textCase
                = setup == "upper" ? TextGlyphs::Case::Upper : TextGlyphs::Case::AsTyped;
        QStringList got;
        try {
            for (const QString &text : texts) {
                const CommandList commands
                        = setup.startsWith("attributes ")
                                  ? ProgramRules::attributes({setup.mid(12)}, text, 6, "", textCase)
                                  : ProgramRules::message(
                                            TextGlyphs::characters("message", text, textCase)
                                                    .join(""),
                                            6, false, &layer)
                                            .commands;
                got.clear();
                for (const PacedCommand &command : commands) {
                    QString shown = QString(QLatin1Char(command.letter));
                    for (const char byte : command.argument)
                        shown += byte >= ' ' ? QString(QLatin1Char(byte))
                                             : QStringLiteral("{%1}").arg(int(byte));
                    // A W frame as its code and the character its pattern draws.
                    for (const char32_t drawn : TextFont::characters())
                        if (command.letter == 'W'
                            && TextFont::glyph(drawn)->toLatin1() == command.argument.mid(1))
                            shown = QStringLiteral("W%1:%2")
                                            .arg(uchar(command.argument.at(0)))
                                            .arg(QString::fromUcs4(&drawn, 1));
                    if (command.letter != 'M' || command.argument.size() > 1)
                        got += shown;
                }
            }
        } catch (const ChainInput::Refusal &refusal) {
            got = QStringList{refusal.text};
        }
        QTEST(got, "frames");
    }

    // A mode's tick or a scroll step whose timer fires in the pauses of a queued action, through
    // the queue's tick route: skipped until the action is out whole, then sent. A tick that
    // went round the queue would land between the action's frames.
    void ticksWaitForTheQueue_data()
    {
        QTest::addColumn<QString>("runner");
        QTest::addColumn<QByteArrayList>("frames");
        const QByteArrayList action{"$B7E111111\r", "$B7S222222\r", "$B7MACTION\r"};
        // clang-format off
        QTest::newRow("count mode") << "mode" << action + QByteArrayList{"$B7M000000\r"};
        QTest::newRow("scrolling text") << "scroller" << QByteArrayList{"$B7MABCDEF\r"} + action + QByteArrayList{"$B7MBCDEFG\r"};
        // clang-format on
    }
    void ticksWaitForTheQueue()
    {
        QFETCH(QString, runner);
        PacedSender sender(*m_link);
        ActionQueue queue(sender, 4);
        const TickRoute route
                = [&queue](const std::function<void()> &tick) { queue.runIfIdle(tick); };
        // The inputs outlive the runner, which goes with holder.
        FixedModeInputs inputs(ModeInputs::Count, 6, {}, "000000");
        QObject holder;
        QTimer *timer = nullptr;
        if (runner == QLatin1String("mode")) {
            auto *modes = new ModeRunner(sender, inputs, &holder);
            modes->setTickRoute(route);
            modes->modeChosen(ModeInputs::Count, "2000");
            timer = holder.findChild<QTimer *>(QStringLiteral("Timer1"));
        } else {
            // Its first step goes out at once; the rate keeps its own timer quiet.
            auto *scroller = new TextScroller(sender, TextGlyphs::split("ABCDEFGH"), 6, &holder);
            scroller->setTickRoute(route);
            scroller->start(60000, 0, 0);
            QVERIFY(QTest::qWaitFor([this] { return !m_port->writes().isEmpty(); }));
            timer = scroller->findChild<QTimer *>();
        }
        QVERIFY(timer);
        const auto fire = [timer] { QMetaObject::invokeMethod(timer, "timeout"); };
        // The timer fires in each of the action's three pauses.
        int fired = 0;
        setDelayObserver([&](int) {
            if (fired == 3)
                return;
            ++fired;
            fire();
        });
        QVERIFY(queue.post(
                {"action", {{'E', "111111", 5}, {'S', "222222", 5}, {'M', "ACTION", 5}}, {}}));
        QVERIFY(QTest::qWaitFor([&] { return fired == 3 && !queue.busy(); }));
        setDelayObserver({});
        // Idle, the same tick goes out.
        fire();
        QTEST(m_port->writes(), "frames");
    }

    // An action posted to an idle queue has its first frame on the line when post returns, not
    // after the requests that came with it; its pause still holds, and an action posted behind
    // it waits for the whole of it.
    void actionBegunAtOnce()
    {
        PacedSender sender(*m_link);
        ActionQueue queue(sender, 4);
        QList<int> pauses;
        setDelayObserver([&](int pause) { pauses.append(pause); });
        QList<Outcome> outcomes;
        connect(&queue, &ActionQueue::actionDone, this,
                [&](const QString &, Outcome outcome) { outcomes.append(outcome); });
        const QByteArrayList all{"$B7EA1\r", "$B7MA2\r", "$B7MB1\r"};
        QVERIFY(queue.post({"a", {{'E', "A1", 5}, {'M', "A2", 7}}, {}}));
        QCOMPARE(m_port->writes(), all.mid(0, 1));
        QVERIFY(queue.post({"b", {{'M', "B1", 9}}, {}}));
        QCOMPARE(m_port->writes(), all.mid(0, 1));
        QVERIFY(QTest::qWaitFor([&] { return outcomes.size() == 2; }));
        QCOMPARE(m_port->writes(), all);
        QCOMPARE(pauses, (QList<int>{5, 7, 9}));
        QCOMPARE(outcomes, (QList<Outcome>{Outcome::Complete, Outcome::Complete}));
    }

    // Stop asked for while the given write goes out (0: never; -1: no port, and then nothing
    // goes out, not even to the log); the character on the line goes out whole, with its show
    // command, and the next one does not start.
    void uploadStop_data()
    {
        QTest::addColumn<int>("stopAtWrite");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("sent");
        QTest::newRow("not stopped") << 0 << Outcome::Complete << 229 << 114;
        QTest::newRow("no port") << -1 << Outcome::LineFailed << 0 << 0;
        QTest::newRow("during the fonts command") << 1 << Outcome::Stopped << 1 << 0;
        QTest::newRow("during a pattern") << 50 << Outcome::Stopped << 51 << 25;
        QTest::newRow("during its show") << 51 << Outcome::Stopped << 51 << 25;
        QTest::newRow("during the last show") << 229 << Outcome::Complete << 229 << 114;
    }
    void uploadStop()
    {
        QFETCH(int, stopAtWrite);
        QFETCH(Outcome, outcome);
        QFETCH(int, frames);
        QFETCH(int, sent);
        m_link->setPortOpen(stopAtWrite >= 0);
        int logged = 0;
        connect(m_link.get(), &SerialLink::commandLogged, this, [&] { ++logged; });
        PacedSender sender(*m_link);
        UploadJob job(sender);
        QList<Outcome> finished;
        connect(&job, &UploadJob::finished, this, [&](Outcome end) { finished.append(end); });
        m_port->setWriteHook([&](const QByteArray &) {
            if (m_port->writes().size() == stopAtWrite)
                job.stop();
        });
        FontTable table;
        table.resetfont();
        QCOMPARE(job.run("000000", table), outcome);
        QCOMPARE(m_port->writes().size(), frames);
        QCOMPARE(logged, frames);
        QCOMPARE(job.sent(), sent);
        QCOMPARE(finished, QList<Outcome>{outcome});
        // The last frame shows the last pattern written (its progress: tst_panels, tst_vornikctl).
        if (sent > 0)
            QCOMPARE(m_port->writes().last(),
                     "$B7M" + m_port->writes().at(frames - 2).mid(4, 1) + '\r');
    }

    // What a shared chain of six shows, as layers: a script of requests, the frames after its
    // last mark (patterns and one-character shows left out; "..." last: more may follow), the
    // state at the end. Notifications step every 10 s. tst_chainmodel holds the quiet points.
    void showLayers_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("frames");
        QTest::addColumn<QString>("state");
        const QString hello = "mode=off message=HELLO scrolling=no notification=-";
        // clang-format off
        QTest::newRow("a waiting notification dismissed never shows") << "message HELLO; notify AAA 2; wait MAAA; notify BBB 1; dismiss 2; dismiss 1" << "HELLO |AAA   |HELLO " << hello;
        QTest::newRow("a notification over the test shows letters; the test's fonts return") << "mode test; wait M000000; mark; notify RING 1; wait MRING; dismiss 1" << "F000000|RING  |FUUUUUU|000000|..." << "mode=test message=- scrolling=no notification=-";
        QTest::newRow("the test replaced under a notification ends out of sight") << "mode test; wait M000000; mark; notify RING 1; wait MRING; message HELLO; dismiss 1" << "F000000|RING  |HELLO " << hello;
        QTest::newRow("the return sends what was on show, not what was asked") << "message XXXXXX; attributes F 000000 H!LLO; notify RING 1; wait MRING; dismiss 1" << "XXXXXX|F000000|H!LLO |RING  |HXLLO " << "mode=off message=H!LLO scrolling=no notification=-";
        QTest::newRow("a notification over glyphs shows in font 0; the glyphs return") << "message hello; notify RING 1; wait MRING; dismiss 1" << "FUUUUU0|hello |F000000|RING  |FUUUUU0|hello " << "mode=off message=hello scrolling=no notification=-";
        QTest::newRow("a notification in glyphs; the fonts return after it") << "attributes F 111111 HELLO; notify ring 1; wait Mring; dismiss 1" << "F111111|HELLO |FUUUU11|ring  |F111111|HELLO " << "mode=off message=HELLO scrolling=no notification=-";
        QTest::newRow("a scrolling message starts again after a notification") << "scroll ABCDEFGH 0 10000; wait MABCDEF; notify RING 1; wait MRING; dismiss 1" << "ABCDEF|RING  |ABCDEF|ABCDEF" << "mode=off message=ABCDEFGH scrolling=yes notification=-";
        QTest::newRow("an upload in the fonts on show gives back the message") << "attributes F 111111 HELLO; upload" << "F111111|HELLO |F111111|HELLO " << hello;
        QTest::newRow("a notification during an upload waits for it") << "message HELLO; upload; notify RING 1" << "HELLO |F000000|HELLO |RING  " << "mode=off message=HELLO scrolling=no notification=1";
        QTest::newRow("a notification ends at its time, not at its next step") << "message HELLO; notify LONGTEXTX 1 1" << "HELLO |LONGTE|HELLO " << hello;
        // clang-format on
    }
    void showLayers()
    {
        QFETCH(QString, script);
        const int chain = 6;
        PacedSender sender(*m_link);
        ActionQueue queue(sender, 100);
        ChainStateTracker tracker(*m_link, chain);
        ShowLayers layers(queue, sender, tracker, chain);
        qsizetype seen = 0; // writes a wait has passed
        for (const QString &line : script.split(QStringLiteral("; "))) {
            const QStringList word = line.split(QLatin1Char(' '));
            const auto number = [&word](int at, int otherwise) {
                return word.size() > at ? word.at(at).toInt() : otherwise;
            };
            if (word[0] == QLatin1String("message") || word[0] == QLatin1String("scroll")) {
                const std::optional<ScrollTiming> scroll
                        = word[0] == QLatin1String("scroll")
                                  ? std::optional<ScrollTiming>({number(3, 50), number(2, 0), 0})
                                  : std::nullopt;
                layers.showMessage(word[1], TextGlyphs::split(word[1]), false, scroll);
            } else if (word[0] == QLatin1String("attributes")) {
                const CommandList frames{{word[1].at(0).toLatin1(), word[2].toLatin1(), 5},
                                         {'M', ChainInput::fitted(word[3], chain, false), 5}};
                layers.sendFrames("attributes", frames, word[3]);
            } else if (word[0] == QLatin1String("notify")) {
                const QStringList text = TextGlyphs::split(word[1]);
                const bool moves = text.size() > chain;
                layers.notify({0, word[1], moves ? text : TextGlyphs::fitted(text, chain, false),
                               moves, ScrollTiming{10000, 0, number(3, 600)}, number(2, 1)});
            } else if (word[0] == QLatin1String("dismiss")) {
                QVERIFY2(layers.dismiss(number(1, 0)), qPrintable(line));
            } else if (word[0] == QLatin1String("mode")) {
                layers.runMode(word[1], std::nullopt, {});
            } else if (word[0] == QLatin1String("upload")) {
                auto table = std::make_shared<FontTable>();
                table->resetfont();
                layers.upload(table, QByteArray());
            } else if (word[0] == QLatin1String("mark")) {
                m_port->clearWrites();
                seen = 0;
            } else if (word[0] == QLatin1String("wait")) {
                const QByteArray frame = "$B7" + word[1].toLatin1();
                QVERIFY2(QTest::qWaitFor([&] {
                             while (seen < m_port->writes().size())
                                 if (m_port->writes().at(seen++).startsWith(frame))
                                     return true;
                             return false;
                         }),
                         qPrintable(line));
            }
        }
        QFETCH(QString, frames);
        QString pattern = QRegularExpression::escape(frames);
        if (pattern.endsWith("\\|\\.\\.\\."))
            pattern = pattern.chopped(8) + "(\\|.*)?";
        const QRegularExpression wanted(QRegularExpression::anchoredPattern(pattern));
        const auto shown = [this] {
            QStringList got;
            for (const QByteArray &write : m_port->writes()) {
                const QString frame = QString::fromLatin1(write.mid(3).chopped(1));
                if (!frame.startsWith(QLatin1Char('W')) && frame.size() != 2)
                    got += frame.startsWith(QLatin1Char('M')) ? frame.mid(1) : frame;
            }
            return got.join(QLatin1Char('|'));
        };
        QVERIFY2(QTest::qWaitFor([&] { return wanted.match(shown()).hasMatch(); }),
                 qPrintable(shown()));
        const auto described = [&layers] {
            const auto &notice = layers.notices().shown();
            return QStringLiteral("mode=%1 message=%2 scrolling=%3 notification=%4")
                    .arg(layers.mode(), layers.message().value_or(QStringLiteral("-")),
                         layers.scrolling() ? "yes" : "no",
                         notice ? QString::number(notice->id) : QStringLiteral("-"));
        };
        QFETCH(QString, state);
        QTRY_COMPARE(described(), state);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
