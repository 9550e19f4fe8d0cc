#include "session/showlayers.h"

#include "font/fonttable.h"
#include "modes/modesteps.h"
#include "protocol/messagecommands.h"
#include "session/actionqueue.h"
#include "session/chainpicture.h"
#include "session/chainstatetracker.h"
#include "session/fixedmodeinputs.h"
#include "session/moderunner.h"
#include "session/segmenttestrunner.h"
#include "session/textscroller.h"
#include "session/uploadjob.h"

#include <QTimer>

ShowLayers::ShowLayers(ActionQueue &queue, PacedSender &sender, ChainStateTracker &tracker,
                       int chain, QObject *parent)
    : QObject(parent), m_queue(queue), m_sender(sender), m_tracker(tracker), m_chain(chain)
{}

ShowLayers::~ShowLayers() = default;

void ShowLayers::step(const QString &name, std::function<void()> run)
{
    const QPointer<ShowLayers> self(this);
    m_queue.postAlways({name, {}, [self, run] {
                            if (self)
                                run();
                        }});
}

void ShowLayers::contentFrames(const QString &name, const CommandList &frames)
{
    if (frames.isEmpty())
        return;
    if (!m_board.shown()) {
        m_queue.postAlways({name, frames, {}});
        return;
    }
    // Whether a notification is on the line when they come up is known then, not now: the one
    // asked for may still wait in the queue, or have ended.
    step(name, [this, frames] {
        if (m_under)
            ChainPicture::apply(*m_under, frames);
        else
            m_sender.send(frames, this);
    });
}

void ShowLayers::contentTick(const std::function<void()> &tick)
{
    if (!m_board.shown() && lineUp())
        m_queue.runIfIdle(tick);
}

void ShowLayers::retire(QObject *object)
{
    if (!object)
        return;
    for (QTimer *timer : object->findChildren<QTimer *>())
        timer->stop();
    // Deleted between actions, never inside a step that is still sending.
    const QPointer<QObject> gone(object);
    m_queue.postAlways({"retire", {}, [gone] { delete gone.data(); }});
}

void ShowLayers::stopContent()
{
    // The test's end commands go before whatever replaces it.
    if (m_testRunner && m_testRunner->state().testactive())
        contentFrames("test end", m_testRunner->endCommands());
    retire(m_runnerHolder);
    retire(m_scroller);
    m_runnerHolder = nullptr;
    m_modeRunner = nullptr;
    m_testRunner = nullptr;
    m_scroller = nullptr;
    m_scroll.reset();
    m_mode.reset();
    m_modeName.clear();
}

void ShowLayers::showMessage(const QString &text, const QByteArray &fitted,
                             const std::optional<ScrollTiming> &scroll)
{
    stopContent();
    m_content = Content::Message;
    m_text = text;
    m_scroll = scroll;
    m_scrollEnded = false;
    if (!scroll) {
        contentFrames("message", MessageCommands::message(fitted));
    } else {
        m_scroller = new TextScroller(m_sender, text, m_chain, this);
        m_scroller->setTickRoute([this](const std::function<void()> &tick) { contentTick(tick); });
        connect(m_scroller, &TextScroller::finished, this, [this] {
            m_scrollEnded = true;
            Q_EMIT changed();
        });
        if (!m_board.shown())
            startScroll();
    }
    Q_EMIT changed();
}

void ShowLayers::startScroll()
{
    // After the frames queued before it, so that its first step is not skipped.
    step("scroll", [this] {
        if (m_scroller && m_scroll && !m_scrollEnded && !m_board.shown())
            m_scroller->start(m_scroll->rateMs, m_scroll->passes, m_scroll->seconds);
    });
}

void ShowLayers::sendFrames(const QString &name, const CommandList &frames,
                            const std::optional<QString> &message)
{
    if (message) {
        stopContent();
        m_content = Content::Message;
        m_text = *message;
    }
    contentFrames(name, frames);
    Q_EMIT changed();
}

void ShowLayers::runMode(const QString &name, std::optional<ModeInputs::Mode> mode,
                         const std::array<QString, 3> &animation)
{
    stopContent();
    m_content = Content::Mode;
    m_modeName = name;
    m_mode = mode;
    m_animation = animation;
    // Under a notification it starts at once and its ticks wait.
    startRunner();
    Q_EMIT changed();
}

void ShowLayers::freeze()
{
    stopContent();
    m_content = Content::Frozen;
    Q_EMIT changed();
}

void ShowLayers::startRunner()
{
    const TickRoute route = [this](const std::function<void()> &tick) { contentTick(tick); };
    m_runnerHolder = new QObject(this);
    if (!m_mode) {
        const int chain = m_chain;
        m_testRunner = new SegmentTestRunner(
                m_sender, [chain] { return chain; }, m_runnerHolder);
        m_testRunner->setWholeChain(true);
        m_testRunner->setTickRoute(route);
        m_testRunner->requestStart();
        return;
    }
    // The inputs live as long as the runner that reads them.
    auto inputs = std::make_shared<FixedModeInputs>(*m_mode, m_chain, m_animation,
                                                    m_animation[ModeSteps::kStartField]);
    m_modeRunner = new ModeRunner(m_sender, *inputs, m_runnerHolder);
    connect(m_modeRunner, &QObject::destroyed, [inputs] {});
    m_modeRunner->setTickRoute(route);
    m_modeRunner->modeChosen(*m_mode, m_animation[ModeSteps::kDelayField]);
}

