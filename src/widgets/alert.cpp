#include "widgets/alert.h"

#include "core/basicutilities.h"
#include "core/errortext.h"
#include "widgets/showalertform.h"

#include <QApplication>
#include <QPointer>

namespace {
QPointer<QWidget> g_parent;
bool g_shown = false;
bool g_duringShutdown = false;
std::function<bool(const AlertRecord &)> g_responder;
QList<AlertRecord> g_history;
QPointer<ShowAlertForm> g_form;
} // namespace

void setAlertParent(QWidget *parent)
{
    g_parent = parent;
}

void beepWhenShown()
{
    QCoreApplication::processEvents();
    QApplication::beep();
}

bool alertShown()
{
    return g_shown;
}

void setAlertResponder(std::function<bool(const AlertRecord &)> responder)
{
    g_responder = std::move(responder);
}

const QList<AlertRecord> &alertHistory()
{
    return g_history;
}

void setAlertsDuringShutdown(bool shown)
{
    g_duringShutdown = shown;
}

void closeAlertForShutdown()
{
    if (g_form)
        g_form->reject();
}

void clearAlertHistory()
{
    g_history.clear();
}

bool showalert(const QString &title, const QString &message, qint32 number, AlertStyle style,
               double fontSize, const QString &description)
{
    QString copy = message;
    return showalert(title, copy, number, style, fontSize, description);
}

bool showalert(const QString &title, QString &message, qint32 number, AlertStyle style,
               double fontSize, const QString &description)
{
    if (g_shown)
        return false;
    if (message.isEmpty())
        message = errortext(number, description);
    if (style < AlertStyle::Warning || style > AlertStyle::Quiet)
        return false;
    if (shutdownRequested() && !g_duringShutdown)
        return false;

    AlertRecord record;
    record.title = title;
    record.number = number;
    record.style = style;
    record.fontSize = fontSize;
    record.beeped = style == AlertStyle::Warning || style == AlertStyle::Error
                    || style == AlertStyle::NoticeWithBeep;
    record.leftAligned = style == AlertStyle::Notice || style == AlertStyle::NoticeWithBeep;
    record.text = message;
    if (style == AlertStyle::Error) {
        const QString hex = QString::number(static_cast<quint32>(number), 16).toUpper();
        record.text = QStringLiteral("Error Code: 0x") + hex.rightJustified(8, QLatin1Char('0'))
                      + CRLF + CRLF + message;
    }

    if (record.beeped)
        QApplication::beep();

    g_shown = true;
    bool answer = false;
    if (g_responder) {
        g_history.append(record);
        answer = g_responder(record);
    } else {
        QPointer<ShowAlertForm> form = new ShowAlertForm(g_parent);
        g_form = form;
        form->setWindowTitle(title);
        form->setMessage(record.text, record.leftAligned ? Qt::AlignLeft : Qt::AlignHCenter,
                         fontSize);
        g_history.append(record);
        // Runs until the form closes: by OK, Cancel, the key "6", the close box or shutdown.
        form->exec();
        if (form) {
            answer = form->answer();
            delete form;
        }
    }
    g_shown = false;
    return answer;
}
