#include "widgets/logpane.h"

#include "core/atomicfile.h"
#include "core/basicutilities.h"
#include "core/errortext.h"
#include "widgets/alert.h"
#include "widgets/filedialogs.h"
#include "widgets/findbar.h"
#include "widgets/logpaneaccessible.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

namespace {
// Room between the pane's edge and the text, as a text document leaves it.
constexpr int kMargin = 4;
// "HH:mm:ss.zzz " before a line while Time Stamps is checked.
constexpr int kStampLength = 13;
const QString kNoteOpen = QStringLiteral("  (");
const QString kNoteClose = QStringLiteral(")");
// Every match of the find text on screen, under the text, in light and dark themes alike.
const QColor kMatchColour(255, 200, 0, 110);

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

qint64 stampMs(const QDateTime &stamp)
{
    return stamp.isValid() ? stamp.toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
}
} // namespace

LogPane::LogPane(const QString &objectName, QWidget *parent)
    : QAbstractScrollArea(parent), m_store(kMaxLines)
{
    // Screen readers learn the text through the pane's own interface; one factory serves all.
    static const bool accessible = [] {
        QAccessible::installFactory(&LogPaneAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
    setObjectName(objectName);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    // The pane paints every pixel of its view itself, so nothing beneath is painted first.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(1);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &LogPane::refresh);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &LogPane::onScrolled);

    m_findBar = new FindBar(this);
    connect(m_findBar, &FindBar::findRequested, this,
            [this](bool backward) { m_findBar->setFound(find(m_findBar->text(), backward)); });
    connect(m_findBar, &FindBar::textChanged, this, &LogPane::repaintAll);
    connect(m_findBar, &FindBar::closed, this, [this] {
        setViewportMargins(0, 0, 0, 0);
        placeChildren();
        setFocus(Qt::OtherFocusReason);
        repaintAll();
    });

    m_newBelowHint = new QToolButton(viewport());
    m_newBelowHint->setObjectName(QStringLiteral("newlinesbelow"));
    m_newBelowHint->setText(tr("\u2193 New lines below"));
    m_newBelowHint->setToolTip(tr("Go to the newest line"));
    m_newBelowHint->setFocusPolicy(Qt::NoFocus);
    m_newBelowHint->setCursor(Qt::ArrowCursor);
    m_newBelowHint->hide();
    connect(m_newBelowHint, &QToolButton::clicked, this, [this] {
        m_atBottom = true;
        refresh();
    });

    // The context menu is the pane's own actions; their keys work where the pane has the focus.
    setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto action
            = [this](const QString &text, const QKeySequence &keys, void (LogPane::*slot)()) {
                  auto *made = new QAction(text, this);
                  made->setShortcut(keys);
                  made->setShortcutContext(Qt::WidgetWithChildrenShortcut);
                  connect(made, &QAction::triggered, this, slot);
                  return made;
              };
    m_copy = action(tr("Copy"), QKeySequence::Copy, &LogPane::copy);
    m_copy->setEnabled(false);
    QAction *selectAllAction
            = action(tr("Select All"), QKeySequence::SelectAll, &LogPane::selectAll);
    QAction *findAction = action(tr("Find\u2026"), QKeySequence::Find, &LogPane::showFind);
    QAction *clearAction
            = action(tr("Clear"), QKeySequence(Qt::CTRL | Qt::Key_L), &LogPane::clearLog);
    QAction *saveAction = action(QStringLiteral("Save Log As\u2026"), {}, &LogPane::saveLogAs);
    m_logToFile = action(tr("Log to File\u2026"), {}, &LogPane::toggleLogToFile);
    m_logToFile->setCheckable(true);
    m_timeStamps = new QAction(tr("Time Stamps"), this);
    m_timeStamps->setCheckable(true);
    connect(m_timeStamps, &QAction::toggled, this, [this] {
        // The columns move with the stamps, so a selection would cover other characters.
        m_anchor = m_cursor;
        selectionChanged();
        refresh();
    });
    auto separator = [this] {
        auto *made = new QAction(this);
        made->setSeparator(true);
        return made;
    };
    addActions({m_copy, selectAllAction, findAction, clearAction, separator(), saveAction,
                m_logToFile, separator(), m_timeStamps});

    // The log in a fixed-width font; the find row and the hint keep the window's.
    m_findBar->setFont(QApplication::font());
    m_newBelowHint->setFont(QApplication::font());
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    setFont(fixed);
}

LogPane::~LogPane()
{
    stopLogToFile();
}

void LogPane::appendText(const QString &text, const QDateTime &stamp)
{
    const qint64 ms = stampMs(stamp);
    const QStringView all(text);
    qsizetype from = 0;
    while (from < all.size()) {
        qsizetype end = all.indexOf(QLatin1Char('\n'), from);
        const bool ended = end >= 0;
        if (!ended)
            end = all.size();
        QStringView piece = all.mid(from, end - from);
        if (ended && piece.endsWith(QLatin1Char('\r')))
            piece.chop(1);
        if (m_lastOpen) {
            m_store.extendLast(piece, ms);
            m_openLength += static_cast<int>(piece.size());
            m_lastGrew = true;
        } else {
            m_store.append(piece, ms);
            m_openLength = static_cast<int>(piece.size());
            m_lastOpen = true;
        }
        lineAdded(m_openLength);
        if (ended) {
            m_lastOpen = false;
            writeToLogFile(m_store.size() - 1);
        }
        from = end + 1;
    }
}

void LogPane::appendLine(const QString &text, const QDateTime &stamp, const QString &note)
{
    if (m_lastOpen) {
        m_lastOpen = false;
        writeToLogFile(m_store.size() - 1);
    }
    m_store.append(text, stampMs(stamp), note);
    writeToLogFile(m_store.size() - 1);
    lineAdded(static_cast<int>(text.size()
                               + (note.isEmpty() ? 0 : kNoteOpen.size() + note.size() + 1)));
}

void LogPane::lineAdded(int characters)
{
    m_widest = qMax(m_widest, characters);
    if (!m_atBottom)
        m_newBelow = true;
    scheduleRefresh();
}

LogPane::Shown LogPane::shownLine(int index) const
{
    Shown shown;
    if (m_timeStamps->isChecked())
        shown.text = stampText(m_store.stamp(index));
    shown.text += m_store.text(index);
    shown.noteFrom = static_cast<int>(shown.text.size());
    const QString note = m_store.note(index);
    if (!note.isEmpty())
        shown.text += kNoteOpen + note + kNoteClose;
    return shown;
}

QString LogPane::stampText(qint64 ms) const
{
    // Lines come in bursts, so most share the second of the line before.
    const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != m_stampSecond) {
        m_stampSecond = second;
        m_stampPrefix = QDateTime::fromMSecsSinceEpoch(second * 1000)
                                .toString(QStringLiteral("HH:mm:ss."));
    }
    return m_stampPrefix + QString::number(ms - second * 1000).rightJustified(3, QLatin1Char('0'))
           + QLatin1Char(' ');
}

QString LogPane::logText() const
{
    QString text;
    const int count = m_store.size();
    for (int index = 0; index < count; ++index) {
        text += shownLine(index).text;
        if (index + 1 < count || !m_lastOpen)
            text += CRLF;
    }
    return text;
}

void LogPane::setMaximumLineCount(int lines)
{
    m_store.setCapacity(lines);
    refresh();
}

void LogPane::setRefreshInterval(int ms)
{
    m_refresh.setInterval(ms);
}

void LogPane::scheduleRefresh()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

int LogPane::visibleLines() const
{
    return qMax(1, viewport()->height() / fontMetrics().lineSpacing());
}

void LogPane::refresh()
{
    if (m_syncing)
        return;
    m_refresh.stop();
    const int count = m_store.size();
    const int page = visibleLines();
    const int maximum = qMax(0, count - page);
    const qint64 first = m_store.firstNumber();
    // Following the newest line only while the view was at the bottom; else the line at the top
    // stays there, also while older lines go.
    const int top = m_atBottom ? maximum
                               : static_cast<int>(std::clamp<qint64>(m_top - first, 0, maximum));
    const int stamps = m_timeStamps->isChecked() ? kStampLength : 0;
    const int width
            = (m_widest + stamps) * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 2 * kMargin;
    const int left = horizontalScrollBar()->value();
    m_syncing = true;
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, maximum);
    bar->setPageStep(page);
    bar->setValue(top);
    horizontalScrollBar()->setRange(0, qMax(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    m_syncing = false;
    const qint64 shift = first + top - m_top;
    m_top = first + top;
    if (m_atBottom)
        m_newBelow = false;
    m_newBelowHint->setVisible(m_newBelow);
    m_copy->setEnabled(hasSelection());

    // What is on screen moves up by the lines that came in, and only the rows of the new lines
    // (and of the last line before them, when it grew) are painted: a paced upload then costs
    // one line of painting per line. Anything else paints the whole view.
    if (m_paintPending || shift < 0 || shift >= page || left != horizontalScrollBar()->value()) {
        repaintAll();
    } else {
        const int lineHeight = fontMetrics().lineSpacing();
        if (shift > 0)
            viewport()->scroll(0, -static_cast<int>(shift) * lineHeight, viewport()->rect());
        const qint64 changed = m_paintedEnd - (m_lastGrew ? 1 : 0);
        const int row = static_cast<int>(std::max<qint64>(0, changed - m_top));
        if (row < page + 1) {
            m_paintPending = true;
            viewport()->update(0, row * lineHeight, viewport()->width(),
                               viewport()->height() - row * lineHeight);
        }
    }
    m_paintedEnd = first + count;
    m_lastGrew = false;
}

void LogPane::repaintAll()
{
    m_paintPending = true;
    viewport()->update();
}

void LogPane::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    // Moves the scroll bars make while the view follows new lines are painted by refresh.
    if (!m_syncing)
        repaintAll();
}

void LogPane::onScrolled(int value)
{
    if (m_syncing)
        return;
    m_top = m_store.firstNumber() + value;
    m_atBottom = value >= verticalScrollBar()->maximum();
    if (m_atBottom) {
        m_newBelow = false;
        m_newBelowHint->hide();
    }
    repaintAll();
}

void LogPane::scrollToLine(int index)
{
    refresh();
    QScrollBar *bar = verticalScrollBar();
    if (index >= bar->value() && index < bar->value() + bar->pageStep())
        return;
    bar->setValue(qBound(0, index - bar->pageStep() / 2, bar->maximum()));
}

void LogPane::placeChildren()
{
    const QRect view = viewport()->geometry();
    if (!m_findBar->isHidden())
        m_findBar->setGeometry(view.left(), view.bottom() + 1, view.width(),
                               m_findBar->sizeHint().height());
    const QSize hint = m_newBelowHint->sizeHint();
    m_newBelowHint->setGeometry(view.width() - hint.width() - kMargin,
                                view.height() - hint.height() - kMargin, hint.width(),
                                hint.height());
}

void LogPane::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    placeChildren();
    repaintAll();
    refresh();
}