void ShowLayers::resumeContent()
{
    // A scroll starts again, a mode carries on (the clock and the date send at once).
    if (m_scroller && !m_scrollEnded)
        startScroll();
    if (m_modeRunner && m_mode)
        m_modeRunner->modeChosen(*m_mode, m_animation[ModeSteps::kDelayField]);
    // A failed line stopped the test; it runs again.
    if (m_testRunner && !m_testRunner->state().testrequest())
        m_testRunner->requestStart();
}

void ShowLayers::lineBack()
{
    if (!m_board.shown())
        resumeContent();
}

int ShowLayers::notify(const NoticeBoard::Notice &notice)
{
    // During an upload it waits for the upload's end.
    const NoticeBoard::Change change = m_board.add(notice, !m_uploading);
    takeChange(change);
    Q_EMIT changed();
    return change.id;
}

void ShowLayers::takeChange(const NoticeBoard::Change &change)
{
    if (change.ended) {
        retire(m_noticeScroller);
        m_noticeScroller = nullptr;
        Q_EMIT notificationFinished(change.ended);
    }
    if (!change.shows)
        return;
    // What shows under it holds still; a scroll starts again afterwards.
    if (m_scroller)
        m_scroller->stop();
    Q_EMIT notificationStarted(change.id);
    const int id = change.id;
    step("notify", [this, id] { startNotice(id); });
}

void ShowLayers::startNotice(int id)
{
    const std::optional<NoticeBoard::Notice> &shown = m_board.shown();
    if (!shown || shown->id != id)
        return; // it ended while it waited in the queue
    if (!m_under)
        m_under = m_tracker.state();
    // Letters in the user font would show the user's patterns.
    const QByteArray fonts = m_tracker.state().fonts();
    const QByteArray readable = ChainPicture::withoutUserFont(fonts);
    if (readable != fonts)
        m_sender.send({{'F', readable, Pause::kShort}}, this);
    const QString text = shown->scrolls ? shown->text : QString::fromLatin1(shown->fitted);
    m_noticeScroller = new TextScroller(m_sender, text, m_chain, this);
    m_noticeScroller->setEndsOnStart(false);
    m_noticeScroller->setTickRoute([this](const std::function<void()> &tick) {
        if (lineUp())
            m_queue.runIfIdle(tick);
    });
    connect(m_noticeScroller, &TextScroller::finished, this, [this, id] { endNotice(id); });
    m_noticeScroller->start(shown->timing.rateMs, shown->timing.passes, shown->timing.seconds);
}

bool ShowLayers::dismiss(int id)
{
    if (!m_board.shown() || m_board.shown()->id != id) {
        if (!m_board.remove(id))
            return false;
        Q_EMIT notificationFinished(id);
        Q_EMIT changed();
        return true;
    }
    endNotice(id);
    return true;
}

void ShowLayers::endNotice(int id)
{
    if (!m_board.shown() || m_board.shown()->id != id)
        return;
    retire(m_noticeScroller);
    m_noticeScroller = nullptr;
    m_board.remove(id);
    Q_EMIT notificationFinished(id);
    const NoticeBoard::Change next = m_uploading ? NoticeBoard::Change{} : m_board.promote();
    if (next.shows)
        takeChange(next);
    else
        giveBack();
    Q_EMIT changed();
}

void ShowLayers::giveBack()
{
    step("return", [this] {
        // One asked for meanwhile keeps what is under it.
        if (m_board.shown())
            return;
        if (m_under) {
            m_sender.send(ChainPicture::restore(m_tracker.state(), *m_under), this);
            m_under.reset();
        }
        resumeContent();
    });
}

void ShowLayers::upload(const std::shared_ptr<const FontTable> &table, const QByteArray &fonts)
{
    m_uploading = true;
    step("font", [this, table, fonts] {
        const ChainState before = m_tracker.state();
        UploadJob job(m_sender);
        connect(&job, &UploadJob::progress, this, &ShowLayers::uploadProgress);
        const PacedSender::Outcome outcome
                = job.run(fonts.isEmpty() ? before.fonts() : fonts, *table);
        // What was on show goes out again, not the last character uploaded.
        if (outcome != PacedSender::Outcome::LineFailed)
            m_sender.send(ChainPicture::restore(m_tracker.state(), before), this);
        m_uploading = false;
        Q_EMIT uploadEnded(outcome, job.sent(), job.total());
        takeChange(m_board.promote());
        Q_EMIT changed();
    });
    Q_EMIT changed();
}

QString ShowLayers::mode() const
{
    return m_content == Content::Mode ? m_modeName : QStringLiteral("off");
}

std::optional<QString> ShowLayers::message() const
{
    if (m_content != Content::Message)
        return std::nullopt;
    return m_text;
}

bool ShowLayers::scrolling() const
{
    return m_content == Content::Message && m_scroller && m_scroller->running();
}
