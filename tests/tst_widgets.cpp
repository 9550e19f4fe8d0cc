#include "support/quietwidgets.h"
#include "support/testhelpers.h"
#include "support/widgethelpers.h"

#include "widgets/alert.h"
#include "widgets/filedialogs.h"
#include "widgets/logpane.h"
#include "widgets/showalertform.h"
#include "widgets/trafficlog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <stdexcept>

// The alert box, the file dialog wrappers and the traffic log panes.
class TestWidgets : public QObject
{
    Q_OBJECT

    std::unique_ptr<QuietWidgets> m_quiet;

    // Acts on the alert once it is on screen.
    void whenShown(std::function<void(ShowAlertForm *)> action)
    {
        QTimer::singleShot(0, this, [this, action] {
            auto *form = qobject_cast<ShowAlertForm *>(QApplication::activeModalWidget());
            form ? action(form) : whenShown(action);
        });
    }

private Q_SLOTS:
    void init() { m_quiet = std::make_unique<QuietWidgets>(); }
    void cleanup()
    {
        setFileDialogResponder({});
        m_quiet.reset();
    }

    void alertStyles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("beeped");
        QTest::addColumn<bool>("left");
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("0") << 0 << 70 << "hello" << true << false << "hello";
        QTest::newRow("1") << 1 << 70 << "hello" << false << true << "hello";
        QTest::newRow("2: the number first") << 2 << 70 << "hello" << true << false << "Error Code: 0x00000046\r\n\r\nhello";
        QTest::newRow("2, no message, negative number") << 2 << qint32(0x80040206u) << "" << true << false << "Error Code: 0x80040206\r\n\r\nAn attempt was made to write";
        QTest::newRow("2, unknown number") << 2 << 12345 << "" << true << false << "Error Code: 0x00003039\r\n\r\nAn error has occured for which no handler is available: [disk on fire]";
        QTest::newRow("3") << 3 << 70 << "hello" << true << true << "hello";
        QTest::newRow("4") << 4 << 70 << "hello" << false << false << "hello";
        // clang-format on
    }
    void alertStyles()
    {
        QFETCH(int, style);
        QFETCH(qint32, number);
        QFETCH(QString, message);
        QFETCH(bool, beeped);
        QFETCH(bool, left);
        QFETCH(QString, shown);
        QVERIFY(showalert(QStringLiteral("T"), message, number, AlertStyle(style), 12,
                          "disk on fire"));
        QCOMPARE(alertHistory().size(), 1);
        const AlertRecord &record = alertHistory().first();
        QVERIFY2(record.text.startsWith(shown), qPrintable(record.text));
        QCOMPARE(record.beeped, beeped);
        QCOMPARE(record.leftAligned, left);
    }

    void alertAnswers_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("answer");
        QTest::newRow("OK") << "ok" << true;
        QTest::newRow("Cancel") << "cancel" << false;
        QTest::newRow("key 6 in the message") << "six" << true;
        QTest::newRow("a second alert meanwhile is refused") << "nested" << true;
    }
    void alertAnswers()
    {
        QFETCH(QString, how);
        QFETCH(bool, answer);
        setAlertResponder({});
        bool nested = true;
        whenShown([&](ShowAlertForm *form) {
            if (how == QLatin1String("ok") || how == QLatin1String("nested")) {
                if (how == QLatin1String("nested"))
                    nested = showalert(QStringLiteral("Again"), QStringLiteral("x"), 0,
                                       AlertStyle::Warning, 0);
                form->findChild<QPushButton *>(QStringLiteral("Command1_0"))->click();
            } else if (how == QLatin1String("cancel")) {
                form->findChild<QPushButton *>(QStringLiteral("Command1_1"))->click();
            } else {
                QTest::keyClick(form->findChild<QPlainTextEdit *>(QStringLiteral("message")),
                                Qt::Key_6);
            }
        });
        QCOMPARE(showalert(QStringLiteral("Real"), QStringLiteral("Body"), 0, AlertStyle::Quiet, 0),
                 answer);
        QVERIFY(!alertShown());
        QCOMPARE(nested, how != QLatin1String("nested"));
    }

    void dialogFilter_data()
    {
        QTest::addColumn<QString>("descriptor");
        QTest::addColumn<QString>("filter"); // empty: refused
        QTest::addColumn<QString>("qtFilter");
        const QString both = QStringLiteral("Text Files(*.txt)|*.txt|All Files(*.*)|*.*");
        // clang-format off
        QTest::newRow("font files") << "Font files,*.fnt" << "Font files(*.fnt)|*.fnt" << "Font files(*.fnt)";
        QTest::newRow("2: text files") << "2" << "Text Files(*.txt)|*.txt" << "Text Files(*.txt)";
        QTest::newRow("empty: both") << "" << both << "Text Files(*.txt);;All Files(*)";
        QTest::newRow("a description alone") << "Font files" << "" << "";
        // clang-format on
    }
    void dialogFilter()
    {
        QFETCH(QString, descriptor);
        QFETCH(QString, filter);
        QFETCH(QString, qtFilter);
        if (filter.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, DialogFilter(descriptor));
            return;
        }
        QCOMPARE(DialogFilter(descriptor), filter);
        QCOMPARE(qtFileFilter(filter), qtFilter);
    }

    // The answer names the path and its folder, even with the separator inside a name; the
    // current directory survives a dialog that changes it, and cancelling is silent.
    void dialogResults_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("chosen"); // empty: cancelled
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("fileNameAfter");
        const QString odd = "/d/caf" + QString(kDialogSeparator);
        // clang-format off
        QTest::newRow("open") << false << odd + "/a.fnt" << odd + "/a.fnt" << "start.fnt";
        QTest::newRow("save, typed relative name") << true << "sub/a.fnt" << "/d/sub/a.fnt" << "start.fnt";
        QTest::newRow("open cancelled") << false << "" << "" << "";
        QTest::newRow("save cancelled") << true << "" << "" << "start.fnt";
        // clang-format on
    }
    void dialogResults()
    {
        QFETCH(bool, save);
        QFETCH(QString, chosen);
        QFETCH(QString, path);
        QFETCH(QString, fileNameAfter);
        const QString before = QDir::currentPath();
        setFileDialogResponder([&](const FileDialogRequest &) {
            QDir::setCurrent(QDir::tempPath());
            return chosen.isEmpty() ? QStringList() : QStringList{chosen};
        });
        QString fileName = QStringLiteral("start.fnt");
        const QString descriptor = QStringLiteral("Font files,*.fnt");
        const QString answer = save ? SaveFileDialog("t", fileName, "/d", descriptor, true)
                                    : OpenFileDialog("t", fileName, "/d", descriptor, false);
        QCOMPARE(dialogResultPath(answer), path);
        QCOMPARE(dialogResultDirectory(answer), path.section(QLatin1Char('/'), 0, -2));
        QCOMPARE(fileName, fileNameAfter);
        QCOMPARE(QDir::currentPath(), before);
        QVERIFY(alertHistory().isEmpty());
    }

    void trafficLog()
    {
        QWidget transmitTab, receiveTab;
        TrafficLog log(&transmitTab, &receiveTab);
        log.logCommand(QStringLiteral("$B7MA[cr]"));
        log.logCommand(QStringLiteral("$B7MA[cr]"));
        log.logtraffic()->setChecked(false);
        log.logCommand(QStringLiteral("$B7MB[cr]"));
        // Checked again, every command is logged, the one last sent unlogged too.
        log.logtraffic()->setChecked(true);
        log.logCommand(QStringLiteral("$B7MB[cr]"));
        log.logCommand(QStringLiteral("$B7MB[cr]"));
        QCOMPARE(log.txlog(),
                 QStringLiteral("$B7MA[cr]\r\n$B7MA[cr]\r\n$B7MB[cr]\r\n$B7MB[cr]\r\n"));
        // A lone control character waits for the next printable one or a CR.
        log.receive("\n");
        log.process();
        QCOMPARE(log.serialin()->toPlainText(), QString());
        log.receive("ok\r");
        log.process();
        QCOMPARE(log.rxlog(), QStringLiteral("[0A]ok[CR]\r\n"));
        log.rxlogenable()->setChecked(false);
        log.receive("lost\r");
        log.process();
        QCOMPARE(log.rxlog(), QStringLiteral("[0A]ok[CR]\r\n"));
        QTest::mouseDClick(log.serialin()->viewport(), Qt::LeftButton);
        QCOMPARE(log.rxlog(), QString());
    }

    // The pane keeps the newest lines; Save writes CR LF lines, with time stamps when asked.
    void logPane_data()
    {
        QTest::addColumn<bool>("stamps");
        QTest::addColumn<QString>("saved"); // a pattern for the file
        const QString stamp = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
        QTest::newRow("CR LF") << false << "99998\r\n99999\r\n";
        QTest::newRow("time stamps") << true << stamp + "99998\r\n" + stamp + "99999\r\n";
    }
    void logPane()
    {
        QFETCH(bool, stamps);
        QFETCH(QString, saved);
        QTemporaryDir dir;
        LogPane pane(QStringLiteral("pane"));
        QString lines;
        for (int i = 0; i < LogPane::kMaxLines + 50; ++i)
            lines += QString::number(i) + QStringLiteral("\r\n");
        pane.appendText(lines);
        QCOMPARE(pane.lineCount(), LogPane::kMaxLines);
        QVERIFY(pane.toPlainText().startsWith(QStringLiteral("50\n")));
        pane.clearLog();
        pane.timeStampsAction()->setChecked(stamps);
        pane.appendText(QStringLiteral("99998\r\n99999"));
        pane.appendText(QStringLiteral("\r\n"));
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        answerDialogsWith(path);
        pane.saveLogAs();
        QVERIFY(alertHistory().isEmpty());
        const QString written = QString::fromUtf8(readFile(path));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(saved))
                         .match(written)
                         .hasMatch(),
                 qPrintable(written));
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
