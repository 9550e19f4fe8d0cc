#include "widgets/logpane.h"

#include "core/atomicfile.h"
#include "core/errortext.h"
#include "widgets/alert.h"
#include "widgets/filedialogs.h"

#include <QAction>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTime>

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

    // The context menu is the pane's own actions.
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *copyAction = new QAction(tr("Copy"), this);
    copyAction->setEnabled(false);
    connect(this, &QPlainTextEdit::copyAvailable, copyAction, &QAction::setEnabled);
    connect(copyAction, &QAction::triggered, this, &QPlainTextEdit::copy);
    auto *selectAllAction = new QAction(tr("Select All"), this);
    connect(selectAllAction, &QAction::triggered, this, &QPlainTextEdit::selectAll);
    auto *clearAction = new QAction(tr("Clear"), this);
    connect(clearAction, &QAction::triggered, this, &LogPane::clearLog);
    auto *saveAction = new QAction(QStringLiteral("Save Log As\u2026"), this);
    connect(saveAction, &QAction::triggered, this, &LogPane::saveLogAs);
    m_timeStamps = new QAction(tr("Time Stamps"), this);
    m_timeStamps->setCheckable(true);
    auto separator = [this] {
        auto *action = new QAction(this);
        action->setSeparator(true);
        return action;
    };
    addActions({copyAction, selectAllAction, clearAction, separator(), saveAction, separator(),
                m_timeStamps});
}

QString LogPane::withTimeStamps(const QString &plain) const
{
    const QString stamp = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz "));
    // A line starts where the pane's last line is empty and after every break but a final one.
    bool atLineStart = document()->lastBlock().text().isEmpty();
    QString stamped;
    stamped.reserve(plain.size() + 16);
    for (const QChar c : plain) {
        if (atLineStart)
            stamped += stamp;
        stamped += c;
        atLineStart = c == QLatin1Char('\n');
    }
    return stamped;
}

void LogPane::clearLog()
{
    clear();
    Q_EMIT cleared();
}

void LogPane::saveLogAs()
{
    const QString result = SaveFileDialog(QStringLiteral("Save log"), QString(), QString(),
                                          QStringLiteral("2"), true);
    if (result.isEmpty())
        return;
    const QString path = dialogResultPath(result);
    const AtomicWriteResult written = writeFileAtomically(path, logText().toLocal8Bit());
    if (!written.ok)
        showalert(fileSaveErrorTitle(), QString(), fileErrorNumber(path, written.error),
                  AlertStyle::Error, 12, written.errorText);
}

void LogPane::appendText(const QString &text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (m_timeStamps->isChecked())
        plain = withTimeStamps(plain);
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
    clearLog();
}
