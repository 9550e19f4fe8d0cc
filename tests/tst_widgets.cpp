#include "support/quietwidgets.h"
#include "support/testhelpers.h"
#include "support/widgethelpers.h"

#include "widgets/alert.h"
#include "widgets/filedialogs.h"
#include "widgets/logpane.h"
#include "widgets/showalertform.h"
#include "widgets/trafficlog.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>

// The alert box's answers and the traffic log panes.
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

    // The real box: OK, Cancel, a key in its text; a second alert while one shows is refused.
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
            if (how == "nested")
                nested = showalert("Again", "x", 0, AlertStyle::Warning, 0);
            if (how == "six")
                QTest::keyClick(form->findChild<QPlainTextEdit *>("message"), Qt::Key_6);
            else
                form->findChild<QPushButton *>(how == "cancel" ? "Command1_1" : "Command1_0")
                        ->click();
        });
        QCOMPARE(showalert("Real", "Body", 0, AlertStyle::Quiet, 0), answer);
        QVERIFY(!alertShown());
        QCOMPARE(nested, how != "nested");
    }

    // The traffic log's panes as a user works in them. Each row: actions on the pane named,
    // separated by "|", each a second after the one before; cmd:TEXT[/why] a command logged (not
    // sent, and why), rx:BYTES bytes received, lines:N commands "L0", "L1", ...; txoff, txon and
    // rxoff the switches, cap:N the pane's cap, stamps its Time Stamps, top:N scrolls line N to
    // the top, click:LINE:COLUMN and dclick:LINE:COLUMN, ctrl+KEY, find:TEXT (Ctrl+F, typed,
    // Enter), next and prev (Enter and Shift+Enter in it), save (Save Log As) and logfile (Log to
    // File, on or off). Checks: tx= and rx= the texts (rx with what is held back), top= the line
    // at the top of the view, bottom= and hint= whether the view is at the newest line and "new
    // lines below" shows, selected=, found=, clipboard=, shows= (on screen), saved= and log= the
    // files, echo= the transmit echo box.
    void logs_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QStringList>("checks");
        const QString find = "lines:5|cmd:Needle|lines:34|cmd:NEEDLE|lines:19|top:0|find:needle";
        const QString unsent = "$B7MA[cr]  (not sent: no port)\r\n$B7MB[cr]\r\n";
        // clang-format off
        QTest::newRow("logged while checked, also what the echo box shows") << "tx" << "cmd:A|cmd:A|txoff|cmd:B|txon|cmd:B|cmd:B" << QStringList{"tx=A\r\nA\r\nB\r\nB\r\n", "echo=B "};
        QTest::newRow("received, then not while unchecked") << "rx" << "rx:\n|rx:ok\r|rxoff|rx:lost\r" << QStringList{"rx=[0A]ok[CR]\r\n"};
        QTest::newRow("not sent: marked on screen and in the file") << "tx" << "cmd:$B7MA[cr]/no port|cmd:$B7MB[cr]|save" << QStringList{"tx=" + unsent, "saved=" + unsent};
        QTest::newRow("stamped when written, saved with the stamps") << "tx" << "cmd:A|cmd:B|stamps|save" << QStringList{"saved=10:00:00.250 A\r\n10:00:01.250 B\r\n"};
        QTest::newRow("received text stamped when it arrived") << "rx" << "stamps|rx:\n|rx:ok\r|rx:next\r" << QStringList{"rx=10:00:01.250 [0A]ok[CR]\r\n10:00:03.250 next[CR]\r\n"};
        QTest::newRow("at the cap the oldest lines go") << "tx" << "cap:5|lines:8" << QStringList{"tx=L3\r\nL4\r\nL5\r\nL6\r\nL7\r\n"};
        QTest::newRow("at the bottom it follows") << "tx" << "lines:40|lines:5" << QStringList{"bottom=yes", "hint=no"};
        QTest::newRow("scrolled up it keeps its place and selection") << "tx" << "lines:40|top:10|dclick:12:1|lines:5" << QStringList{"top=L10", "selected=L12", "bottom=no", "hint=yes"};
        QTest::newRow("also while the oldest lines go") << "tx" << "cap:40|lines:40|top:10|dclick:12:1|lines:5" << QStringList{"top=L10", "selected=L12"};
        QTest::newRow("a double-click selects a word and clears nothing") << "tx" << "cmd:$B7MHELLO[cr]|dclick:0:6" << QStringList{"selected=B7MHELLO", "tx=$B7MHELLO[cr]\r\n"};
        QTest::newRow("Time Stamps keep the selection") << "tx" << "cmd:$B7MHELLO[cr]|dclick:0:6|stamps" << QStringList{"selected=B7MHELLO"};
        QTest::newRow("a third click selects the line") << "tx" << "cmd:$B7MHELLO[cr]|dclick:0:6|click:0:6" << QStringList{"selected=$B7MHELLO[cr]"};
        QTest::newRow("Select All and Copy") << "rx" << "rx:a\rb\r|ctrl+A|ctrl+C" << QStringList{"clipboard=a[CR]\nb[CR]"};
        QTest::newRow("Ctrl+L clears") << "tx" << "lines:3|ctrl+L" << QStringList{"tx="};
        QTest::newRow("find") << "tx" << find << QStringList{"selected=Needle", "shows=Needle", "found=1 of 2"};
        QTest::newRow("find: no match") << "tx" << "lines:3|find:zz" << QStringList{"selected=", "found=No match"};
        QTest::newRow("find next, round to the first") << "tx" << find + "|next|next" << QStringList{"selected=Needle", "shows=Needle"};
        QTest::newRow("find previous, round to the last") << "tx" << find + "|prev" << QStringList{"selected=NEEDLE", "shows=NEEDLE", "found=2 of 2"};
        QTest::newRow("a log file gets each new line once") << "rx" << "rx:before\r|logfile|rx:o|rx:k\r|rx:x|logfile|rx:after\r" << QStringList{"log=ok[CR]\r\nx\r\n"};
        // clang-format on
    }
    void logs()
    {
        QFETCH(QString, pane);
        QFETCH(QString, actions);
        QFETCH(QStringList, checks);
        QTemporaryDir dir;
        const QString saved = dir.filePath("saved.txt");
        const QString logged = dir.filePath("log.txt");
        setFileDialogResponder([&](const FileDialogRequest &request) {
            return QStringList{request.title == "Save log" ? saved : logged};
        });
        QWidget transmitTab, receiveTab;
        TrafficLog log(&transmitTab, &receiveTab);
        LogPane *view = pane == "tx" ? log.serialout() : log.serialin();
        for (LogPane *each : {log.serialout(), log.serialin()}) {
            each->setRefreshInterval(0);
            each->resize(300, 12 * each->fontMetrics().lineSpacing());
        }
        transmitTab.show();
        receiveTab.show();
        QScrollBar *bar = view->verticalScrollBar();
        const auto point = [&](const QString &place) {
            const int line = place.section(':', 1, 1).toInt() - bar->value();
            const int width = view->fontMetrics().horizontalAdvance('0');
            return QPoint(4 + place.section(':', 2).toInt() * width + width / 2,
                          (line * 2 + 1) * view->fontMetrics().lineSpacing() / 2);
        };
        QLineEdit *findText = view->findChild<QLineEdit *>("findtext");
        int filler = 0;
        const QStringList steps = actions.split('|');
        for (int step = 0; step < steps.size(); ++step) {
            const QString &action = steps.at(step);
            const QString argument = action.section(':', 1);
            const QDateTime at = QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 250)).addSecs(step);
            if (action.startsWith("cmd:")) {
                log.logCommand({argument.section('/', 0, 0), at, argument.section('/', 1)});
            } else if (action.startsWith("rx:")) {
                log.receive(argument.toLatin1(), at);
            } else if (action.startsWith("lines:")) {
                for (int i = argument.toInt(); i > 0; --i)
                    log.logCommand({QStringLiteral("L%1").arg(filler++), at, QString()});
            } else if (action.endsWith("off") || action == "txon") {
                (action.startsWith("tx") ? log.logtraffic() : log.rxlogenable())
                        ->setChecked(action == "txon");
            } else if (action.startsWith("cap:")) {
                view->setMaximumLineCount(argument.toInt());
            } else if (action == "stamps") {
                view->timeStampsAction()->setChecked(true);
            } else if (action.startsWith("top:")) {
                bar->setValue(argument.toInt());
            } else if (action.startsWith("click:")) {
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point(action));
            } else if (action.startsWith("dclick:")) {
                QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, point(action));
            } else if (action.startsWith("ctrl+")) {
                QTest::keyClick(view, action.back().toLower().toLatin1(), Qt::ControlModifier);
            } else if (action.startsWith("find:")) {
                QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
                QTest::keyClicks(findText, argument);
                QTest::keyClick(findText, Qt::Key_Return);
            } else if (action == "next" || action == "prev") {
                QTest::keyClick(findText, Qt::Key_Return,
                                action == "prev" ? Qt::ShiftModifier : Qt::NoModifier);
            } else if (action == "save") {
                view->saveLogAs();
            } else {
                QVERIFY2(action == "logfile", qPrintable(action));
                const QList<QAction *> entries = view->actions();
                (*std::find_if(entries.begin(), entries.end(), [](QAction *each) {
                    return each->text().startsWith("Log to File");
                }))->trigger();
            }
            // The panes paint what came in at the next turn of the event loop.
            QCoreApplication::processEvents();
        }
        const QStringList lines = view->logText().split("\r\n");
        for (const QString &check : checks) {
            const QString name = check.section('=', 0, 0);
            const QString want = check.section('=', 1);
            QString got;
            if (name == "tx" || name == "rx")
                got = name == "tx" ? log.txlog() : log.rxlog();
            else if (name == "echo") // put there with the next paint
                got = QTest::qWaitFor([&] { return log.txbufferbox()->text() == want; }, 1000)
                              ? want
                              : log.txbufferbox()->text();
            else if (name == "top")
                got = lines.value(bar->value());
            else if (name == "bottom")
                got = bar->value() == bar->maximum() ? "yes" : "no";
            else if (name == "hint")
                got = view->findChild<QWidget *>("newlinesbelow")->isVisible() ? "yes" : "no";
            else if (name == "selected")
                got = view->selectedText();
            else if (name == "found")
                got = view->findChild<QLabel *>("findstate")->text();
            else if (name == "clipboard")
                got = QApplication::clipboard()->text();
            else if (name == "shows")
                got = lines.mid(bar->value(), bar->pageStep()).join(' ').contains(want) ? want : "";
            else
                got = QString::fromLocal8Bit(readFile(name == "log" ? logged : saved));
            QCOMPARE(got, want);
        }
        // What the pane shows, screen readers read.
        QCOMPARE(QAccessible::queryAccessibleInterface(view)->text(QAccessible::Value),
                 view->property("text").toString());
        QVERIFY(alertHistory().isEmpty());
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
