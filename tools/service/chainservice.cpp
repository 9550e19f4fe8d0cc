#include "chainservice.h"

#include "core/consoleoutput.h"
#include "font/fonttable.h"
#include "protocol/digitattributes.h"
#include "protocol/messagecommands.h"
#include "serial/seriallink.h"
#include "session/actionqueue.h"
#include "session/chaininput.h"
#include "session/chainline.h"
#include "session/chainstatetracker.h"
#include "session/programrules.h"
#include "session/showlayers.h"
#include "session/textglyphs.h"

#include <QJsonArray>

namespace {

// Pending state changes are told together after this long.
constexpr int kStateEventMs = 100;
// Reopening waits the base, then twice as long after each failure, up to this many bases; a
// reopened line that fails before it has stayed up that long fails "at once".
constexpr int kReopenBaseMs = 1000;
// Upload jobs kept for GET /api/v1/jobs/ID, the newest.
constexpr int kKeptJobs = 100;
constexpr int kLongestWaitInBases = 30;

} // namespace

ChainService::ChainService(const QString &device, int chain, int queueCapacity, QObject *parent)
    : QObject(parent), m_device(device), m_chain(chain), m_line(std::make_unique<ChainLine>(false))
{
    m_tracker = new ChainStateTracker(m_line->link(), chain, this);
    m_queue = new ActionQueue(m_line->sender(), queueCapacity, this);
    connect(m_tracker, &ChainStateTracker::stateChanged, this, &ChainService::markChanged);
    connect(m_queue, &ActionQueue::lengthChanged, this, &ChainService::markChanged);
    connect(m_line.get(), &ChainLine::failed, this, &ChainService::lineLost);
    m_layers = new ShowLayers(*m_queue, m_line->sender(), *m_tracker, chain, this);
    m_layers->setLineUp([this] { return lineOpen(); });
    connect(m_layers, &ShowLayers::changed, this, &ChainService::markChanged);
    connect(m_layers, &ShowLayers::notificationStarted, this, [this](int id) {
        Q_EMIT notificationEvent(QJsonObject{{"id", id}, {"phase", "started"}});
    });
    connect(m_layers, &ShowLayers::notificationFinished, this, [this](int id) {
        Q_EMIT notificationEvent(QJsonObject{{"id", id}, {"phase", "finished"}});
    });
    connect(m_layers, &ShowLayers::uploadProgress, this,
            [this](int sent, int total) { tellJob(sent, total, "running"); });
    connect(m_layers, &ShowLayers::uploadEnded, this,
            [this](PacedSender::Outcome outcome, int sent, int total) {
                const bool complete = outcome == PacedSender::Outcome::Complete;
                tellJob(complete ? total : sent, total,
                        complete                                   ? "done"
                        : outcome == PacedSender::Outcome::Stopped ? "stopped"
                                                                   : "failed");
            });
    m_stateTimer.setSingleShot(true);
    m_stateTimer.setInterval(kStateEventMs);
    connect(&m_stateTimer, &QTimer::timeout, this, &ChainService::stateChanged);
    // VORNIK_REOPEN_MS shortens the waits between reopening attempts (a testing aid).
    bool baseOk = false;
    const int base = qEnvironmentVariableIntValue("VORNIK_REOPEN_MS", &baseOk);
    m_reopenBaseMs = baseOk && base > 0 && base <= kReopenBaseMs ? base : kReopenBaseMs;
    m_reopenTimer.setSingleShot(true);
    connect(&m_reopenTimer, &QTimer::timeout, this, &ChainService::reopen);
    m_steadyTimer.setSingleShot(true);
    m_steadyTimer.setInterval(kLongestWaitInBases * m_reopenBaseMs);
    connect(&m_steadyTimer, &QTimer::timeout, this, [this] {
        m_failedAttempts = 0;
        if (lineOpen() && m_told == Told::FailsAtOnce)
            tell(Told::Open, "the port " + m_device + " has stayed open again");
    });
}

ChainService::~ChainService() = default;

QString ChainService::start()
{
    // Whatever the chain showed before this service started is unknown: it is painted whole,
    // so that from the first request on the chain shows what the state says.
    if (openLine()) {
        sendState(true);
        return QString();
    }
    m_told = Told::Lost;
    reopenLater();
    return m_lineError;
}

bool ChainService::openLine()
{
    if (!m_line->open(m_device)) {
        m_lineError = m_line->openError();
        return false;
    }
    if (!m_identity)
        m_identity = DeviceIdentity::of(m_device);
    m_lineError.clear();
    return true;
}