void LogPane::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        repaintAll();
        refresh();
    }
}

void LogPane::paintEvent(QPaintEvent *event)
{
    m_paintPending = false;
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, palette().base());
    const int count = m_store.size();
    if (count == 0)
        return;
    const QFontMetrics metrics = fontMetrics();
    const int lineHeight = metrics.lineSpacing();
    const int top = verticalScrollBar()->value();
    const qint64 first = m_store.firstNumber();
    const QString query = m_findBar->isHidden() ? QString() : m_findBar->text();
    Position start, end;
    const bool selected = orderedSelection(start, end);
    const QColor text = palette().color(QPalette::Text);
    const QColor greyed = palette().color(QPalette::Disabled, QPalette::Text);
    const int space = metrics.horizontalAdvance(QLatin1Char(' '));

    for (int row = qMax(0, area.top() / lineHeight); row <= area.bottom() / lineHeight; ++row) {
        const int index = top + row;
        if (index >= count)
            break;
        const Shown line = shownLine(index);
        const qint64 number = first + index;
        const int y = row * lineHeight;
        if (!query.isEmpty()) {
            for (qsizetype at = line.text.indexOf(query, 0, Qt::CaseInsensitive); at >= 0;
                 at = line.text.indexOf(query, at + query.size(), Qt::CaseInsensitive)) {
                const int left = xAt(line.text, static_cast<int>(at));
                painter.fillRect(QRect(left, y,
                                       xAt(line.text, static_cast<int>(at + query.size())) - left,
                                       lineHeight),
                                 kMatchColour);
            }
        }
        // A line that did not happen as it reads (a command not sent) is greyed, note and all.
        painter.setPen(line.noteFrom < line.text.size() ? greyed : text);
        const int baseline = y + metrics.ascent();
        painter.drawText(xAt(line.text, 0), baseline, line.text);
        if (!selected || number < start.line || number > end.line)
            continue;
        const int from = number == start.line ? qMin<int>(start.column, line.text.size()) : 0;
        const int to = number == end.line ? qMin<int>(end.column, line.text.size())
                                          : static_cast<int>(line.text.size());
        // A selection that goes on to the next line covers this line's break too.
        const int left = xAt(line.text, from);
        const QRect band(left, y, xAt(line.text, to) - left + (number < end.line ? space : 0),
                         lineHeight);
        painter.fillRect(band, palette().highlight());
        painter.save();
        painter.setClipRect(band);
        painter.setPen(palette().color(QPalette::HighlightedText));
        painter.drawText(xAt(line.text, 0), baseline, line.text);
        painter.restore();
    }
}

