#include "app/alert.h"
#include "app/filedialogs.h"
#include "app/workbench.h"
#include "font/fonttable.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <array>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

// Load and Save of user-font files from the Display tab, and the font loaded at start-up.
class TestFontFileBar : public QObject
{
    Q_OBJECT

    using Slots = std::array<QString, FontTable::kSlots>;

    // A different valid pattern for every code.
    static QString pattern(int code)
    {
        QString text;
        const unsigned mixed = static_cast<unsigned>(code) * 2654435761u;
        for (int k = 0; k < FontTable::kSegments; ++k)
            text += (mixed >> (k + 9)) & 1u ? QLatin1Char('1') : QLatin1Char('0');
        return text;
    }

    static QByteArray savedFile(int shift = 0)
    {
        QByteArray bytes;
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            bytes += QString::number(code).rightJustified(3, QLatin1Char('0')).toLatin1() + ' '
                     + pattern(code + shift).toLatin1() + "\r\n";
        return bytes;
    }

    static QByteArray bareFile()
    {
        QByteArray bytes;
        for (int slot = 0; slot < FontTable::kSlots; ++slot)
            bytes += (slot < FontTable::kFirstUserCode
                              ? QByteArray("low ") + QByteArray::number(slot)
                              : pattern(slot).toLatin1())
                     + "\r\n";
        return bytes;
    }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    static Slots table(TestWindow &t)
    {
        Slots all;
        for (int code = 0; code < FontTable::kSlots; ++code)
            all[static_cast<size_t>(code)] = t.window().workbench().fontarray.pattern(code);
        return all;
    }

    static Slots defaults()
    {
        FontTable font;
        font.resetfont();
        Slots all;
        for (int code = 0; code < FontTable::kSlots; ++code)
            all[static_cast<size_t>(code)] = font.pattern(code);
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

    // Counts the editor refreshes instead of drawing.
    void countRefreshes(TestWindow &t)
    {
        m_refreshes = 0;
        t.window().workbench().setShowsegments([this] { ++m_refreshes; });
    }

    static void click(TestWindow &t, const QString &name)
    {
        auto *button = t.find<QPushButton>(name);
        QVERIFY(button);
        button->click();
    }

    static QString text(TestWindow &t, const QString &name)
    {
        auto *field = t.find<QLineEdit>(name);
        return field ? field->text() : QStringLiteral("<missing %1>").arg(name);
    }

    QList<FileDialogRequest> m_requests;
    int m_refreshes = 0;

private Q_SLOTS:
    void cleanup() { setFileDialogResponder({}); }

    void buttonsAndField()
    {
        TestWindow t;
        QCOMPARE(t.find<QPushButton>(QStringLiteral("Command2_6"))->text(), QStringLiteral("Load"));
        QCOMPARE(t.find<QPushButton>(QStringLiteral("Command2_7"))->text(), QStringLiteral("Save"));
        QCOMPARE(t.window().workbench().fontfile.data(),
                 t.find<QLineEdit>(QStringLiteral("fontfile")));
    }

    void saveThenLoadRestoresEveryPattern()
    {
        TestWindow t;
        Workbench &bench = t.window().workbench();
        Slots expected = table(t);
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            expected[static_cast<size_t>(code)] = pattern(code);
        expected[40] = pattern(40) + QStringLiteral("1"); // kept whole both ways
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            bench.fontarray.setPattern(code, expected[static_cast<size_t>(code)]);

        const QString folder = t.dir() + QStringLiteral("/fonts");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/mine"); // no extension is added
        const QString startDir = bench.settingslines.at(1);
        answerWith(path);
        click(t, QStringLiteral("Command2_7"));

        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(m_requests.first().title, QStringLiteral("Select user font file to save"));
        QCOMPARE(m_requests.first().initialDirectory, startDir);
        QCOMPARE(m_requests.first().filter, QStringLiteral("Font files(*.fnt)"));
        QCOMPARE(m_requests.first().mode, FileDialogMode::Save);
        QVERIFY(m_requests.first().confirmOverwrite);
        QCOMPARE(bench.status(), QStringLiteral("Character set file saved"));
        QCOMPARE(text(t, QStringLiteral("fontfile")), path);
        QCOMPARE(bench.settingslines.at(1), folder);
        QVERIFY(!QFile::exists(path + QStringLiteral(".fnt")));
        const QByteArray saved = read(path);
        QVERIFY(saved.startsWith("010 " + pattern(10).toLatin1() + "\r\n"));
        QVERIFY(saved.contains("\r\n040 " + expected[40].toLatin1() + "\r\n"));
        QCOMPARE(saved.count("\r\n"), 116);
        QVERIFY(alertHistory().isEmpty());

        t.window().resetfont();
        bench.setStatus(QStringLiteral("before"));
        bench.settingslines[1] = QStringLiteral("/elsewhere");
        answerWith(path);
        click(t, QStringLiteral("Command2_6"));

        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(m_requests.first().title, QStringLiteral("Select user font file to load"));
        QCOMPARE(m_requests.first().initialDirectory, QStringLiteral("/elsewhere"));
        QCOMPARE(m_requests.first().filter, QStringLiteral("Font files(*.fnt)"));
        QCOMPARE(m_requests.first().mode, FileDialogMode::Open);
        QCOMPARE(bench.status(), QStringLiteral("Character set file successfully loaded"));
        QCOMPARE(text(t, QStringLiteral("fontfile")), path);
        QCOMPARE(bench.settingslines.at(1), folder);
        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            QCOMPARE(bench.fontarray.pattern(code), expected[static_cast<size_t>(code)]);
        // The editor shows the loaded pattern of the current character.
        QCOMPARE(text(t, QStringLiteral("acc")), QStringLiteral("65"));
        QCOMPARE(text(t, QStringLiteral("udcpattern")), pattern(65));
        QVERIFY(alertHistory().isEmpty());
    }

    void saveReplacesAnExistingFile()
    {
        TestWindow t;
        const QString path = t.dir() + QStringLiteral("/old.fnt");
        write(path, "old contents\r\n");
        t.window().workbench().fontarray.setPattern(10, pattern(10));
        answerWith(path);
        click(t, QStringLiteral("Command2_7"));
        QVERIFY(read(path).startsWith("010 " + pattern(10).toLatin1() + "\r\n"));
        QCOMPARE(t.window().workbench().status(), QStringLiteral("Character set file saved"));
    }

    void refreshesOnceAfterSuccess_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("load") << QStringLiteral("Command2_6");
        QTest::newRow("save") << QStringLiteral("Command2_7");
    }

