#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "widgets/filedialogs.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

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

    // The open (save false) or save dialog with the font file descriptor unless told otherwise.
    static QString ask(bool save, QString &fileName, const QString &dir,
                       const QString &descriptor = QStringLiteral("Font files,*.fnt"))
    {
        return save ? SaveFileDialog(QStringLiteral("t"), fileName, dir, descriptor, true)
                    : OpenFileDialog(QStringLiteral("t"), fileName, dir, descriptor, false);
    }

    QList<FileDialogRequest> m_requests;
    std::unique_ptr<QuietEnvironment> m_quiet;

private Q_SLOTS:
    void init() { m_quiet = std::make_unique<QuietEnvironment>(); }
    void cleanup()
    {
        setFileDialogResponder({});
        m_quiet.reset();
    }

    void dialogFilter_data()
    {
        QTest::addColumn<QString>("descriptor");
        QTest::addColumn<QString>("filter"); // empty: refused
        QTest::addColumn<QString>("descriptorAfter");
        QTest::addColumn<QString>("qtFilter"); // what the dialog is given

        const QString text = QStringLiteral("Text Files(*.txt)|*.txt");
        const QString both = text + QStringLiteral("|All Files(*.*)|*.*");
        const QString qtBoth = QStringLiteral("Text Files(*.txt);;All Files(*)");
        // clang-format off
        QTest::newRow("font files") << "Font files,*.fnt" << "Font files(*.fnt)|*.fnt"
                << "Font files,*.fnt" << "Font files(*.fnt)";
        QTest::newRow("two pairs") << "Fonts,*.fnt,Logs,*.log"
                << "Fonts(*.fnt)|*.fnt|Logs(*.log)|*.log"
                                   << "Fonts,*.fnt,Logs,*.log" << "Fonts(*.fnt);;Logs(*.log)";
        QTest::newRow("2: text files only") << "2" << text << "2" << "Text Files(*.txt)";
        QTest::newRow("2 with text after it") << "2 files" << text << "2 files"
                << "Text Files(*.txt)";
        QTest::newRow("empty becomes 1") << "" << both << "1" << qtBoth;
        QTest::newRow("0 becomes 1") << "0" << both << "1" << qtBoth;
        QTest::newRow("7") << "7" << both << "7" << qtBoth;
        QTest::newRow("blank before 2") << " 2" << text << " 2" << "Text Files(*.txt)";
        QTest::newRow("-1") << "-1" << both << "-1" << qtBoth;
        QTest::newRow("a huge number") << "99999999999999999999999" << both
                << "99999999999999999999999" << qtBoth;
        QTest::newRow("description only") << "Font files" << "" << "" << "";
        QTest::newRow("three items") << "Fonts,*.fnt,Logs" << "" << "" << "";
        // clang-format on
    }
    void dialogFilter()
    {
        QFETCH(QString, descriptor);
        QFETCH(QString, filter);
        QFETCH(QString, descriptorAfter);
        QFETCH(QString, qtFilter);
        if (filter.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, DialogFilter(descriptor));
            return;
        }
        QCOMPARE(DialogFilter(descriptor), filter);
        QCOMPARE(descriptor, descriptorAfter);
        QCOMPARE(qtFileFilter(filter), qtFilter);
    }

    void resultText_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("directory");
        const QString odd = "/d/caf" + QString(kDialogSeparator);
        // clang-format off
        QTest::newRow("open: a file in a directory") << false << "/d/a.fnt" << "/d/a.fnt" << "/d";
        QTest::newRow("save: a file in the root") << true << "/a.fnt" << "/a.fnt" << "";
        QTest::newRow("save: a typed relative name") << true << "sub/a.fnt" << "/d/sub/a.fnt"
                << "/d/sub";
        // Splitting at the separator would cut such a path short; the helpers do not.
        QTest::newRow("open: the separator inside a name") << false << odd + "/a.fnt"
                << odd + "/a.fnt" << odd;
        // clang-format on
    }
    void resultText()
    {
        QFETCH(bool, save);
        QFETCH(QString, chosen);
        QFETCH(QString, path);
        QFETCH(QString, directory);
        answerWith({chosen});
        QString fileName = QStringLiteral("start.fnt");
        const QString answer = ask(save, fileName, QStringLiteral("/d"));
        QCOMPARE(answer, joined({path, directory, QStringLiteral("a.fnt")}));
        QCOMPARE(dialogResultPath(answer), path);
        QCOMPARE(dialogResultDirectory(answer), directory);
        QCOMPARE(fileName, QStringLiteral("start.fnt"));
        QVERIFY(alertHistory().isEmpty());
    }

    // A dialog that wanders off to another directory, as some platform dialogs do.
    void currentDirectoryIsKeptAndCancelIsSilent_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("open") << false << false;
        QTest::newRow("open cancelled") << false << true;
        QTest::newRow("save") << true << false;
        QTest::newRow("save cancelled") << true << true;
    }
    void currentDirectoryIsKeptAndCancelIsSilent()
    {
        QFETCH(bool, save);
        QFETCH(bool, cancel);
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QVERIFY(before != elsewhere.path());
        setFileDialogResponder([&](const FileDialogRequest &) {
            QDir::setCurrent(elsewhere.path());
            return cancel ? QStringList() : QStringList{elsewhere.filePath("a.fnt")};
        });
        QString fileName = QStringLiteral("old.fnt");
        const QString result = ask(save, fileName, elsewhere.path());
        QCOMPARE(result.isEmpty(), cancel);
        QCOMPARE(QDir::currentPath(), before);
        // Cancelling the open dialog clears the caller's file name.
        QCOMPARE(fileName, cancel && !save ? QString() : QStringLiteral("old.fnt"));
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
        QVERIFY(ask(save, fileName, QStringLiteral("/d"), QStringLiteral("Font files")).isEmpty());
        QVERIFY(m_requests.isEmpty()); // the dialog never opened
        QCOMPARE(alertHistory().size(), 1);
        const AlertRecord &alert = alertHistory().first();
        QCOMPARE(alert.title, title);
        QCOMPARE(alert.style, AlertStyle::Error);
        QCOMPARE(alert.fontSize, fontSize);
        QVERIFY(alert.number != 0);
        QVERIFY(alert.text.contains(QStringLiteral("description without a pattern")));
    }

    void multipleSelection()
    {
        answerWith({"/d/a.fnt", "/d/b.fnt", "/d/c d.fnt"});
        QString fileName;
        QCOMPARE(OpenFileDialog(QStringLiteral("t"), fileName, QStringLiteral("/d"),
                                QStringLiteral("1"), true),
                 joined({"/d", "a.fnt", "b.fnt", "c d.fnt"}));
    }
};

QTEST_MAIN(TestFileDialogs)
#include "tst_filedialogs.moc"
