#include "session/showlayers.h"

#include "font/fontrules.h"
#include "font/fonttable.h"
#include "modes/modesteps.h"
#include "protocol/messagecommands.h"
#include "session/actionqueue.h"
#include "session/chaininput.h"
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
    : QObject(parent), m_queue(queue), m_sender(sender), m_tracker(tracker), m_chain(chain),
      m_glyphs(chain)
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

CommandList ShowLayers::textFrames(const QStringList &text, const QStringList &window,
                                   const ChainState &written, TextLayer::Use use)
{
    // The glyphs on show (and under a notification) are written over last.
    QSet<int> busy = m_glyphs.shownCodes(written);
    if (m_under)
        busy.unite(m_glyphs.shownCodes(*m_under));
    TextLayer::Prepared prepared;
    try {
        prepared = m_glyphs.prepare(text, busy, &written);
    } catch (const ChainInput::Refusal &refusal) {
        // Checked when asked for; the codes can only have shrunk by an upload since.
        qWarning("%s", qPrintable(refusal.text));
    }
    return prepared.writes + m_glyphs.frames(window, prepared, written.fonts(), use);
}

void ShowLayers::contentText(const QString &name, const QStringList &window,
                             const CommandList &before)
{
    // Decided when they go out: the fonts on show then, the glyphs held then.
    if (before.isEmpty() && !m_board.shown() && !m_queue.busy() && m_queue.waiting() == 0) {
        m_queue.postAlways(
                {name, textFrames(window, window, m_tracker.state(), TextLayer::Use::Content), {}});
        return;
    }
    // Frames that come first (an action's attributes) go in the same action, so that one request
    // stays one place in the queue; the text is decided once they are out.
    step(name, [this, window, before] {
        if (m_under) {
            ChainPicture::apply(*m_under, before);
            ChainPicture::apply(*m_under,
                                textFrames(window, window, *m_under, TextLayer::Use::Content));
            return;
        }
        if (!before.isEmpty() && m_sender.send(before, this) != PacedSender::Outcome::Complete)
            return;
        m_sender.send(textFrames(window, window, m_tracker.state(), TextLayer::Use::Content), this);
    });
}

CommandList ShowLayers::glyphRestore(const ChainState &now, const ChainState &target) const
{
    CommandList commands;
    QSet<int> written;
    for (int digit = 0; digit < target.digits(); ++digit) {
        const int code = static_cast<unsigned char>(target.characters().at(digit));
        const QString pattern = target.userPattern(code);
        if (target.fonts().at(digit) != Protocol::kUserFont || !m_glyphs.freeCodes().contains(code)
            || now.userPattern(code) == pattern || written.contains(code))
            continue;
        written.insert(code);
        commands += {{'W', FontRules::patternWriteArgument(code, pattern), Pause::kShort},
                     {'M', QByteArray(1, static_cast<char>(code)), Pause::kShort}};
    }
    return commands;
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

void ShowLayers::showMessage(const QString &text, const QStringList &characters, bool padLast,
                             const std::optional<ScrollTiming> &scroll)
{
    m_glyphs.check(characters);
    stopContent();
    m_content = Content::Message;
    m_text = text;
    m_characters = characters;
    m_scroll = scroll;
    m_scrollEnded = false;
    if (!scroll) {
        contentText("message", TextGlyphs::fitted(characters, m_chain, padLast));
    } else {
        m_scroller = new TextScroller(m_sender, characters, m_chain, this);
        m_scroller->setFrames([this](const QStringList &window) {
            return m_glyphs.frames(window, m_scrollGlyphs, m_tracker.state().fonts());
        });
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
        if (!m_scroller || !m_scroll || m_scrollEnded || m_board.shown())
            return;
        // Every glyph of the whole text is on the modules before the first step.
        const ChainState &written = m_tracker.state();
        try {
            m_scrollGlyphs = m_glyphs.prepare(m_characters, m_glyphs.shownCodes(written), &written);
        } catch (const ChainInput::Refusal &refusal) {
            qWarning("%s", qPrintable(refusal.text));
        }
        if (!m_scrollGlyphs.writes.isEmpty())
            m_sender.send(m_scrollGlyphs.writes, this);
        if (m_scroller)
            m_scroller->start(m_scroll->rateMs, m_scroll->passes, m_scroll->seconds);
    });
}

void ShowLayers::sendFrames(const QString &name, const CommandList &frames,
                            const std::optional<QString> &message, const QStringList &shown)
{
    if (message) {
        m_glyphs.check(shown);
        stopContent();
        m_content = Content::Message;
        m_text = *message;
        m_characters = TextGlyphs::split(*message);
    }
    if (message && !shown.isEmpty())
        contentText(name, shown, frames);
    else
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

CommandList ShowLayers::glyphsAgain()
{
    const QHash<int, QString> held = m_glyphs.held();
    m_glyphs.forget();
    const ChainState &state = m_tracker.state();
    CommandList commands;
    for (int digit = 0; digit < state.digits(); ++digit) {
        const int code = static_cast<unsigned char>(state.characters().at(digit));
        if (state.fonts().at(digit) != Protocol::kUserFont || !held.contains(code)
            || m_glyphs.held().contains(code))
            continue;
        m_glyphs.markHeld(code, held.value(code));
        commands += TextGlyphs::glyphWrite(code, held.value(code));
    }
    return commands;
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
    // Its glyphs go out first; built-in letters show in font 0 where the user font is on show,
    // the others in their glyphs.
    const QStringList text = shown->shown;
    const ChainState &written = m_tracker.state();
    TextLayer::Prepared prepared;
    try {
        prepared = m_glyphs.prepare(
                text, m_glyphs.shownCodes(written).unite(m_glyphs.shownCodes(*m_under)), &written);
    } catch (const ChainInput::Refusal &refusal) {
        qWarning("%s", qPrintable(refusal.text));
    }
    if (!prepared.writes.isEmpty())
        m_sender.send(prepared.writes, this);
    m_noticeScroller = new TextScroller(m_sender, text, m_chain, this);
    m_noticeScroller->setFrames([this, prepared](const QStringList &window) {
        return m_glyphs.frames(window, prepared, m_tracker.state().fonts(), TextLayer::Use::Notice);
    });
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
            const ChainState &now = m_tracker.state();
            m_sender.send(glyphRestore(now, *m_under) + ChainPicture::restore(now, *m_under), this);
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
        // The codes the uploaded font draws are the user's; the texts take the others.
        m_glyphs.setUserFont(*table);
        // What was on show goes out again, not the last character uploaded.
        if (outcome != PacedSender::Outcome::LineFailed) {
            const ChainState &now = m_tracker.state();
            m_sender.send(glyphRestore(now, before) + ChainPicture::restore(now, before), this);
        }
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
