#include "chainservice.h"

#include "core/consoleoutput.h"
#include "font/fonttable.h"
#include "modes/modesteps.h"
#include "modes/scrollsteps.h"
#include "protocol/digitattributes.h"
#include "protocol/messagecommands.h"
#include "serial/seriallink.h"
#include "session/actionqueue.h"
#include "session/chaininput.h"
#include "session/chainline.h"
#include "session/chainstatetracker.h"
#include "session/fixedmodeinputs.h"
#include "session/moderunner.h"
#include "session/segmenttestrunner.h"
#include "session/textscroller.h"
#include "session/uploadjob.h"

#include <QJsonArray>

namespace {

// Pending state changes are told together after this long.
constexpr int kStateEventMs = 100;
constexpr int kReopenMs = 1000;

ModeInputs::Mode modeOf(const QString &name)
{
    if (name == QLatin1String("clock"))
        return ModeInputs::Time;
    if (name == QLatin1String("date"))
        return ModeInputs::Date;
    if (name == QLatin1String("count"))
        return ModeInputs::Count;
    return ModeInputs::Animate;
}

} // namespace

ChainService::ChainService(const QString &device, int chain, int queueCapacity, QObject *parent)
    : QObject(parent), m_device(device), m_chain(chain), m_line(std::make_unique<ChainLine>(false))
{
    m_tracker = new ChainStateTracker(m_line->link(), chain, this);
    m_queue = new ActionQueue(m_line->sender(), queueCapacity, this);
    connect(m_tracker, &ChainStateTracker::stateChanged, this, &ChainService::markChanged);
    connect(m_queue, &ActionQueue::lengthChanged, this, &ChainService::markChanged);
    connect(m_line.get(), &ChainLine::failed, this, &ChainService::lineLost);
    m_stateTimer.setSingleShot(true);
    m_stateTimer.setInterval(kStateEventMs);
    connect(&m_stateTimer, &QTimer::timeout, this, &ChainService::stateChanged);
    m_reopenTimer.setInterval(kReopenMs);
    connect(&m_reopenTimer, &QTimer::timeout, this, &ChainService::reopen);
}

ChainService::~ChainService() = default;

QString ChainService::start()
{
    if (m_line->open(m_device))
        return QString();
    m_lineError = m_line->openError();
    m_reopenTimer.start();
    return m_lineError;
}

bool ChainService::lineOpen() const
{
    return m_line->link().portopen();
}

void ChainService::markChanged()
{
    if (!m_stateTimer.isActive())
        m_stateTimer.start();
}

ChainService::Reply ChainService::refuse(int status, const QString &text) const
{
    return Reply{status, QJsonObject{{"error", text}}};
}

QJsonObject ChainService::info() const
{
    return QJsonObject{{"version", QStringLiteral(VORNIK_VERSION)},
                       {"chain", m_chain},
                       {"port", m_device},
                       {"open", lineOpen()}};
}

QJsonObject ChainService::state() const
{
    const ChainState &chain = m_tracker->state();
    QJsonArray digits;
    for (int digit = 0; digit < chain.digits(); ++digit) {
        const auto at = [digit](const QByteArray &values) {
            return QString(QLatin1Char(values.at(digit)));
        };
        digits.append(QJsonObject{{"character", at(chain.characters())},
                                  {"font", at(chain.fonts())},
                                  {"underscore", at(chain.underscores())},
                                  {"effect", at(chain.effects())},
                                  {"speed", at(chain.speeds())},
                                  {"segments", chain.digitPattern(digit)}});
    }
    QJsonObject state{
            {"chain", m_chain},
            {"open", lineOpen()},
            {"digits", digits},
            {"mode", m_content.kind == Content::Mode ? m_content.mode : "off"},
            {"message",
             m_content.kind == Content::Message ? QJsonValue(m_content.text) : QJsonValue()},
            {"notification", QJsonValue()},
            {"queue", m_queue->waiting()},
            {"job", m_activeJob ? QJsonValue(jobJson(m_jobs.value(m_activeJob))) : QJsonValue()}};
    if (!lineOpen())
        state.insert("error", m_lineError);
    if (m_shown)
        state.insert("notification", QJsonObject{{"id", m_shown->id},
                                                 {"text", m_shown->request.text},
                                                 {"priority", m_shown->request.priority}});
    return state;
}

