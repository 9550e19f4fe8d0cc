#include "app/alert.h"
#include "app/basicutilities.h"
#include "app/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// The settings file on disk: created, cut, carried and rewritten safely.
class TestSettingsFile : public QObject
{
    Q_OBJECT

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray hundredLines(const QStringList &first)
    {
        QByteArray bytes;
        for (int i = 0; i < kSettingsLines; ++i)
            bytes += (i < first.size() ? first.at(i).toLocal8Bit() : QByteArray()) + "\r\n";
        return bytes;
    }

private Q_SLOTS:
    void initTestCase()
    {
        InitConstants();
        setAlertResponder([](const AlertRecord &) { return true; });
    }
    void init() { clearAlertHistory(); }

    void firstStartCreatesTwoBlankLinesThenSavesHundred()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        QStringList lines = emptySettingsLines();
        IniFile(QStringLiteral("load"), path, lines);
        QCOMPARE(read(path), QByteArray(" \r\n \r\n"));
        QCOMPARE(lines.at(1), QStringLiteral(" "));
        QCOMPARE(lines.at(2), QStringLiteral(" "));
        QCOMPARE(lines.at(3), QString());
        IniFile(QStringLiteral("SAVE"), path, lines);
        QCOMPARE(read(path), hundredLines({QStringLiteral(" "), QStringLiteral(" ")}));
        QVERIFY(alertHistory().isEmpty());
    }

    void emptyFileIsRecreated()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        write(path, QByteArray());
        QStringList lines = emptySettingsLines();
        IniFile(QStringLiteral("Load"), path, lines);
        QCOMPARE(read(path), QByteArray(" \r\n \r\n"));
    }

    void loadKeepsFirstHundredOfLongerFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        QByteArray bytes;
        for (int i = 1; i <= 150; ++i)
            bytes += "line" + QByteArray::number(i) + "\r\n";
        write(path, bytes);
        QStringList lines = emptySettingsLines();
        IniFile(QStringLiteral("load"), path, lines);
        QCOMPARE(lines.at(1), QStringLiteral("line1"));
        QCOMPARE(lines.at(100), QStringLiteral("line100"));
        IniFile(QStringLiteral("save"), path, lines);
        const QByteArray saved = read(path);
        QCOMPARE(saved.count("\r\n"), 100);
        QVERIFY(saved.endsWith("line100\r\n"));
        QVERIFY(!saved.contains("line101"));
    }

    void lineEndsAndEncoding_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("CR LF") << QByteArray("/home/a\r\nb\r\n") << "/home/a" << "b";
        QTest::newRow("LF alone") << QByteArray("/home/a\nb\n") << "/home/a" << "b";
        QTest::newRow("no final line end") << QByteArray("/home/a\r\nb") << "/home/a" << "b";
        QTest::newRow("non-ASCII directory") << QString::fromUtf8("/home/jürgen/Schriften\r\n").toLocal8Bit()
                                             << QString::fromUtf8("/home/jürgen/Schriften") << "";
    }

    void lineEndsAndEncoding()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        write(path, content);
        QStringList lines = emptySettingsLines();
        IniFile(QStringLiteral("load"), path, lines);
        QCOMPARE(lines.at(1), first);
        QCOMPARE(lines.at(2), second);
        IniFile(QStringLiteral("save"), path, lines);
        QVERIFY(read(path).startsWith(first.toLocal8Bit() + "\r\n"));
    }

    void otherModeDoesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        QStringList lines = emptySettingsLines();
        IniFile(QStringLiteral("reload"), path, lines);
        QVERIFY(!QFile::exists(path));
    }

    void readOnlyFileIsRewritten()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        write(path, "old\r\n");
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser);
        QStringList lines = emptySettingsLines();
        lines[1] = QStringLiteral("/fonts");
        IniFile(QStringLiteral("save"), path, lines);
        QVERIFY(read(path).startsWith("/fonts\r\n"));
        QVERIFY(QFileInfo(path).permissions() & QFileDevice::WriteOwner);
        QVERIFY(alertHistory().isEmpty());
    }

    void failedSaveKeepsOldFileWhole()
    {
        // A file-size limit makes the write fail part-way, as a full disk would.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        const QByteArray old = hundredLines({QStringLiteral("/old/fonts")});
        write(path, old);
        QStringList lines = emptySettingsLines();
        for (int slot = 1; slot <= kSettingsLines; ++slot)
            lines[slot] = QString(40, QLatin1Char('x'));
        struct rlimit saved = {};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 1000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        IniFile(QStringLiteral("save"), path, lines);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(read(path), old);
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("Ini file load/save error"));
        QVERIFY(alertHistory().first().text.contains(QStringLiteral(
                "This is usually the result of another program taking over the INI file for this "
                "program.  This can typically be resolved by deleting the INI file in this "
                "program's directory and then re-starting the program")));
        QCOMPARE(alertHistory().first().style, 2);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({QStringLiteral("vornik.ini")}));
    }

    void settingsPathThatIsADirectoryAlertsAndKeepsSlots()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        QVERIFY(QDir().mkdir(path));
        QStringList lines = emptySettingsLines();
        lines[1] = QStringLiteral("/keep");
        IniFile(QStringLiteral("load"), path, lines);
        QCOMPARE(lines.at(1), QStringLiteral("/keep"));
        QCOMPARE(alertHistory().size(), 1);
        IniFile(QStringLiteral("save"), path, lines);
        QCOMPARE(alertHistory().size(), 2);
        QVERIFY(QFileInfo(path).isDir());
    }

    void hugeBinaryFileLoadsBounded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vornik.ini"));
        QByteArray junk(10 * 1024 * 1024, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = static_cast<char>((static_cast<unsigned>(i) * 7919u) % 251u);
        write(path, junk);
        QStringList lines = emptySettingsLines();
        IniFile(QStringLiteral("load"), path, lines);
        QCOMPARE(lines.size(), kSettingsLines + 1);
        for (const QString &line : lines)
            QVERIFY(line.size() <= 65536);
    }
};

QTEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