void ChainService::reopenLater()
{
    const int doublings = std::min(m_failedAttempts, 5);
    m_reopenTimer.start(
            std::min(m_reopenBaseMs << doublings, kLongestWaitInBases * m_reopenBaseMs));
}

void ChainService::tell(Told told, const QString &text)
{
    if (std::exchange(m_told, told) != told)
        ConsoleOutput::say(text);
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
                                  {"text", m_layers->textLayer().textAt(chain, digit)},
                                  {"font", at(chain.fonts())},
                                  {"underscore", at(chain.underscores())},
                                  {"effect", at(chain.effects())},
                                  {"speed", at(chain.speeds())},
                                  {"segments", chain.digitPattern(digit)}});
    }
    const std::optional<QString> message = m_layers->message();
    QJsonObject state{
            {"chain", m_chain},
            {"open", lineOpen()},
            {"digits", digits},
            {"mode", m_layers->mode()},
            {"message", message ? QJsonValue(*message) : QJsonValue()},
            {"scrolling", m_layers->scrolling()},
            {"notification", QJsonValue()},
            {"queue", m_queue->waiting()},
            {"job", m_activeJob ? QJsonValue(jobJson(m_jobs.value(m_activeJob))) : QJsonValue()}};
    if (!lineOpen()) {
        state.insert("error", m_lineError);
        state.insert("attempts", m_failedAttempts);
        state.insert("retry_ms", m_reopenTimer.interval());
    }
    if (const auto &shown = m_layers->notices().shown())
        state.insert("notification", QJsonObject{{"id", shown->id},
                                                 {"text", shown->text},
                                                 {"priority", shown->priority}});
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
        if (!m_layers->dismiss(request.id))
            return refuse(
                    404,
                    QStringLiteral("no notification %1 is on show or waiting").arg(request.id));
        return Reply{200, QJsonObject{{"dismissed", request.id}}};
    case ApiRequest::Actions:
        return Reply{200, QJsonObject{{"actions", ActionTable::json()}}};
    default:
        break;
    }
    if (!lineOpen())
        return refuse(503, "the port " + m_device + " is lost (" + m_lineError
                                   + "); trying to reopen it");
    if (m_queue->waiting() >= m_queue->capacity())
        return refuse(429, QStringLiteral("the queue is full (%1 actions waiting); try again "
                                          "later")
                                   .arg(m_queue->waiting()));
    return queued(request);
}

ChainService::Reply ChainService::queued(const ApiRequest &request)
{
    try {
        return queuedText(request);
    } catch (const ChainInput::Refusal &refusal) {
        return refuse(400, refusal.text);
    }
}

ChainService::Reply ChainService::queuedText(const ApiRequest &request)
{
    const Reply done{200, QJsonObject{{"queued", true}}};
    switch (request.kind) {
    case ApiRequest::Message: {
        const bool scrolls = request.scroll && request.characters.size() > m_chain;
        const std::optional<ScrollTiming> scroll
                = scrolls ? std::optional<ScrollTiming>(
                          {request.rate, request.passes, request.seconds})
                          : std::nullopt;
        m_layers->showMessage(request.text, request.characters, request.padLast, scroll);
        return done;
    }
    case ApiRequest::Attributes:
        m_layers->sendFrames("attributes", request.commands,
                             request.hasText ? std::optional<QString>(request.text) : std::nullopt,
                             TextGlyphs::fitted(request.characters, m_chain, false));
        return done;
    case ApiRequest::Blank:
        // Blank leaves no message and no mode: what it shows stays, as after mode off.
        m_layers->freeze();
        m_layers->sendFrames("blank", request.commands, std::nullopt);
        return done;
    case ApiRequest::Mode:
        if (request.mode == QLatin1String("off"))
            m_layers->freeze();
        else
            m_layers->runMode(request.mode, ProgramRules::modeOf(request.mode), request.animation);
        return done;
    case ApiRequest::Notify: {
        NoticeBoard::Notice notice;
        notice.text = request.text;
        // A notification moves a text longer than the chain across it.
        notice.scrolls = request.characters.size() > m_chain;
        notice.shown = notice.scrolls
                               ? request.characters
                               : TextGlyphs::fitted(request.characters, m_chain, request.padLast);
        m_layers->textLayer().check(notice.shown);
        notice.timing = {request.rate, request.passes, request.seconds};
        notice.priority = request.priority;
        return Reply{200, QJsonObject{{"id", m_layers->notify(notice)}}};
    }
    case ApiRequest::Font:
        return upload(request);
    default:
        return refuse(404, QStringLiteral("no such call"));
    }
}

