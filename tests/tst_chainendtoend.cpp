#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "app/mainwindow.h"
#include "panels/workbench.h"
#include "chain/pseudoterminal.h"
#include "font/fonttable.h"
#include "panels/portchooser.h"
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

        // As `vornik --port DEVICE` starts: the chain's device open once the start-up is over.
        MainWindowOptions options;
        options.extraPorts = {m_device};
        options.startPort = m_device;
        m_window = std::make_unique<MainWindow>(options);
        m_window->startup();
        QCOMPARE(m_window->portChooser().portselect()->currentText(), m_device);
        QVERIFY(m_window->link().portopen());
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

    // Bytes such as code 10 and "!" reach the chain as data; the per-digit rules themselves
    // are in tst_chaindecoder.
    void commandsReachTheChain()
    {
        sendAndWait('W', "\n100000000000001");
        sendAndWait('M', "ABCDEF");
        sendAndWait('F', "U!!!!!");
        const QString line = sendAndWait('M', "\n!X");
        QVERIFY2(line.contains("chars=\"\\x0aBXDEF\" fonts=\"U00000\""), qPrintable(line));
        QVERIFY2(!line.contains(QStringLiteral("unexpected")), qPrintable(line));
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

        const QRegularExpression written(QStringLiteral("code=(\\d+) pattern=([01]{15})$"));
        QMap<int, QString> chainFont;
        for (const QString &line : m_lines.mid(before)) {
            QVERIFY2(!line.startsWith(QStringLiteral("error")), qPrintable(line));
            const QRegularExpressionMatch match = written.match(line);
            if (match.hasMatch())
                chainFont.insert(match.captured(1).toInt(), match.captured(2));
        }
        QCOMPARE(chainFont.size(), 114);
        for (auto it = chainFont.cbegin(); it != chainFont.cend(); ++it)
            QCOMPARE(it.value(), fontarray.pattern(it.key()));
        QCOMPARE(chainFont.value(65), QStringLiteral("101010101010101"));
        QCOMPARE(chainFont.value(125), QStringLiteral("000000000000011"));
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