void LogPane::keyPressEvent(QKeyEvent *event)
{
    // The actions' keys, also where their shortcuts do not reach (the window is not active).
    const QKeySequence pressed(event->keyCombination());
    for (QAction *action : actions()) {
        if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
            action->trigger();
            return;
        }
    }
    switch (event->key()) {
    case Qt::Key_F3:
        if (!m_findBar->text().isEmpty())
            m_findBar->setFound(
                    find(m_findBar->text(), event->modifiers().testFlag(Qt::ShiftModifier)));
        return;
    case Qt::Key_Escape:
        if (m_findBar->isHidden())
            break;
        m_findBar->dismiss();
        return;
    case Qt::Key_Home:
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        return;
    case Qt::Key_End:
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        return;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

LogPane::Position LogPane::positionAt(const QPoint &point) const
{
    const int count = m_store.size();
    if (count == 0)
        return {m_store.firstNumber(), 0};
    const int row = point.y() >= 0 ? point.y() / fontMetrics().lineSpacing() : -1;
    const int index = qBound(0, verticalScrollBar()->value() + row, count - 1);
    return {m_store.firstNumber() + index, columnAt(shownLine(index).text, point.x())};
}

int LogPane::columnAt(const QString &text, int x) const
{
    const QFontMetrics metrics = fontMetrics();
    int left = xAt(text, 0);
    for (int column = 0; column < text.size(); ++column) {
        const int width = metrics.horizontalAdvance(text.at(column));
        if (x < left + width / 2)
            return column;
        left += width;
    }
    return static_cast<int>(text.size());
}

int LogPane::xAt(const QString &text, int column) const
{
    return kMargin - horizontalScrollBar()->value()
           + fontMetrics().horizontalAdvance(text.left(column));
}

void LogPane::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const Position at = positionAt(event->position().toPoint());
    // A third click soon after a double-click selects its whole line.
    if (m_sinceDoubleClick.isValid()
        && m_sinceDoubleClick.elapsed() < QApplication::doubleClickInterval()
        && at.line == m_doubleClickLine) {
        m_sinceDoubleClick.invalidate();
        const int index = static_cast<int>(at.line - m_store.firstNumber());
        select({at.line, 0}, {at.line, static_cast<int>(shownLine(index).text.size())});
        return;
    }
    m_dragging = true;
    select(event->modifiers().testFlag(Qt::ShiftModifier) ? m_anchor : at, at);
}

