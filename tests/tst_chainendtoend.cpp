#include "app/alert.h"
#include "app/basicutilities.h"
#include "app/mainwindow.h"
#include "app/workbench.h"
#include "chain/pseudoterminal.h"
#include "font/fonttable.h"
#include "modes/segmenttestpanel.h"
#include "serial/portchooser.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

namespace {
// How long a wait for the chain may take before the test gives up on it.
constexpr int kChainTimeoutMs = 10000;
// How long one probe may go unanswered; a chain answers within a millisecond.
constexpr int kReplyTimeoutMs = 3000;
const QByteArray kProbeReply = QByteArrayLiteral("!0000022600");
} // namespace

// The utility's real serial path against the virtual chain program: what ComWrite sends
// arrives, decoded, in the chain's state, and a probing scan finds the chain.
class TestChainEndToEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        resetShutdownRequest();
        setAppPathOverride(m_dir.path());
        setDelayScale(0);
        // Each pause after a command lasts until the chain has answered for it, so the test
        // never waits a fixed time.
        setDelayObserver([this](int) {
            if (m_pauseUntil)
                m_pauseUntil();
        });
        setAlertResponder([](const AlertRecord &) { return true; });
        clearAlertHistory();
        // Only the chain's device is scanned, whatever serial ports this machine has.
        PortScanner::setCandidateSource([] { return QStringList(); });

        connect(&m_chain, &QProcess::readyReadStandardOutput, this, [this] {
            while (m_chain.canReadLine())
                m_lines.append(QString::fromLocal8Bit(m_chain.readLine()).chopped(1));
        });
        m_chain.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_chain.start(QStringLiteral(VORNIK_CHAIN_PROGRAM),
                      {QStringLiteral("--dump"), QStringLiteral("--digits"), QStringLiteral("6")});
        QVERIFY2(m_chain.waitForStarted(), qPrintable(m_chain.errorString()));
        QVERIFY(QTest::qWaitFor([this] { return !m_lines.isEmpty(); }, kChainTimeoutMs));
        m_device = m_lines.takeFirst();
        QVERIFY2(m_device.startsWith(QStringLiteral("/dev/")), qPrintable(m_device));

        MainWindowOptions options;
        options.extraPorts = {m_device};
        m_window = std::make_unique<MainWindow>(options);
        m_window->startup();
    }

    void init()
    {
        QComboBox *list = m_window->portChooser().portselect();
        const int index = list->findText(m_device);
        QVERIFY2(index > 0, "the start-up scan lists the chain's device");
        m_window->portChooser().select(index);
        QVERIFY(m_window->link().portopen());
        QVERIFY(alertHistory().isEmpty());
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_chain.terminate();
        m_chain.waitForFinished(kChainTimeoutMs);
        PortScanner::setCandidateSource({});
        setAlertResponder({});
        setDelayObserver({});
        setDelayScale(1);
        setAppPathOverride(QString());
    }

    void commandsReachTheChain_data()
    {
        QTest::addColumn<QByteArrayList>("commands");
        QTest::addColumn<QString>("expected");

        // The per-digit rules themselves are in tst_chaindecoder.
        QTest::newRow("message with skips")
                << QByteArrayList{"MABCDEF", "M!!X!!Z"} << QStringLiteral("chars=\"ABXDEZ\"");
        QTest::newRow("user-font character code 10")
                << QByteArrayList{"W\n100000000000001", "FU!!!!!", "M\n"}
                << QStringLiteral("chars=\"\\x0a");
    }

    void commandsReachTheChain()
    {
        QFETCH(QByteArrayList, commands);
        QFETCH(QString, expected);
        QString line;
        for (const QByteArray &text : commands)
            line = sendAndWait(text.at(0), text.mid(1));
        QVERIFY2(line.contains(expected), qPrintable(line));
        QVERIFY(!line.contains(QStringLiteral("unexpected")));
        QVERIFY(alertHistory().isEmpty());
    }

    // The utility closes and reopens the device (port change, rescan): the chain stays.
    void chainOutlivesThePortBeingClosed()
    {
        m_window->portChooser().select(0);
        QVERIFY(!m_window->link().portopen());
        m_window->portscanx(0);
        init();
        const QString line = sendAndWait('M', "AGAIN ");
        QVERIFY2(line.contains(QStringLiteral("chars=\"AGAIN \"")), qPrintable(line));
        QCOMPARE(m_chain.state(), QProcess::Running);
    }

    // "Commit" uploads the whole user font: the chain's table ends up equal to the utility's.
    void commitFillsTheChainsUserFont()
    {
        FontTable &fontarray = m_window->workbench().fontarray;
        QVERIFY(fontarray.setPattern(65, QStringLiteral("101010101010101")));
        QVERIFY(fontarray.setPattern(125, QStringLiteral("000000000000011")));
        auto *commit = m_window->findChild<QPushButton *>(QStringLiteral("Command2_9"));
        QVERIFY(commit);

        const int before = m_lines.size();
        pauseForEveryLine();
        commit->click();
        m_pauseUntil = {};

        const QRegularExpression written(
                QStringLiteral("^W \".*\" chars=.* code=(\\d+) pattern=([01]{15})$"));
        QMap<int, QString> chainFont;
        for (const QString &line : m_lines.mid(before)) {
            QVERIFY2(!line.startsWith(QStringLiteral("error")), qPrintable(line));
            const QRegularExpressionMatch match = written.match(line);
            if (match.hasMatch())
                chainFont.insert(match.captured(1).toInt(), match.captured(2));
        }
        int codes = 0;
        for (int code = 0; code < FontTable::kSlots; ++code) {
            if (!FontTable::isSelectableCode(code))
                continue;
            ++codes;
            QCOMPARE(chainFont.value(code), fontarray.pattern(code));
        }
        QCOMPARE(chainFont.size(), codes);
        QCOMPARE(chainFont.value(65), QStringLiteral("101010101010101"));
    }

    // The segment test, tick by tick: every digit shows character "0" in the user font while
    // the pattern of "0" gains one segment per tick; Stop blanks the chain again.
    void segmentTestLightsTheSegmentsOneByOne()
    {
        auto *panel = m_window->findChild<SegmentTestPanel *>();
        QVERIFY(panel);
        panel->setAutomaticTicks(false);
        auto *start = m_window->findChild<QPushButton *>(QStringLiteral("cmmd_0"));
        auto *stop = m_window->findChild<QPushButton *>(QStringLiteral("cmmd_1"));
        QVERIFY(start && stop);

        const QRegularExpression writtenZero(QStringLiteral("code=48 pattern=([01]{15})$"));
        start->click();
        for (int step = 0; step < 3; ++step) {
            const int before = m_lines.size();
            pauseForEveryLine();
            panel->timer3Tick();
            m_pauseUntil = {};
            const QStringList lines = m_lines.mid(before);
            QVERIFY(!lines.isEmpty());
            QString pattern;
            for (const QString &line : lines) {
                QVERIFY2(!line.startsWith(QStringLiteral("error")), qPrintable(line));
                const QRegularExpressionMatch match = writtenZero.match(line);
                if (match.hasMatch())
                    pattern = match.captured(1);
            }
            QCOMPARE(pattern,
                     QString(step, QLatin1Char('1')) + QString(15 - step, QLatin1Char('0')));
            QVERIFY2(lines.last().contains(QStringLiteral("chars=\"000000\" fonts=\"UUUUUU\"")),
                     qPrintable(lines.last()));
        }
        stop->click();
        pauseForEveryLine();
        panel->timer3Tick();
        m_pauseUntil = {};
        QVERIFY2(m_lines.last().contains(QStringLiteral("chars=\"      \" fonts=\"000000\"")),
                 qPrintable(m_lines.last()));
        panel->setAutomaticTicks(true);
    }

    // A probing scan lists the chain, which answers, and not a device that stays silent.
    void probingScanListsTheChain()
    {
        PseudoTerminal silent;
        QVERIFY2(silent.open(), qPrintable(silent.errorString()));
        int silentProbes = 0;
        connect(&silent, &PseudoTerminal::received, this,
                [&](const QByteArray &bytes) { silentProbes += bytes.count('\r'); });
        PortScanner &scanner = m_window->portScanner();
        scanner.setExtraPorts({silent.devicePath(), m_device});

        const int before = m_lines.size();
        m_pauseUntil = [&] {
            const int seen = silentProbes;
            const bool settled = QTest::qWaitFor(
                    [&] {
                        return scanner.scanbuffer().contains(kProbeReply) || silentProbes > seen;
                    },
                    kReplyTimeoutMs);
            if (!settled)
                qWarning("a probed device neither answered nor received the probe");
        };
        m_window->portscanx(1);
        m_pauseUntil = {};
        scanner.setExtraPorts({m_device});

        QComboBox *list = m_window->portChooser().portselect();
        QVERIFY(list->findText(m_device) > 0);
        QCOMPARE(list->findText(silent.devicePath()), -1);
        QVERIFY(silentProbes > 0);
        const QStringList probes = m_lines.mid(before);
        QVERIFY(std::any_of(probes.begin(), probes.end(), [](const QString &line) {
            return line.startsWith(QStringLiteral("probe ")) && line.endsWith(kProbeReply + '"');
        }));
    }

private:
    // Every pause lasts until the chain has printed one more line: one line per command.
    void pauseForEveryLine()
    {
        m_expectedLines = m_lines.size();
        m_pauseUntil = [this] {
            ++m_expectedLines;
            QDeadlineTimer deadline(kChainTimeoutMs);
            while (m_lines.size() < m_expectedLines && !deadline.hasExpired())
                m_chain.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        };
    }

    // Sends one command through the utility's transmit routine and returns the chain's line
    // for it (empty when none came).
    QString sendAndWait(char letter, const QByteArray &argument)
    {
        const int before = m_lines.size();
        pauseForEveryLine();
        m_window->workbench().send(letter, argument, 5);
        m_pauseUntil = {};
        return m_lines.size() > before ? m_lines.at(before) : QString();
    }

    QTemporaryDir m_dir;
    QProcess m_chain;
    QString m_device;
    QStringList m_lines;
    std::unique_ptr<MainWindow> m_window;
    std::function<void()> m_pauseUntil;
    int m_expectedLines = 0;
};

QTEST_MAIN(TestChainEndToEnd)
#include "tst_chainendtoend.moc"