ChainService::Reply ChainService::run(const ApiRequest &request)
{
    switch (request.kind) {
    case ApiRequest::Info:
        return Reply{200, info()};
    case ApiRequest::State:
        return Reply{200, state()};
    case ApiRequest::Job:
        if (!m_jobs.contains(request.id))
            return refuse(404, QStringLiteral("no job %1").arg(request.id));
        return Reply{200, jobJson(m_jobs.value(request.id))};
    case ApiRequest::Dismiss:
        return dismiss(request.id);
    case ApiRequest::Actions:
        return Reply{200, QJsonObject{{"actions", ActionTable::json()}}};
    default:
        break;
    }
    if (!lineOpen())
        return refuse(503, "the port " + m_device + " is lost (" + m_lineError
                                   + "); trying to reopen it every second");
    if (m_queue->waiting() >= m_queue->capacity())
        return refuse(429, QStringLiteral("the queue is full (%1 actions waiting); try again "
                                          "later")
                                   .arg(m_queue->waiting()));
    return queued(request);
}

ChainService::Reply ChainService::queued(const ApiRequest &request)
{
    const Reply done{200, QJsonObject{{"queued", true}}};
    switch (request.kind) {
    case ApiRequest::Message: {
        Content content;
        content.kind = Content::Message;
        content.text = request.text;
        content.shown = ChainInput::fitted(request.text, m_chain, request.padLast);
        content.rate = request.rate;
        content.passes = request.passes;
        content.seconds = request.seconds;
        setContent(content);
        return done;
    }
    case ApiRequest::Attributes:
    case ApiRequest::Blank: {
        CommandList commands = request.commands;
        const bool withMessage = request.kind == ApiRequest::Blank || request.hasText;
        if (withMessage) {
            // The message becomes what shows; under a notification it waits for its end.
            Content content;
            content.kind = Content::Message;
            content.text = request.kind == ApiRequest::Blank ? QString() : request.text;
            content.shown = commands.last().argument;
            stopContent();
            m_content = content;
            if (m_shown)
                commands.removeLast();
        }
        m_queue->post({request.kind == ApiRequest::Blank ? "blank" : "attributes", commands, {}});
        markChanged();
        return done;
    }
    case ApiRequest::Mode: {
        Content content;
        if (request.mode != QLatin1String("off")) {
            content.kind = Content::Mode;
            content.mode = request.mode;
            content.animation = request.animation;
        }
        setContent(content);
        return done;
    }
    case ApiRequest::Notify:
        return notify(request);
    case ApiRequest::Font:
        return upload(request);
    default:
        return refuse(404, QStringLiteral("no such call"));
    }
}

void ChainService::setContent(const Content &content)
{
    stopContent();
    m_content = content;
    // Under a notification a mode starts at once but its ticks wait; a message waits whole.
    if (!m_shown)
        showContent();
    else if (m_content.kind == Content::Mode)
        startMode();
    markChanged();
}

void ChainService::stopContent()
{
    if (m_testRunner) {
        // The segment test sends its end commands before it goes: its ticks carry on until then.
        SegmentTestRunner *runner = m_testRunner;
        const QPointer<QObject> holder = m_modeHolder;
        runner->setTickRoute([this](const std::function<void()> &tick) {
            if (lineOpen())
                m_queue->runIfIdle(tick);
        });
        connect(runner, &SegmentTestRunner::ended, this, [this, holder] { retire(holder); });
        runner->requestStop();
        m_modeHolder = nullptr;
    }
    retire(m_modeHolder);
    retire(m_contentScroller);
    m_modeHolder = nullptr;
    m_modeRunner = nullptr;
    m_testRunner = nullptr;
    m_contentScroller = nullptr;
}

void ChainService::retire(QObject *object)
{
    if (!object)
        return;
    for (QTimer *timer : object->findChildren<QTimer *>())
        timer->stop();
    // Deleted between actions, never inside a step that is still sending.
    const QPointer<QObject> gone(object);
    m_queue->postAlways({"retire", {}, [gone] { delete gone.data(); }});
}

void ChainService::contentTick(const std::function<void()> &tick)
{
    if (!m_shown && lineOpen())
        m_queue->runIfIdle(tick);
}

