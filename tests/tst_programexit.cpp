#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The program as started from a terminal: Ctrl+C and SIGTERM close it through its normal path.
class TestProgramExit : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void signalClosesCleanlyAndSavesSettings_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void signalClosesCleanlyAndSavesSettings()
    {
        QFETCH(int, signalNumber);
        // The program keeps its settings beside itself, so it runs from a copy in a temporary folder.
        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("vornik"));
        QVERIFY(QFile::copy(QStringLiteral(VORNIK_BINARY), program));
        const QString settings = dir.filePath(QStringLiteral("vornik.ini"));

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        // The settings file appears during start-up, before the window is shown.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(settings), 20000);
        QTest::qWait(300);
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QFile file(settings);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("\r\n"), 100);
    }
};

QTEST_MAIN(TestProgramExit)
#include "tst_programexit.moc"
