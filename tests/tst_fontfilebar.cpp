#include "support/testhelpers.h"
#include "support/testsupport.h"

#include "widgets/alert.h"
#include "widgets/filedialogs.h"
#include "panels/workbench.h"
#include "font/fonttable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

// Load and Save of user-font files from the Display tab, and the font loaded at start-up.
class TestFontFileBar : public QObject
{
    Q_OBJECT

    // Every slot of the window's table, to compare before and after.
    static QStringList table(TestWindow &t)
    {
        QStringList all;
        for (int code = 0; code < FontTable::kSlots; ++code)
            all.append(t.window().workbench().fontarray.pattern(code));
        return all;
    }

    // Every dialog is answered with `path` (an empty text cancels); the requests are kept.
    void answerWith(const QString &path)
    {
        m_requests.clear();
        setFileDialogResponder([this, path](const FileDialogRequest &request) {
            m_requests.append(request);
            return path.isEmpty() ? QStringList() : QStringList{path};
        });
    }

    // Clicks Load (true) or Save, counting the editor refreshes it causes.
    int click(TestWindow &t, bool load)
    {
        int refreshes = 0;
        t.window().workbench().setShowsegments([&refreshes] { ++refreshes; });
        t.find<QPushButton>(load ? QStringLiteral("Command2_6") : QStringLiteral("Command2_7"))
                ->click();
        return refreshes;
    }

    static QString text(TestWindow &t, const QString &name)
    {
        return t.find<QLineEdit>(name)->text();
    }

    QList<FileDialogRequest> m_requests;

private Q_SLOTS:
    void cleanup() { setFileDialogResponder({}); }