ChainService::Reply ChainService::upload(const ApiRequest &request)
{
    if (m_activeJob)
        return refuse(409, QStringLiteral("a font upload is under way (job %1); wait for it to "
                                          "end")
                                   .arg(m_activeJob));
    const int id = ++m_nextJob;
    // A sign uploads for months: the oldest ended jobs are forgotten (404 like unknown ones).
    while (m_jobs.size() >= kKeptJobs)
        m_jobs.erase(m_jobs.begin());
    m_jobs.insert(id, Job{id, 0, 0, "queued"});
    m_activeJob = id;
    auto table = std::make_shared<FontTable>();
    table->applyUserPatterns(request.patterns);
    // The upload's fonts are those on show: the request's are only the reset the judge gives.
    m_layers->upload(table, QByteArray());
    markChanged();
    return Reply{202, QJsonObject{{"job", id}}};
}

void ChainService::tellJob(int sent, int total, const QString &state)
{
    if (!m_activeJob)
        return;
    Job &record = m_jobs[m_activeJob];
    record.sent = sent;
    record.total = total;
    record.state = state;
    if (state != QLatin1String("running"))
        m_activeJob = 0;
    Q_EMIT jobEvent(jobJson(record));
    markChanged();
}

QJsonObject ChainService::jobJson(const Job &job) const
{
    return QJsonObject{
            {"id", job.id}, {"sent", job.sent}, {"total", job.total}, {"state", job.state}};
}

void ChainService::lineLost(const QString &reason)
{
    m_lineError = reason;
    // A device that fails again right after it was reopened is not tried again at once.
    if (m_steadyTimer.isActive()) {
        m_steadyTimer.stop();
        ++m_failedAttempts;
        tell(Told::FailsAtOnce, "the port " + m_device + " failed again right after it opened ("
                                        + reason + "); trying it less and less often");
    } else {
        m_failedAttempts = 0;
        // Said once per loss: the journal shows when the sign went dark and when it came back.
        m_told = Told::Open;
        tell(Told::Lost, "the port " + m_device + " is lost (" + reason + "); trying to reopen it");
    }
    // The queue runs on: what it holds goes nowhere, and the layers keep their order.
    reopenLater();
    markChanged();
}

void ChainService::reopen()
{
    // The chain's state goes to the device it was sent to before, never to whatever took the
    // path since: that one is not even opened.
    const std::optional<DeviceIdentity> now = DeviceIdentity::of(m_device);
    if (m_identity && now && !m_identity->sameDevice(*now)) {
        m_lineError = QStringLiteral("the port %1 is now another device (%2, was %3); not sending "
                                     "to it")
                              .arg(m_device, now->text(), m_identity->text());
        tell(Told::AnotherDevice, m_lineError);
    } else if (openLine()) {
        m_steadyTimer.start();
        if (m_told != Told::FailsAtOnce)
            tell(Told::Open, "the port " + m_device + " is open; sending what the chain shows");
        sendState(true);
        return;
    }
    ++m_failedAttempts;
    reopenLater();
    markChanged();
}

void ChainService::paintAgain()
{
    if (lineOpen())
        sendState(false);
}

void ChainService::sendState(bool resume)
{
    // The frames are made when the paint's turn comes: the actions queued before it change
    // what the chain shows. The modules may have lost the glyphs: those on show go first.
    m_queue->postAlways({"state", {}, [this] {
                             m_line->sender().send(m_layers->glyphsAgain() + wholePicture(), this);
                         }});
    // Then a mode carries on from where it was.
    if (resume)
        m_layers->lineBack();
    markChanged();
}

CommandList ChainService::wholePicture() const
{
    // Every attribute and the characters, as the state has them.
    const ChainState &chain = m_tracker->state();
    CommandList commands;
    const QByteArray values[]
            = {chain.fonts(), chain.underscores(), chain.effects(), chain.speeds()};
    for (int row = DigitAttributes::Fonts; row <= DigitAttributes::Speeds; ++row)
        commands += MessageCommands::attribute(DigitAttributes::table().at(row).letter, values[row],
                                               chain.characters())
                            .first();
    return commands + MessageCommands::message(chain.characters());
}
