#include "widgets/logpane.h"

#include "widgets/logpaneaccessible.h"
#include "widgets/logpanefind.h"
#include "widgets/logpanemenu.h"
#include "widgets/logrowpainter.h"
#include "widgets/newlineshint.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {
constexpr int kMargin = LogRowPainter::kMargin;

qint64 stampMs(const QDateTime &stamp)
{
    return stamp.isValid() ? stamp.toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
}
} // namespace

LogPane::LogPane(const QString &objectName, QWidget *parent)
    : QAbstractScrollArea(parent), m_store(kMaxLines), m_lines(m_store), m_selection(m_lines),
      m_logFile(this)
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
    measureFont();

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &LogPane::refresh);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &LogPane::onScrolled);

    m_find = new LogPaneFind(this);

    m_newBelowHint = new NewLinesHint(viewport());
    connect(m_newBelowHint, &QToolButton::clicked, this, [this] {
        m_atBottom = true;
        refresh();
    });

    m_menu = std::make_unique<LogPaneMenu>(this);
    connect(m_menu->timeStamps(), &QAction::toggled, this, [this](bool checked) {
        m_lines.setStamps(checked);
        // The columns move with the stamps; the selection moves with them.
        m_selection.shiftColumns(checked ? ShownLines::kStampLength : -ShownLines::kStampLength);
        selectionChanged();
        refresh();
    });

    // The log in a fixed-width font; the hint keeps the window's.
    m_newBelowHint->setFont(QApplication::font());
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    setFont(fixed);
}

LogPane::~LogPane()
{
    stopLogToFile();
}

QAction *LogPane::timeStampsAction() const
{
    return m_menu->timeStamps();
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
    lineAdded(static_cast<int>(text.size()) + ShownLines::noteLength(note));
}

void LogPane::lineAdded(int characters)
{
    m_widest = qMax(m_widest, characters);
    if (!m_atBottom)
        m_newBelow = true;
    scheduleRefresh();
}

QString LogPane::logText() const
{
    return m_lines.joined(m_lastOpen);
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

void LogPane::measureFont()
{
    const QFontMetrics metrics = fontMetrics();
    m_lineSpacing = qMax(1, metrics.lineSpacing());
    m_charWidth = metrics.horizontalAdvance(QLatin1Char('0'));
}

void LogPane::scheduleRefresh()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

int LogPane::visibleLines() const
{
    return qMax(1, viewport()->height() / m_lineSpacing);
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
    const int stamps = m_menu->timeStamps()->isChecked() ? ShownLines::kStampLength : 0;
    const int width = (m_widest + stamps) * m_charWidth + 2 * kMargin;
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
    m_menu->copy()->setEnabled(hasSelection());

    // What is on screen moves up by the lines that came in, and only the rows of the new lines
    // (and of the last line before them, when it grew) are painted: a paced upload then costs
    // one line of painting per line. Anything else paints the whole view.
    if (m_paintPending || shift < 0 || shift >= page || left != horizontalScrollBar()->value()) {
        repaintAll();
    } else {
        const int lineHeight = m_lineSpacing;
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
    m_find->place(view);
    m_newBelowHint->place(view.size());
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
        measureFont();
        repaintAll();
        refresh();
    }
}

LogRowPainter LogPane::rowPainter() const
{
    return LogRowPainter(m_lines, fontMetrics(), horizontalScrollBar()->value());
}

void LogPane::paintEvent(QPaintEvent *event)
{
    m_paintPending = false;
    QPainter painter(viewport());
    rowPainter().paint(painter, event->rect(), palette(), verticalScrollBar()->value(),
                       m_find->markedText(), m_selection);
}

void LogPane::keyPressEvent(QKeyEvent *event)
{
    if (m_menu->trigger(QKeySequence(event->keyCombination())) || m_find->handleKey(*event))
        return;
    switch (event->key()) {
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
    return rowPainter().positionAt(point, verticalScrollBar()->value());
}

void LogPane::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_selection.press(positionAt(event->position().toPoint()),
                      event->modifiers().testFlag(Qt::ShiftModifier));
    selectionChanged();
}

void LogPane::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selection.dragging() || !event->buttons().testFlag(Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    // Dragging past the top or bottom scrolls on a line at a time.
    if (point.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (point.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    m_selection.dragTo(positionAt(point));
    selectionChanged();
}

void LogPane::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_selection.release();
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
    m_selection.doubleClick(positionAt(event->position().toPoint()));
    selectionChanged();
}

void LogPane::selectionChanged()
{
    m_menu->copy()->setEnabled(hasSelection());
    repaintAll();
}

void LogPane::selectAll()
{
    if (m_selection.selectAll())
        selectionChanged();
}

void LogPane::copy()
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

void LogPane::showFind()
{
    m_find->open();
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
    m_selection.clear();
    selectionChanged();
    refresh();
    Q_EMIT cleared();
}

void LogPane::saveLogAs()
{
    LogFileAppender::saveAs(logText());
}

void LogPane::toggleLogToFile()
{
    if (m_logFile.isOpen())
        stopLogToFile();
    else
        logToFile(QString());
}

void LogPane::logToFile(const QString &path)
{
    m_menu->logToFile()->setChecked(false);
    if (!m_logFile.isOpen() && (path.isEmpty() ? m_logFile.openChosen() : m_logFile.open(path)))
        m_menu->showLogFile(m_logFile.fileName());
}

void LogPane::writeToLogFile(int index)
{
    if (m_logFile.isOpen() && !m_logFile.append(m_lines.text(index)))
        stopLogToFile();
}

void LogPane::stopLogToFile()
{
    if (m_logFile.isOpen() && m_lastOpen)
        writeToLogFile(m_store.size() - 1);
    m_logFile.close();
    m_menu->showNoLogFile();
}
