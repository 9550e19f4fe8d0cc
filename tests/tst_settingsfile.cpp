#include "support/testhelpers.h"

#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "app/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

namespace {

// The hundred lines a save writes, the first ones given.
QByteArray hundredLines(const QStringList &first)
{
    QStringList lines = first.mid(0, kSettingsLines);
    while (lines.size() < kSettingsLines)
        lines.append(QString());
    return joinLines(lines);
}

} // namespace

// The settings file on disk: created, cut, carried and rewritten safely.
class TestSettingsFile : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

private Q_SLOTS:
    void initTestCase()
    {
        InitConstants();
        setAlertResponder([](const AlertRecord &) { return true; });
    }
    void init()
    {
        clearAlertHistory();
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(QStringLiteral("vornik.ini"));
    }

    void firstStartCreatesTwoBlankLinesThenSavesHundred_data()
    {
        QTest::addColumn<bool>("emptyFileFirst");
        QTest::newRow("no file") << false;
        QTest::newRow("empty file") << true;
    }
    void firstStartCreatesTwoBlankLinesThenSavesHundred()
    {
        QFETCH(bool, emptyFileFirst);
        QStringList lines = emptySettingsLines();
        QVERIFY(!QFile::exists(m_path));
        if (emptyFileFirst)
            QVERIFY(writeFile(m_path, QByteArray()));
        IniFile(IniMode::Load, m_path, lines);
        QCOMPARE(readFile(m_path), QByteArray(" \r\n \r\n"));
        QCOMPARE(lines.mid(1, 3), (QStringList{QStringLiteral(" "), QStringLiteral(" "), {}}));
        IniFile(IniMode::Save, m_path, lines);
        QCOMPARE(readFile(m_path), hundredLines({QStringLiteral(" "), QStringLiteral(" ")}));
        QVERIFY(alertHistory().isEmpty());
    }

    void loadCarriesTheFirstHundredLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("lines");

        QStringList many;
        for (int i = 1; i <= 150; ++i)
            many.append(QStringLiteral("line%1").arg(i));
        const QString umlaut = QString::fromUtf8("/home/jürgen/Schriften");
        QTest::newRow("150 lines") << joinLines(many) << many.mid(0, kSettingsLines);
        QTest::newRow("CR LF") << QByteArray("/a\r\nb\r\n") << QStringList{"/a", "b"};
        QTest::newRow("LF alone") << QByteArray("/a\nb\n") << QStringList{"/a", "b"};
        QTest::newRow("no final line end") << QByteArray("/a\r\nb") << QStringList{"/a", "b"};
        QTest::newRow("non-ASCII directory")
                << (umlaut + "\r\n").toLocal8Bit() << QStringList{umlaut};
    }
    void loadCarriesTheFirstHundredLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, lines);
        QVERIFY(writeFile(m_path, content));
        QStringList slots = emptySettingsLines();
        IniFile(IniMode::Load, m_path, slots);
        QCOMPARE(slots.mid(1, lines.size()), lines);
        IniFile(IniMode::Save, m_path, slots);
        QCOMPARE(readFile(m_path), hundredLines(lines));
    }

    void oldFileIsRewritten_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("read-only") << QStringLiteral("read-only");
        // Its other name must see the new settings too.
        QTest::newRow("hard-linked") << QStringLiteral("hard-linked");
    }
    void oldFileIsRewritten()
    {
        QFETCH(QString, kind);
        QVERIFY(writeFile(m_path, "old\r\n"));
        const QString other = m_dir->filePath(QStringLiteral("other.ini"));
        if (kind == QLatin1String("read-only"))
            QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::ReadUser);
        else
            QCOMPARE(::link(QFile::encodeName(m_path).constData(),
                            QFile::encodeName(other).constData()), 0);
        QStringList lines = emptySettingsLines();
        lines[1] = QStringLiteral("/fonts");
        QVERIFY(IniFile(IniMode::Save, m_path, lines));
        QCOMPARE(readFile(m_path), hundredLines({QStringLiteral("/fonts")}));
        if (kind == QLatin1String("hard-linked"))
            QCOMPARE(readFile(other), readFile(m_path));
        QVERIFY(QFileInfo(m_path).permissions() & QFileDevice::WriteOwner);
        QVERIFY(alertHistory().isEmpty());
    }

    void failedSaveKeepsOldFileWhole()
    {
        const QByteArray old = hundredLines({QStringLiteral("/old/fonts")});
        QVERIFY(writeFile(m_path, old));
        QStringList lines = emptySettingsLines();
        for (int slot = 1; slot <= kSettingsLines; ++slot)
            lines[slot] = QString(40, QLatin1Char('x'));
        {
            FileSizeLimit limit(1000);
            IniFile(IniMode::Save, m_path, lines);
        }
        QCOMPARE(readFile(m_path), old);
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("Ini file load/save error"));
        QVERIFY(alertHistory().first().text.contains(QStringLiteral(
                "This is usually the result of another program taking over the INI file for this "
                "program.  This can typically be resolved by deleting the INI file in this "
                "program's directory and then re-starting the program")));
        QCOMPARE(alertHistory().first().style, AlertStyle::Error);
        // No temporary file is left beside it.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"vornik.ini"});
    }
};

QTEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
