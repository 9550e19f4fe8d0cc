#include "plaintextlog.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

PlainTextLog::PlainTextLog(QWidget *parent) : QObject(parent)
{
    m_edit = new QPlainTextEdit(parent);
    m_edit->setReadOnly(true);
    m_edit->setUndoRedoEnabled(false);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setMaximumBlockCount(1000001);
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    m_edit->setFont(fixed);
    m_flush.setSingleShot(true);
    m_flush.setInterval(100);
    connect(&m_flush, &QTimer::timeout, this, [this] {
        appendText(m_pending);
        m_pending.clear();
    });
}

void PlainTextLog::appendText(const QString &text)
{
    QTextCursor cursor(m_edit->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    QTextCursor end = m_edit->textCursor();
    end.movePosition(QTextCursor::End);
    m_edit->setTextCursor(end);
    m_edit->verticalScrollBar()->setValue(m_edit->verticalScrollBar()->maximum());
}

void PlainTextLog::logLine(const QString &line)
{
    m_pending += line + QLatin1Char('\n');
    if (!m_flush.isActive())
        m_flush.start();
}