TextScroller *ChainService::scroller(const QString &text, const QByteArray &fitted)
{
    // A text that fits shows as fitted; a longer one scrolls.
    const bool scrolls = text.size() > m_chain;
    return new TextScroller(m_line->sender(), scrolls ? text : QString::fromLatin1(fitted), m_chain,
                            this);
}

void ChainService::showContent()
{
    const TickRoute route = [this](const std::function<void()> &tick) { contentTick(tick); };
    switch (m_content.kind) {
    case Content::None:
        break;
    case Content::Message:
        if (m_content.text.size() <= m_chain) {
            m_queue->postAlways({"message", MessageCommands::message(m_content.shown), {}});
            break;
        }
        if (!m_contentScroller) {
            m_contentScroller = scroller(m_content.text, m_content.shown);
            m_contentScroller->setTickRoute(route);
        }
        m_contentScroller->start(m_content.rate, m_content.passes, m_content.seconds);
        break;
    case Content::Mode:
        // A mode resumes where it was; the clock and the date send at once.
        if (!m_modeHolder)
            startMode();
        else if (m_modeRunner)
            m_modeRunner->modeChosen(modeOf(m_content.mode),
                                     m_content.animation[ModeSteps::kDelayField]);
        else if (m_testRunner && !m_testRunner->state().testrequest())
            m_testRunner->requestStart();
        break;
    }
}

void ChainService::startMode()
{
    const TickRoute route = [this](const std::function<void()> &tick) { contentTick(tick); };
    m_modeHolder = new QObject(this);
    if (m_content.mode == QLatin1String("test")) {
        m_testRunner = new SegmentTestRunner(
                m_line->sender(), [this] { return m_chain; }, m_modeHolder);
        m_testRunner->setTickRoute(route);
        m_testRunner->requestStart();
        return;
    }
    const ModeInputs::Mode mode = modeOf(m_content.mode);
    // The inputs live as long as the runner that reads them.
    auto inputs = std::make_shared<FixedModeInputs>(mode, m_chain, m_content.animation,
                                                    m_content.animation[ModeSteps::kStartField]);
    m_modeRunner = new ModeRunner(m_line->sender(), *inputs, m_modeHolder);
    connect(m_modeRunner, &QObject::destroyed, [inputs] {});
    m_modeRunner->setTickRoute(route);
    m_modeRunner->modeChosen(mode, m_content.animation[ModeSteps::kDelayField]);
}

ChainService::Reply ChainService::notify(const ApiRequest &request)
{
    const Notification notification{++m_nextNotification, request};
    if (m_shown && request.priority < m_shown->request.priority) {
        // It waits behind those of its priority and above.
        qsizetype at = 0;
        while (at < m_waiting.size() && m_waiting.at(at).request.priority >= request.priority)
            ++at;
        m_waiting.insert(at, notification);
    } else {
        if (m_shown)
            endNotification(m_shown->id);
        showNotification(notification);
    }
    markChanged();
    return Reply{200, QJsonObject{{"id", notification.id}}};
}

void ChainService::showNotification(const Notification &notification)
{
    // What shows meanwhile: a scrolling message stops and starts again afterwards; a mode's
    // ticks are skipped.
    if (m_contentScroller)
        m_contentScroller->stop();
    if (m_content.kind == Content::None) {
        m_content.kind = Content::Message;
        m_content.shown = m_tracker->state().characters();
        m_content.text = QString::fromLatin1(m_content.shown);
    }
    const ApiRequest &request = notification.request;
    m_shown = notification;
    m_noteScroller
            = scroller(request.text, ChainInput::fitted(request.text, m_chain, request.padLast));
    m_noteScroller->setTickRoute([this](const std::function<void()> &tick) {
        if (lineOpen())
            m_queue->runIfIdle(tick);
    });
    const int id = notification.id;
    connect(m_noteScroller, &TextScroller::finished, this, [this, id] { endNotification(id); });
    m_noteScroller->start(request.rate, request.passes, request.seconds);
    Q_EMIT notificationEvent(QJsonObject{{"id", id}, {"phase", "started"}});
}