    void saveThenLoadRestoresEveryPattern()
    {
        TestWindow t;
        Workbench &bench = t.window().workbench();
        QStringList expected = table(t);
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            expected[code] = distinctPattern(code);
        expected[40] += QStringLiteral("1"); // kept whole both ways
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            bench.fontarray.setPattern(code, expected.at(code));

        const QString folder = t.dir() + QStringLiteral("/fonts");
        QVERIFY(QDir().mkpath(folder));
        // A typed name without a suffix gets ".fnt", so the Load dialog's filter shows it.
        const QString path = folder + QStringLiteral("/mine.fnt");
        QVERIFY(writeFile(path, "old contents\r\n"));
        const QString startDir = bench.settingslines.at(1);
        answerWith(folder + QStringLiteral("/mine"));
        QCOMPARE(click(t, false), 1);

        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(m_requests.first().initialDirectory, startDir);
        QVERIFY(m_requests.first().confirmOverwrite);
        QCOMPARE(bench.status(), QStringLiteral("Character set file saved"));
        QCOMPARE(text(t, QStringLiteral("fontfile")), path);
        QCOMPARE(bench.settingslines.at(1), folder);
        QStringList lines = savedFontLines();
        lines[30] += QStringLiteral("1");
        QCOMPARE(readFile(path), joinLines(lines));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"mine.fnt"});

        t.window().resetfont();
        bench.settingslines[1] = QStringLiteral("/elsewhere");
        answerWith(path);
        QCOMPARE(click(t, true), 1);

        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(m_requests.first().initialDirectory, QStringLiteral("/elsewhere"));
        QCOMPARE(bench.status(), QStringLiteral("Character set file successfully loaded"));
        QCOMPARE(bench.settingslines.at(1), folder);
        QCOMPARE(table(t), expected);
        // The editor shows the loaded pattern of the current character.
        QCOMPARE(text(t, QStringLiteral("acc")), QStringLiteral("65"));
        QCOMPARE(text(t, QStringLiteral("udcpattern")), distinctPattern(65));
        QVERIFY(alertHistory().isEmpty());
    }

    // Cancelling either dialog, refusals by content (all of them are in tst_fontfile) and
    // files that cannot be read leave the table, the file field and the editor alone.
    void failedLoadKeepsTheTable_data()
    {
        QTest::addColumn<bool>("load");
        QTest::addColumn<QString>("name"); // empty: the dialog is cancelled
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("alert"); // the error number, 0 for none

        QStringList two = savedFontLines();
        two[55] = QStringLiteral("065 000000200000000");
        // clang-format off
        QTest::newRow("load cancelled") << true << "" << QByteArray() << "" << 0;
        QTest::newRow("save cancelled") << false << "" << QByteArray() << "" << 0;
        QTest::newRow("empty file") << true << "bad/a.fnt" << QByteArray() << "File is empty" << 0;
        QTest::newRow("a 2 on line 56") << true << "bad/a.fnt" << joinLines(two)
                << "Font pattern 65 invalid symbol, load aborted" << 0;
        QTest::newRow("missing file") << true << "missing.fnt" << QByteArray() << "" << 75;
        QTest::newRow("a directory") << true << "bad" << QByteArray() << "" << 75;
        QTest::newRow("parent is a regular file") << true << "plain/a.fnt" << QByteArray() << ""
                << 76;
        // clang-format on
    }
    void failedLoadKeepsTheTable()
    {
        QFETCH(bool, load);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, status);
        QFETCH(int, alert);
        TestWindow t;
        Workbench &bench = t.window().workbench();
        QVERIFY(QDir().mkpath(t.dir() + QStringLiteral("/bad")));
        QVERIFY(writeFile(t.dir() + QStringLiteral("/bad/a.fnt"), bytes));
        QVERIFY(writeFile(t.dir() + QStringLiteral("/plain"), "a file, not a directory"));
        bench.settingslines[1] = QStringLiteral("/remembered");
        t.find<QLineEdit>(QStringLiteral("fontfile"))->setText(QStringLiteral("/previous.fnt"));
        bench.setStatus(QStringLiteral("earlier status"));
        const QStringList before = table(t);
        answerWith(name.isEmpty() ? QString() : t.dir() + QLatin1Char('/') + name);
        QCOMPARE(click(t, load), 0);
        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(bench.status(), status);
        QCOMPARE(table(t), before);
        QCOMPARE(t.find<QLineEdit>(QStringLiteral("fontfile"))->text(), QStringLiteral("/previous.fnt"));
        QCOMPARE(alertHistory().size(), alert ? 1 : 0);
        if (alert) {
            QCOMPARE(alertHistory().first().title, QStringLiteral("File open error"));
            QCOMPARE(alertHistory().first().number, alert);
            QCOMPARE(alertHistory().first().style, AlertStyle::Error);
        }
        // The dialog's directory is remembered whenever a file was chosen.
        QCOMPARE(bench.settingslines.at(1),
                 name.isEmpty() ? QStringLiteral("/remembered")
                                : QFileInfo(t.dir() + QLatin1Char('/') + name).path());
    }

    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("number");
        // Failures for every user, root included; refused permissions are tested in tst_faults.
        QTest::newRow("parent is a regular file") << QStringLiteral("plain/a.fnt") << 76;
        QTest::newRow("target is a directory") << QStringLiteral("folder.fnt") << 75;
        QTest::newRow("write fails part-way over an existing file")
                << QStringLiteral("old.fnt") << 75;
    }
    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, target);
        QFETCH(int, number);

        TestWindow t;
        Workbench &bench = t.window().workbench();
        QVERIFY(QDir().mkpath(t.dir() + QStringLiteral("/folder.fnt")));
        const QByteArray old = joinLines(savedFontLines(7));
        QVERIFY(writeFile(t.dir() + QStringLiteral("/folder.fnt/inside.txt"), "kept"));
        QVERIFY(writeFile(t.dir() + QStringLiteral("/plain"), "a file, not a directory"));
        QVERIFY(writeFile(t.dir() + QStringLiteral("/old.fnt"), old));
        const QStringList listing
                = QDir(t.dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            bench.fontarray.setPattern(code, distinctPattern(code));
        t.find<QLineEdit>(QStringLiteral("fontfile"))->setText(QStringLiteral("/previous.fnt"));
        answerWith(t.dir() + QLatin1Char('/') + target);
        {
            // Stops a write after 1000 bytes, as a full disk would.
            FileSizeLimit limit(target == QLatin1String("old.fnt") ? 1000 : RLIM_INFINITY);
            QCOMPARE(click(t, false), 0);
        }

        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("File save error"));
        QCOMPARE(alertHistory().first().number, number);
        QCOMPARE(alertHistory().first().style, AlertStyle::Error);
        QCOMPARE(alertHistory().first().fontSize, 12.0);
        QCOMPARE(bench.status(), QString());
        QCOMPARE(t.find<QLineEdit>(QStringLiteral("fontfile"))->text(), QStringLiteral("/previous.fnt"));
        // Nothing was destroyed and nothing half-written was left behind.
        QCOMPARE(readFile(t.dir() + QStringLiteral("/old.fnt")), old);
        QCOMPARE(readFile(t.dir() + QStringLiteral("/plain")),
                 QByteArray("a file, not a directory"));
        QCOMPARE(readFile(t.dir() + QStringLiteral("/folder.fnt/inside.txt")), QByteArray("kept"));
        QCOMPARE(QDir(t.dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), listing);
    }

    void startup_data()
    {
        QTest::addColumn<QByteArray>("pointer"); // "<none>": no pointer file
        QTest::addColumn<QByteArray>("font");    // "<none>": no font file
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("fontfile"); // "@" is the program's directory

        const QByteArray none("<none>");
        const QByteArray saved = joinLines(savedFontLines());
        QStringList bare;
        for (int slot = 0; slot < FontTable::kSlots; ++slot)
            bare.append(slot < 10 ? QStringLiteral("low %1").arg(slot) : distinctPattern(slot));
        const QString loaded = QStringLiteral("Character set file loaded");
        // clang-format off
        QTest::newRow("no pointer file") << none << saved << QString() << false << QString();
        QTest::newRow("pointer to a missing file")
                << QByteArray("@/missing.fnt\r\n") << none << QString() << false << "@/missing.fnt";
        QTest::newRow("empty pointer file") << QByteArray() << saved << QString() << false
                << QString();
        QTest::newRow("126-line layout")
                << QByteArray("@/font.fnt\r\n") << joinLines(bare) << loaded << true
                        << "@/font.fnt";
        QTest::newRow("Save layout, only the first line of the pointer counts, LF alone")
                << QByteArray("@/font.fnt\nsecond line\n") << saved << loaded << true
                        << "@/font.fnt";
        QTest::newRow("pointer only in the per-user folder")
                << QByteArray("user:@/font.fnt\r\n") << saved << loaded << true << "@/font.fnt";
        QTest::newRow("126-line layout, line 126 not a pattern")
                << QByteArray("@/font.fnt\r\n") << joinLines(bare.mid(0, 125) << "0000000002")
                << loaded + ", 1 line kept its default" << true << "@/font.fnt";
        QTest::newRow("fits neither layout")
                << QByteArray("@/font.fnt") << QByteArray("000000000000000\r\n").repeated(50)
                << "Character set file not loaded: fewer than 126 lines" << false << "@/font.fnt";
        // clang-format on
    }
    void startup()
    {
        QFETCH(QByteArray, pointer);
        QFETCH(QByteArray, font);
        QFETCH(QString, status);
        QFETCH(bool, loaded);
        QFETCH(QString, fontfile);

        TestWindow t(false);
        // "user:" puts the pointer file in the per-user configuration folder instead.
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", (t.dir() + QStringLiteral("/config")).toLocal8Bit());
        QString pointerDir = t.dir();
        if (pointer.startsWith("user:")) {
            pointer.remove(0, 5);
            pointerDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
            QVERIFY(QDir().mkpath(pointerDir));
        }
        if (pointer != "<none>")
            QVERIFY(writeFile(pointerDir + QStringLiteral("/vk.ini"),
                              QByteArray(pointer).replace("@", t.dir().toLocal8Bit())));
        if (font != "<none>")
            QVERIFY(writeFile(t.dir() + QStringLiteral("/font.fnt"), font));
        t.window().startup();
        config.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", config);

        Workbench &bench = t.window().workbench();
        QCOMPARE(bench.status(), status);
        QCOMPARE(text(t, QStringLiteral("fontfile")),
                 QString(fontfile).replace(QLatin1Char('@'), t.dir()));
        FontTable expected;
        expected.resetfont();
        for (int code = 0; code < FontTable::kSlots; ++code) {
            if (loaded && code >= FontTable::kFirstUserCode
                && font.contains(distinctPattern(code).toLatin1()))
                expected.setPattern(code, distinctPattern(code));
            else if (loaded && code < FontTable::kFirstUserCode && font.startsWith("low"))
                expected.setPattern(code, QStringLiteral("low %1").arg(code));
            QCOMPARE(bench.fontarray.pattern(code), expected.pattern(code));
        }
        // The editor shows the table's pattern, loaded or default, so a click stores no other.
        QCOMPARE(text(t, QStringLiteral("udc")), QStringLiteral("A"));
        QCOMPARE(text(t, QStringLiteral("udcpattern")), expected.pattern(65));
        QVERIFY(alertHistory().isEmpty());
    }
};

QTEST_MAIN(TestFontFileBar)
#include "tst_fontfilebar.moc"