void LogPane::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !event->buttons().testFlag(Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    // Dragging past the top or bottom scrolls on a line at a time.
    if (point.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (point.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    select(m_anchor, positionAt(point));
}

void LogPane::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    QClipboard *clipboard = QApplication::clipboard();
    if (clipboard->supportsSelection() && hasSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void LogPane::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_store.size() == 0) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    // The word under the pointer (or the character, between words).
    const Position at = positionAt(event->position().toPoint());
    const QString text = shownLine(static_cast<int>(at.line - m_store.firstNumber())).text;
    const int length = static_cast<int>(text.size());
    int from = qMin(at.column, length);
    if (from > 0 && (from == length || !isWordCharacter(text.at(from)))
        && isWordCharacter(text.at(from - 1)))
        --from;
    int to = qMin(from + 1, length);
    if (from < length && isWordCharacter(text.at(from))) {
        while (from > 0 && isWordCharacter(text.at(from - 1)))
            --from;
        while (to < length && isWordCharacter(text.at(to)))
            ++to;
    }
    m_dragging = false;
    m_sinceDoubleClick.start();
    m_doubleClickLine = at.line;
    select({at.line, from}, {at.line, to});
}

bool LogPane::orderedSelection(Position &start, Position &end) const
{
    const int count = m_store.size();
    if (count == 0)
        return false;
    start = m_anchor;
    end = m_cursor;
    if (end.line < start.line || (end.line == start.line && end.column < start.column))
        std::swap(start, end);
    const qint64 first = m_store.firstNumber();
    // Lines that went since the selection was made take their part of it with them.
    if (end.line < first || start.line >= first + count)
        return false;
    if (start.line < first)
        start = {first, 0};
    return start.line != end.line || start.column != end.column;
}

bool LogPane::hasSelection() const
{
    Position start, end;
    return orderedSelection(start, end);
}

void LogPane::select(const Position &anchor, const Position &cursor)
{
    m_anchor = anchor;
    m_cursor = cursor;
    selectionChanged();
}

void LogPane::selectionChanged()
{
    m_copy->setEnabled(hasSelection());
    repaintAll();
}

QString LogPane::selectedText() const
{
    Position start, end;
    if (!orderedSelection(start, end))
        return QString();
    const qint64 first = m_store.firstNumber();
    QString text;
    for (qint64 line = start.line; line <= end.line; ++line) {
        const QString shown = shownLine(static_cast<int>(line - first)).text;
        const int from = line == start.line ? qMin<int>(start.column, shown.size()) : 0;
        const int to = line == end.line ? qMin<int>(end.column, shown.size())
                                        : static_cast<int>(shown.size());
        text += QStringView(shown).mid(from, to - from);
        if (line != end.line)
            text += QLatin1Char('\n');
    }
    return text;
}

void LogPane::selectAll()
{
    const int count = m_store.size();
    if (count == 0)
        return;
    const qint64 first = m_store.firstNumber();
    select({first, 0}, {first + count - 1, static_cast<int>(shownLine(count - 1).text.size())});
}

void LogPane::copy()
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

bool LogPane::find(const QString &text, bool backward)
{
    const int count = m_store.size();
    if (text.isEmpty() || count == 0)
        return false;
    // From the current match (the selection) on, else from the top of the view.
    const qint64 first = m_store.firstNumber();
    Position start, end;
    int index = verticalScrollBar()->value();
    int column = 0;
    if (orderedSelection(start, end)) {
        const Position &from = backward ? start : end;
        index = static_cast<int>(std::clamp<qint64>(from.line - first, 0, count - 1));
        column = from.column;
    }
    // Round the whole log once, back to the start line's other part.
    for (int step = 0; step <= count; ++step) {
        const QString line = shownLine(index).text;
        qsizetype at = -1;
        if (!backward) {
            at = line.indexOf(text, column, Qt::CaseInsensitive);
        } else {
            // A match before the current one ends where that one begins, at the latest.
            const qsizetype last = qMin<qsizetype>(column, line.size()) - text.size();
            if (last >= 0)
                at = line.lastIndexOf(text, last, Qt::CaseInsensitive);
        }
        if (at >= 0) {
            select({first + index, static_cast<int>(at)},
                   {first + index, static_cast<int>(at + text.size())});
            scrollToLine(index);
            return true;
        }
        index = backward ? (index + count - 1) % count : (index + 1) % count;
        column = backward ? INT_MAX : 0;
    }
    return false;
}

void LogPane::showFind()
{
    Position start, end;
    const bool oneLine = orderedSelection(start, end) && start.line == end.line;
    setViewportMargins(0, 0, 0, m_findBar->sizeHint().height());
    m_findBar->open(oneLine ? selectedText() : QString());
    placeChildren();
    repaintAll();
}

void LogPane::clearLog()
{
    // A line still open goes to the log file as it stands, since the pane forgets it.
    if (m_lastOpen)
        writeToLogFile(m_store.size() - 1);
    m_lastOpen = false;
    m_openLength = 0;
    m_store.clear();
    m_widest = 0;
    m_atBottom = true;
    m_newBelow = false;
    m_anchor = m_cursor = Position();
    selectionChanged();
    refresh();
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
        showalert(fileSaveErrorTitle(), QString(), fileErrorNumber(path, written.systemError),
                  AlertStyle::Error, 12, written.errorText);
}

void LogPane::toggleLogToFile()
{
    if (m_logFile) {
        stopLogToFile();
        return;
    }
    m_logToFile->setChecked(false);
    const QString result = SaveFileDialog(QStringLiteral("Log to file"), QString(), QString(),
                                          QStringLiteral("2"), false);
    if (result.isEmpty())
        return;
    const QString path = dialogResultPath(result);
    // A FIFO would block the window until a reader came, a device is no log.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        showalert(fileOpenErrorTitle(), QString(), fileErrorNumber(path, 0), AlertStyle::Error, 12,
                  notRegularFileText(path));
        return;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        const int error = errno;
        showalert(fileOpenErrorTitle(), QString(), fileErrorNumber(path, error), AlertStyle::Error,
                  12, file->errorString());
        return;
    }
    m_logFile = std::move(file);
    m_logToFile->setChecked(true);
    m_logToFile->setText(tr("Log to File: %1").arg(info.fileName()));
}

void LogPane::writeToLogFile(int index)
{
    if (!m_logFile)
        return;
    const QByteArray line = (shownLine(index).text + CRLF).toLocal8Bit();
    if (m_logFile->write(line) == line.size())
        return;
    // A full disk or a lost drive: logging stops, and says why once the append is done.
    const int error = errno;
    const QString path = m_logFile->fileName();
    const QString why = m_logFile->errorString();
    m_logFile.reset();
    stopLogToFile();
    QTimer::singleShot(0, this, [path, why, error] {
        showalert(fileSaveErrorTitle(), QString(), fileErrorNumber(path, error), AlertStyle::Error,
                  12, why);
    });
}

void LogPane::stopLogToFile()
{
    if (m_logFile && m_lastOpen)
        writeToLogFile(m_store.size() - 1);
    m_logFile.reset();
    m_logToFile->setChecked(false);
    m_logToFile->setText(tr("Log to File\u2026"));
}