ChainService::Reply ChainService::dismiss(int id)
{
    const bool known = (m_shown && m_shown->id == id)
                       || std::any_of(m_waiting.cbegin(), m_waiting.cend(),
                                      [id](const Notification &n) { return n.id == id; });
    if (!known)
        return refuse(404, QStringLiteral("no notification %1 is on show or waiting").arg(id));
    endNotification(id);
    return Reply{200, QJsonObject{{"dismissed", id}}};
}

void ChainService::endNotification(int id)
{
    for (qsizetype i = 0; i < m_waiting.size(); ++i) {
        if (m_waiting.at(i).id == id) {
            m_waiting.removeAt(i);
            Q_EMIT notificationEvent(QJsonObject{{"id", id}, {"phase", "finished"}});
            markChanged();
            return;
        }
    }
    if (!m_shown || m_shown->id != id)
        return;
    retire(m_noteScroller);
    m_noteScroller = nullptr;
    m_shown.reset();
    Q_EMIT notificationEvent(QJsonObject{{"id", id}, {"phase", "finished"}});
    if (!m_waiting.isEmpty())
        showNotification(m_waiting.takeFirst());
    else
        showContent();
    markChanged();
}

ChainService::Reply ChainService::upload(const ApiRequest &request)
{
    if (m_activeJob)
        return refuse(409, QStringLiteral("a font upload is under way (job %1); wait for it to "
                                          "end")
                                   .arg(m_activeJob));
    const int id = ++m_nextJob;
    m_jobs.insert(id, Job{id, 0, 0, "queued"});
    m_activeJob = id;
    auto table = std::make_shared<FontTable>();
    table->applyUserPatterns(request.patterns);
    const QByteArray fonts = request.fonts;
    m_queue->post({"font", {}, [this, id, table, fonts] {
                       UploadJob job(m_line->sender());
                       const auto tell = [this, id](int sent, int total, const QString &state) {
                           Job &record = m_jobs[id];
                           record.sent = sent;
                           record.total = total;
                           record.state = state;
                           Q_EMIT jobEvent(jobJson(record));
                           markChanged();
                       };
                       connect(&job, &UploadJob::progress, this,
                               [tell](int sent, int total) { tell(sent, total, "running"); });
                       const PacedSender::Outcome outcome = job.run(fonts, *table);
                       const char *ended = outcome == PacedSender::Outcome::Complete  ? "done"
                                           : outcome == PacedSender::Outcome::Stopped ? "stopped"
                                                                                      : "failed";
                       m_activeJob = 0;
                       tell(outcome == PacedSender::Outcome::Complete ? job.total() : job.sent(),
                            job.total(), ended);
                   }});
    markChanged();
    return Reply{202, QJsonObject{{"job", id}}};
}

QJsonObject ChainService::jobJson(const Job &job) const
{
    return QJsonObject{
            {"id", job.id}, {"sent", job.sent}, {"total", job.total}, {"state", job.state}};
}

void ChainService::lineLost(const QString &reason)
{
    // Said once per loss: the journal shows when the sign went dark and when it came back.
    ConsoleOutput::say("the port " + m_device + " is lost (" + reason
                       + "); trying to reopen it every second");
    m_lineError = reason;
    m_queue->clear();
    if (m_activeJob && m_jobs.value(m_activeJob).state == QLatin1String("queued")) {
        m_jobs[m_activeJob].state = "failed";
        m_activeJob = 0;
    }
    m_reopenTimer.start();
    markChanged();
}

void ChainService::reopen()
{
    if (!m_line->open(m_device)) {
        m_lineError = m_line->openError();
        return;
    }
    m_reopenTimer.stop();
    m_lineError.clear();
    ConsoleOutput::say("the port " + m_device + " is open; sending what the chain shows");
    // The chain shows what the model says: every attribute and the characters, then a mode
    // carries on from where it was.
    const ChainState &chain = m_tracker->state();
    CommandList commands;
    const QByteArray values[]
            = {chain.fonts(), chain.underscores(), chain.effects(), chain.speeds()};
    for (int row = DigitAttributes::Fonts; row <= DigitAttributes::Speeds; ++row)
        commands += MessageCommands::attribute(DigitAttributes::table().at(row).letter, values[row],
                                               chain.characters())
                            .first();
    commands += MessageCommands::message(chain.characters());
    m_queue->postAlways({"state", commands, {}});
    if (m_content.kind == Content::Mode && !m_shown)
        showContent();
    markChanged();
}
