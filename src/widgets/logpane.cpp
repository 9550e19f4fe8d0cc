#include "widgets/logpane.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

LogPane::LogPane(const QString &objectName, QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(objectName);
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // Whole lines are trimmed from the front once the pane holds this many.
    setMaximumBlockCount(kMaxLines + 1);
    setToolTip(tr("Double-click to clear"));
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    setFont(fixed);
}

void LogPane::appendText(const QString &text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(plain);
    // Caret to the end, so the newest line is the one in view.
    QTextCursor end = textCursor();
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString LogPane::logText() const
{
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

int LogPane::lineCount() const
{
    const int blocks = document()->blockCount();
    return document()->lastBlock().text().isEmpty() ? blocks - 1 : blocks;
}

void LogPane::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
    clear();
    Q_EMIT cleared();
}
