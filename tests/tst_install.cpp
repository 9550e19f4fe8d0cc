#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// What `cmake --install` puts into a prefix, and that the desktop tools accept it.
class InstallTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_prefix;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(VORNIK_CMAKE),
                      {QStringLiteral("--install"), QStringLiteral(VORNIK_BUILD_DIR),
                       QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());
    }

    void installedFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("iconSize");      // a PNG of that many pixels square; 0: not an icon
        QTest::addColumn<QStringList>("check"); // a command that must succeed; %1 is the file
        const QStringList none;
        QTest::newRow("program") << "bin/vornik" << 0 << QStringList{"%1", "--version"};
        QTest::newRow("virtual chain") << "bin/vornik-chain" << 0 << QStringList{"%1", "--help"};
        QTest::newRow("desktop entry") << "share/applications/vornik.desktop" << 0
                                       << QStringList{"desktop-file-validate", "%1"};
        QTest::newRow("metainfo") << "share/metainfo/org.vornik.Vornik.metainfo.xml" << 0
                                  << QStringList{"appstreamcli", "validate", "--no-net", "%1"};
        QTest::newRow("scalable icon")
                << "share/icons/hicolor/scalable/apps/vornik.svg" << 0 << none;
        for (int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("icon %d", size)
                    << QStringLiteral("share/icons/hicolor/%1x%1/apps/vornik.png").arg(size) << size
                    << none;
        QTest::newRow("help file") << "share/doc/vornik/Vornik.rtf" << 0 << none;
        QTest::newRow("help window text") << "share/doc/vornik/Vornik.md" << 0 << none;
        QTest::newRow("readme") << "share/doc/vornik/README.md" << 0 << none;
        QTest::newRow("manual") << "share/man/man1/vornik.1" << 0 << none;
        QTest::newRow("chain manual") << "share/man/man1/vornik-chain.1" << 0 << none;
    }
    void installedFile()
    {
        QFETCH(QString, path);
        QFETCH(int, iconSize);
        QFETCH(QStringList, check);
        const QString file = m_prefix.path() + QLatin1Char('/') + path;
        const QFileInfo info(file);
        QVERIFY2(info.isFile() && info.size() > 0, qPrintable(file));
        if (iconSize)
            QCOMPARE(QImage(file).size(), QSize(iconSize, iconSize));
        if (check.isEmpty())
            return;
        check.replaceInStrings(QStringLiteral("%1"), file);
        const QString program = check.takeFirst();
        if (QStandardPaths::findExecutable(program).isEmpty() && !QFileInfo(program).isAbsolute())
            QSKIP("validator not installed (scripts/install-deps.sh installs it)");
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(program, check);
        QVERIFY(run.waitForFinished(60000));
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 run.readAll().constData());
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