    void refreshesOnceAfterSuccess()
    {
        QFETCH(QString, button);
        TestWindow t;
        const QString path = t.dir() + QStringLiteral("/a.fnt");
        write(path, savedFile());
        countRefreshes(t);
        answerWith(path);
        click(t, button);
        QVERIFY(!t.window().workbench().status().isEmpty());
        QCOMPARE(m_refreshes, 1);
    }

    void cancelChangesNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("load") << QStringLiteral("Command2_6");
        QTest::newRow("save") << QStringLiteral("Command2_7");
    }

    void cancelChangesNothing()
    {
        QFETCH(QString, button);
        TestWindow t;
        Workbench &bench = t.window().workbench();
        bench.settingslines[1] = QStringLiteral("/remembered");
        bench.fontfile->setText(QStringLiteral("/previous.fnt"));
        bench.setStatus(QStringLiteral("earlier status"));
        const Slots before = table(t);
        countRefreshes(t);
        answerWith(QString());
        click(t, button);
        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(bench.status(), QString());
        QCOMPARE(m_refreshes, 0);
        QVERIFY(table(t) == before);
        QCOMPARE(bench.settingslines.at(1), QStringLiteral("/remembered"));
        QCOMPARE(bench.fontfile->text(), QStringLiteral("/previous.fnt"));
        QVERIFY(alertHistory().isEmpty());
    }

    void refusedLoadChangesOnlyTheDirectory_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("status");

        const QByteArray good = savedFile();
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("File is empty");
        QTest::newRow("115 lines") << good.left(good.size() - 21)
                                   << QStringLiteral("Less than 116 font patterns, load aborted");
        QByteArray alone = good;
        alone.replace(0, 19, "010");
        QTest::newRow("010 alone")
                << alone << QStringLiteral("Font pattern 10 too few symbols, load aborted");
        QByteArray two = good;
        const qsizetype line56 = 55 * 21;
        QCOMPARE(two.mid(line56, 4), QByteArray("065 "));
        two[line56 + 4 + 6] = '2';
        QTest::newRow("a 2 on line 56")
                << two << QStringLiteral("Font pattern 65 invalid symbol, load aborted");
    }

    void refusedLoadChangesOnlyTheDirectory()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, status);
        TestWindow t;
        Workbench &bench = t.window().workbench();
        const QString folder = t.dir() + QStringLiteral("/bad");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/bad.fnt");
        write(path, bytes);
        bench.fontfile->setText(QStringLiteral("/previous.fnt"));
        const Slots before = table(t);
        countRefreshes(t);
        answerWith(path);
        click(t, QStringLiteral("Command2_6"));
        QCOMPARE(bench.status(), status);
        QVERIFY(table(t) == before);
        QCOMPARE(bench.fontfile->text(), QStringLiteral("/previous.fnt"));
        QCOMPARE(bench.settingslines.at(1), folder);
        QCOMPARE(m_refreshes, 0);
        QVERIFY(alertHistory().isEmpty());
    }

    void unreadableLoadAlerts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("missing file") << QStringLiteral("missing.fnt") << 75;
        QTest::newRow("a directory") << QStringLiteral("folder.fnt") << 75;
        QTest::newRow("parent is a regular file") << QStringLiteral("plain/a.fnt") << 76;
    }

    void unreadableLoadAlerts()
    {
        QFETCH(QString, name);
        QFETCH(int, number);
        TestWindow t;
        Workbench &bench = t.window().workbench();
        QVERIFY(QDir().mkpath(t.dir() + QStringLiteral("/folder.fnt")));
        write(t.dir() + QStringLiteral("/plain"), "a file, not a directory");
        bench.fontfile->setText(QStringLiteral("/previous.fnt"));
        const Slots before = table(t);
        countRefreshes(t);
        answerWith(t.dir() + QLatin1Char('/') + name);
        click(t, QStringLiteral("Command2_6"));
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("File open error"));
        QCOMPARE(alertHistory().first().number, number);
        QCOMPARE(alertHistory().first().style, 2);
        QCOMPARE(bench.status(), QString());
        QVERIFY(table(t) == before);
        QCOMPARE(bench.fontfile->text(), QStringLiteral("/previous.fnt"));
        QCOMPARE(m_refreshes, 0);
    }

    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("fileSizeLimit");
        QTest::addColumn<bool>("readOnlyFolder");
        // Tests often run as root, whom permission bits do not stop; these failures are real
        // for every user.
        QTest::newRow("parent is a regular file")
                << QStringLiteral("plain/a.fnt") << 76 << false << false;
        QTest::newRow("target is a directory")
                << QStringLiteral("folder.fnt") << 75 << false << false;
        QTest::newRow("write fails part-way over an existing file")
                << QStringLiteral("old.fnt") << 75 << true << false;
        QTest::newRow("read-only directory")
                << QStringLiteral("locked/old.fnt") << 75 << false << true;
    }

    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, target);
        QFETCH(int, number);
        QFETCH(bool, fileSizeLimit);
        QFETCH(bool, readOnlyFolder);
        if (readOnlyFolder && geteuid() == 0)
            QSKIP("permission bits do not stop root; the other rows fail the write for everyone");

        TestWindow t;
        Workbench &bench = t.window().workbench();
        QVERIFY(QDir().mkpath(t.dir() + QStringLiteral("/folder.fnt")));
        write(t.dir() + QStringLiteral("/folder.fnt/inside.txt"), "kept");
        write(t.dir() + QStringLiteral("/plain"), "a file, not a directory");
        QVERIFY(QDir().mkpath(t.dir() + QStringLiteral("/locked")));
        const QByteArray old = savedFile(7);
        write(t.dir() + QStringLiteral("/old.fnt"), old);
        write(t.dir() + QStringLiteral("/locked/old.fnt"), old);
        const QString lockedDir = t.dir() + QStringLiteral("/locked");
        if (readOnlyFolder)
            QFile::setPermissions(lockedDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QStringList listing
                = QDir(t.dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
            bench.fontarray.setPattern(code, pattern(code));
        bench.fontfile->setText(QStringLiteral("/previous.fnt"));
        countRefreshes(t);
        answerWith(t.dir() + QLatin1Char('/') + target);

        struct rlimit saved = {};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (fileSizeLimit) {
            // Stops the write after 1000 bytes, as a full disk would.
            struct rlimit small = saved;
            small.rlim_cur = 1000;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        click(t, QStringLiteral("Command2_7"));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        if (readOnlyFolder)
            QFile::setPermissions(lockedDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                     | QFileDevice::ExeOwner);

        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("File save error"));
        QCOMPARE(alertHistory().first().number, number);
        QCOMPARE(alertHistory().first().style, 2);
        QCOMPARE(alertHistory().first().fontSize, 12.0);
        QCOMPARE(bench.status(), QString());
        QCOMPARE(bench.fontfile->text(), QStringLiteral("/previous.fnt"));
        QCOMPARE(m_refreshes, 0);
        // Nothing was destroyed and nothing half-written was left behind.
        QCOMPARE(read(t.dir() + QStringLiteral("/old.fnt")), old);
        QCOMPARE(read(t.dir() + QStringLiteral("/locked/old.fnt")), old);
        QCOMPARE(read(t.dir() + QStringLiteral("/plain")), QByteArray("a file, not a directory"));
        QCOMPARE(read(t.dir() + QStringLiteral("/folder.fnt/inside.txt")), QByteArray("kept"));
        QCOMPARE(QDir(t.dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), listing);
        QCOMPARE(QDir(lockedDir).entryList(QDir::Files), QStringList{QStringLiteral("old.fnt")});
    }

    void startup_data()
    {
        QTest::addColumn<QByteArray>("pointer"); // "<none>": no pointer file
        QTest::addColumn<QByteArray>("font");    // "<none>": no font file
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("slot65");
        QTest::addColumn<QString>("slot3");
        QTest::addColumn<QString>("udcpattern");
        QTest::addColumn<QString>("fontfile"); // "@" is the program's directory

        const QByteArray none("<none>");
        const QString defaultA = QStringLiteral("000000000100010");
        const QString allOff = FontTable::allOff();
        const QString loaded = QStringLiteral("Character set file loaded");
        QTest::newRow("no pointer file")
                << none << savedFile() << QString() << defaultA << QString() << allOff << QString();
        QTest::newRow("pointer to a missing file")
                << QByteArray("@/missing.fnt\r\n") << none << QString() << defaultA << QString()
                << allOff << QStringLiteral("@/missing.fnt");
        QTest::newRow("empty pointer file") << QByteArray() << savedFile() << QString() << defaultA
                                            << QString() << allOff << QString();
        QTest::newRow("126-line layout")
                << QByteArray("@/font.fnt\r\n") << bareFile() << loaded << pattern(65)
                << QStringLiteral("low 3") << pattern(65) << QStringLiteral("@/font.fnt");
        QTest::newRow("Save layout")
                << QByteArray("@/font.fnt\r\n") << savedFile() << loaded << pattern(65) << QString()
                << pattern(65) << QStringLiteral("@/font.fnt");
        QTest::newRow("only the first line of the pointer counts, LF alone")
                << QByteArray("@/font.fnt\nsecond line\n") << savedFile() << loaded << pattern(65)
                << QString() << pattern(65) << QStringLiteral("@/font.fnt");
        QTest::newRow("fits neither layout")
                << QByteArray("@/font.fnt") << QByteArray("000000000000000\r\n").repeated(50)
                << QStringLiteral("Character set file not loaded: fewer than 126 lines") << defaultA
                << QString() << allOff << QStringLiteral("@/font.fnt");
        QByteArray two = bareFile();
        two.replace(pattern(65).toLatin1(), "000000000200010");
        QTest::newRow("a bad pattern in the 126-line layout")
                << QByteArray("@/font.fnt") << two
                << QStringLiteral(
                           "Character set file not loaded: line 66 is not a 15-segment pattern")
                << defaultA << QString() << allOff << QStringLiteral("@/font.fnt");
    }

    void startup()
    {
        QFETCH(QByteArray, pointer);
        QFETCH(QByteArray, font);
        QFETCH(QString, status);
        QFETCH(QString, slot65);
        QFETCH(QString, slot3);
        QFETCH(QString, udcpattern);
        QFETCH(QString, fontfile);

        TestWindow t(false);
        const QString fontPath = t.dir() + QStringLiteral("/font.fnt");
        if (pointer != "<none>")
            write(t.dir() + QStringLiteral("/vk.ini"),
                  QByteArray(pointer).replace("@", t.dir().toLocal8Bit()));
        if (font != "<none>")
            write(fontPath, font);
        t.window().startup();

        Workbench &bench = t.window().workbench();
        QCOMPARE(bench.status(), status);
        QCOMPARE(bench.fontarray.pattern(65), slot65);
        QCOMPARE(bench.fontarray.pattern(3), slot3);
        QCOMPARE(text(t, QStringLiteral("udc")), QStringLiteral("A"));
        QCOMPARE(text(t, QStringLiteral("udcpattern")), udcpattern);
        QCOMPARE(text(t, QStringLiteral("fontfile")),
                 QString(fontfile).replace(QLatin1Char('@'), t.dir()));
        if (status == QStringLiteral("Character set file loaded")) {
            for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
                QCOMPARE(bench.fontarray.pattern(code), pattern(code));
        } else {
            QVERIFY(table(t) == defaults());
        }
        QVERIFY(alertHistory().isEmpty());
    }
};

QTEST_MAIN(TestFontFileBar)
#include "tst_fontfilebar.moc"
