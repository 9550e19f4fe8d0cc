#include "app/alert.h"
#include "app/basicutilities.h"
#include "app/filedialogs.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

Q_DECLARE_METATYPE(FileDialogMode)

// The open and save dialog wrappers: the filter text, the result text, cancelling and failing.
class TestFileDialogs : public QObject
{
    Q_OBJECT

    static QString joined(const QStringList &parts) { return parts.join(kDialogSeparator); }

    // Answers every dialog with `answer` and keeps the requests.
    void answerWith(const QStringList &answer)
    {
        m_requests.clear();
        setFileDialogResponder([this, answer](const FileDialogRequest &request) {
            m_requests.append(request);
            return answer;
        });
    }

    QList<FileDialogRequest> m_requests;
    std::unique_ptr<QuietEnvironment> m_quiet;

private Q_SLOTS:
    void init()
    {
        m_quiet = std::make_unique<QuietEnvironment>();
        m_requests.clear();
    }
    void cleanup()
    {
        setFileDialogResponder({});
        m_quiet.reset();
    }

    void dialogFilter_data()
    {
        QTest::addColumn<QString>("descriptor");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("descriptorAfter");

        const QString text = QStringLiteral("Text Files(*.txt)|*.txt");
        const QString both = text + QStringLiteral("|All Files(*.*)|*.*");
        QTest::newRow("font files")
                << QStringLiteral("Font files,*.fnt") << QStringLiteral("Font files(*.fnt)|*.fnt")
                << QStringLiteral("Font files,*.fnt");
        QTest::newRow("two pairs") << QStringLiteral("Fonts,*.fnt,Logs,*.log")
                                   << QStringLiteral("Fonts(*.fnt)|*.fnt|Logs(*.log)|*.log")
                                   << QStringLiteral("Fonts,*.fnt,Logs,*.log");
        QTest::newRow("2: text files only") << QStringLiteral("2") << text << QStringLiteral("2");
        QTest::newRow("02 reads as 2") << QStringLiteral("02") << text << QStringLiteral("02");
        QTest::newRow("2 with text after it")
                << QStringLiteral("2 files") << text << QStringLiteral("2 files");
        QTest::newRow("empty becomes 1") << QString() << both << QStringLiteral("1");
        QTest::newRow("0 becomes 1") << QStringLiteral("0") << both << QStringLiteral("1");
        QTest::newRow("1") << QStringLiteral("1") << both << QStringLiteral("1");
        QTest::newRow("7") << QStringLiteral("7") << both << QStringLiteral("7");
        QTest::newRow("a huge number") << QStringLiteral("99999999999999999999999") << both
                                       << QStringLiteral("99999999999999999999999");
    }

    void dialogFilter()
    {
        QFETCH(QString, descriptor);
        QFETCH(QString, filter);
        QFETCH(QString, descriptorAfter);
        QCOMPARE(DialogFilter(descriptor), filter);
        QCOMPARE(descriptor, descriptorAfter);
    }

    void dialogFilterRefusesOddLists_data()
    {
        QTest::addColumn<QString>("descriptor");
        QTest::newRow("description only") << QStringLiteral("Font files");
        QTest::newRow("three items") << QStringLiteral("Fonts,*.fnt,Logs");
        QTest::newRow("trailing comma") << QStringLiteral("Font files,*.fnt,");
    }

    void dialogFilterRefusesOddLists()
    {
        QFETCH(QString, descriptor);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, DialogFilter(descriptor));
    }

    void qtFilter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qt");
        QTest::newRow("font files")
                << QStringLiteral("Font files(*.fnt)|*.fnt") << QStringLiteral("Font files(*.fnt)");
        QTest::newRow("all files means every file")
                << QStringLiteral("Text Files(*.txt)|*.txt|All Files(*.*)|*.*")
                << QStringLiteral("Text Files(*.txt);;All Files(*)");
        QTest::newRow("several patterns") << QStringLiteral("Pictures|*.png;*.bmp")
                                          << QStringLiteral("Pictures(*.png *.bmp)");
    }

    void qtFilter()
    {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QCOMPARE(qtFileFilter(filter), qt);
    }

    void resultText_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("initialDir");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("result");

        for (const bool save : {false, true}) {
            const char *kind = save ? "save" : "open";
            QTest::addRow("%s: a file in a directory", kind)
                    << save << QStringLiteral("/d") << QStringLiteral("/d/a.fnt")
                    << joined({QStringLiteral("/d/a.fnt"), QStringLiteral("/d"),
                               QStringLiteral("a.fnt")});
            QTest::addRow("%s: blanks in the names", kind)
                    << save << QStringLiteral("/d") << QStringLiteral("/d/my fonts/big font.fnt")
                    << joined({QStringLiteral("/d/my fonts/big font.fnt"),
                               QStringLiteral("/d/my fonts"), QStringLiteral("big font.fnt")});
            QTest::addRow("%s: a file in the root", kind)
                    << save << QStringLiteral("/") << QStringLiteral("/a.fnt")
                    << joined({QStringLiteral("/a.fnt"), QString(), QStringLiteral("a.fnt")});
            QTest::addRow("%s: a name without extension", kind)
                    << save << QStringLiteral("/d") << QStringLiteral("/d/font")
                    << joined({QStringLiteral("/d/font"), QStringLiteral("/d"),
                               QStringLiteral("font")});
            QTest::addRow("%s: a typed relative name", kind)
                    << save << QStringLiteral("/d") << QStringLiteral("sub/a.fnt")
                    << joined({QStringLiteral("/d/sub/a.fnt"), QStringLiteral("/d/sub"),
                               QStringLiteral("a.fnt")});
        }
    }

    void resultText()
    {
        QFETCH(bool, save);
        QFETCH(QString, initialDir);
        QFETCH(QString, chosen);
        QFETCH(QString, result);
        answerWith({chosen});
        QString fileName = QStringLiteral("start.fnt");
        const QString answer = save ? SaveFileDialog(QStringLiteral("Title"), fileName, initialDir,
                                                     QStringLiteral("Font files,*.fnt"), true)
                                    : OpenFileDialog(QStringLiteral("Title"), fileName, initialDir,
                                                     QStringLiteral("Font files,*.fnt"), false);
        QCOMPARE(answer, result);
        QCOMPARE(Field(answer, 2, kDialogSeparator), Field(result, 2, kDialogSeparator));
        QCOMPARE(dialogResultPath(answer), Field(result, 1, kDialogSeparator));
        QCOMPARE(dialogResultDirectory(answer), Field(result, 2, kDialogSeparator));
        QCOMPARE(fileName, QStringLiteral("start.fnt"));
        QVERIFY(alertHistory().isEmpty());
    }

    void requestCarriesTheArguments_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<FileDialogMode>("mode");
        QTest::addColumn<bool>("confirmOverwrite");
        QTest::newRow("open") << 0 << FileDialogMode::Open << false;
        QTest::newRow("open several") << 1 << FileDialogMode::OpenMultiple << false;
        QTest::newRow("save asking before overwriting") << 2 << FileDialogMode::Save << true;
        QTest::newRow("save without asking") << 3 << FileDialogMode::Save << false;
    }

    void requestCarriesTheArguments()
    {
        QFETCH(int, kind);
        QFETCH(FileDialogMode, mode);
        QFETCH(bool, confirmOverwrite);
        answerWith({});
        QString fileName = QStringLiteral("first.fnt");
        const QString title = QStringLiteral("Pick one");
        const QString dir = QStringLiteral("/fonts");
        const QString descriptor = QStringLiteral("Font files,*.fnt");
        if (kind < 2)
            OpenFileDialog(title, fileName, dir, descriptor, kind == 1);
        else
            SaveFileDialog(title, fileName, dir, descriptor, kind == 2);
        QCOMPARE(m_requests.size(), 1);
        const FileDialogRequest &request = m_requests.first();
        QCOMPARE(request.title, title);
        QCOMPARE(request.initialDirectory, dir);
        QCOMPARE(request.fileName, QStringLiteral("first.fnt"));
        QCOMPARE(request.filter, QStringLiteral("Font files(*.fnt)"));
        QCOMPARE(request.mode, mode);
        QCOMPARE(request.confirmOverwrite, confirmOverwrite);
    }

    void cancelReturnsNothingAndAlertsNothing_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("fileNameAfter");
        QTest::newRow("open clears the file name") << false << QString();
        QTest::newRow("save") << true << QStringLiteral("old.fnt");
    }

    void cancelReturnsNothingAndAlertsNothing()
    {
        QFETCH(bool, save);
        QFETCH(QString, fileNameAfter);
        answerWith({});
        QString fileName = QStringLiteral("old.fnt");
        const QString result
                = save ? SaveFileDialog(QStringLiteral("t"), fileName, QStringLiteral("/"),
                                        QStringLiteral("Font files,*.fnt"), true)
                       : OpenFileDialog(QStringLiteral("t"), fileName, QStringLiteral("/"),
                                        QStringLiteral("Font files,*.fnt"), false);
        QVERIFY(result.isEmpty());
        QCOMPARE(fileName, fileNameAfter);
        QVERIFY(alertHistory().isEmpty());
    }

    void oddDescriptorIsReported_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("title");
        QTest::addColumn<double>("fontSize");
        QTest::newRow("open") << false << QStringLiteral("File open error") << 0.0;
        QTest::newRow("save") << true << QStringLiteral("File save error") << 12.0;
    }

    void oddDescriptorIsReported()
    {
        QFETCH(bool, save);
        QFETCH(QString, title);
        QFETCH(double, fontSize);
        answerWith({QStringLiteral("/d/a.fnt")});
        QString fileName;
        const QString result
                = save ? SaveFileDialog(QStringLiteral("t"), fileName, QStringLiteral("/d"),
                                        QStringLiteral("Font files"), true)
                       : OpenFileDialog(QStringLiteral("t"), fileName, QStringLiteral("/d"),
                                        QStringLiteral("Font files"), false);
        QVERIFY(result.isEmpty());
        QVERIFY(m_requests.isEmpty()); // the dialog never opened
        QCOMPARE(alertHistory().size(), 1);
        const AlertRecord &alert = alertHistory().first();
        QCOMPARE(alert.title, title);
        QCOMPARE(alert.style, 2);
        QCOMPARE(alert.fontSize, fontSize);
        QVERIFY(alert.number != 0);
        QVERIFY(alert.text.contains(QStringLiteral("description without a pattern")));
    }

    void multipleSelection_data()
    {
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<QString>("result");
        QTest::newRow("one file") << QStringList{QStringLiteral("/d/a.fnt")}
                                  << joined({QStringLiteral("/d"), QStringLiteral("a.fnt")});
        QTest::newRow("three files")
                << QStringList{QStringLiteral("/d/a.fnt"), QStringLiteral("/d/b.fnt"),
                               QStringLiteral("/d/c d.fnt")}
                << joined({QStringLiteral("/d"), QStringLiteral("a.fnt"), QStringLiteral("b.fnt"),
                           QStringLiteral("c d.fnt")});
    }

    void multipleSelection()
    {
        QFETCH(QStringList, chosen);
        QFETCH(QString, result);
        answerWith(chosen);
        QString fileName;
        QCOMPARE(OpenFileDialog(QStringLiteral("t"), fileName, QStringLiteral("/d"),
                                QStringLiteral("1"), true),
                 result);
    }

    void currentDirectoryIsKept_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("open") << false << false;
        QTest::newRow("open cancelled") << false << true;
        QTest::newRow("save") << true << false;
        QTest::newRow("save cancelled") << true << true;
    }

    void currentDirectoryIsKept()
    {
        QFETCH(bool, save);
        QFETCH(bool, cancel);
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QVERIFY(before != elsewhere.path());
        // A dialog that wanders off, as some platform dialogs do.
        setFileDialogResponder([&](const FileDialogRequest &) {
            QDir::setCurrent(elsewhere.path());
            return cancel ? QStringList()
                          : QStringList{elsewhere.filePath(QStringLiteral("a.fnt"))};
        });
        QString fileName;
        const QString result
                = save ? SaveFileDialog(QStringLiteral("t"), fileName, elsewhere.path(),
                                        QStringLiteral("Font files,*.fnt"), true)
                       : OpenFileDialog(QStringLiteral("t"), fileName, elsewhere.path(),
                                        QStringLiteral("Font files,*.fnt"), false);
        QCOMPARE(result.isEmpty(), cancel);
        QCOMPARE(QDir::currentPath(), before);
    }

    void resultWithTheSeparatorInsideAName()
    {
        const QString strange
                = QStringLiteral("/d/caf") + kDialogSeparator + QStringLiteral("/a.fnt");
        answerWith({strange});
        QString fileName;
        const QString result = OpenFileDialog(QStringLiteral("t"), fileName, QStringLiteral("/d"),
                                              QStringLiteral("Font files,*.fnt"), false);
        // Splitting at the separator would cut the path short; the helpers do not.
        QVERIFY(Field(result, 1, kDialogSeparator) != strange);
        QCOMPARE(dialogResultPath(result), strange);
        QCOMPARE(dialogResultDirectory(result), QStringLiteral("/d/caf") + kDialogSeparator);
    }
};

QTEST_MAIN(TestFileDialogs)
#include "tst_filedialogs.moc"
