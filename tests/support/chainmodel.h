#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// A small reference of what a served chain shows, by the program-side rules: the content
// layer (a message, attributes, blank, a mode, the segment test, a frozen picture), the
// notifications above it (one shown, the rest waiting by priority then arrival), and what the
// digits show once everything timed has run its course.
class ChainState;

class ChainModel
{
public:
    // One action of a client, by the path it takes.
    struct Action
    {
        enum Kind { Message, Attributes, Blank, Notify, Dismiss, Mode, Upload };
        enum Path { Http, Mqtt, Ctl };
        Kind kind = Message;
        Path path = Http;
        QString text;
        bool hasText = true; // Attributes: a text was given
        bool padLast = false;
        // Message: scroll once, a step every 50 ms; Notify: a long text moves across once.
        bool scroll = false;
        // Attributes: fonts, underscores, effects, speeds as given (null: not given).
        std::array<QString, 4> attributes;
        int priority = 1;
        int seconds = 0; // Notify: 0 shows it until it is dismissed
        int tag = 0;     // Notify: its own; Dismiss: the one it ends
        QString mode;    // off, clock, date, count, test
        int from = 0;    // count
    };

    // The digits: a pattern their characters match (exact, unless they change by themselves) and
    // the attribute rows in the order fonts, underscores, effects, speeds.
    struct Picture
    {
        QString characters;
        std::array<QByteArray, 4> attributes;
    };

    static constexpr int kScrollRateMs = 50;

    explicit ChainModel(int digits);

    // False for an action whose outcome the rules leave open in this state.
    bool allows(const Action &action) const;
    // Applies action and lets whatever ends by itself end. Returns what the client is answered
    // with beyond "done": a notification's id, a dismissal's status (200 or 404).
    int apply(const Action &action);
    int idOf(int tag) const { return m_ids.value(tag); }
    // How long the timed parts of the last action take.
    int settleMs() const { return m_settleMs; }

    // A mode turned off leaves its last frame, which the model learns once the chain is quiet.
    bool learnsCharacters() const;
    void learnCharacters(const QByteArray &characters);

    // Where the chain decoded from the line and the service's state differ from the model, one
    // part after another; empty for none.
    QString differences(const ChainState &chain, const QJsonObject &state) const;

private:
    enum class Content { None, Message, Blank, Frozen, Mode, Test };

    struct Notification
    {
        int id = 0;
        QString text;
        int priority = 1;
        bool padLast = false;
        int lastsMs = 0; // 0: until it is dismissed
    };

    // A text as a message shows it: cut to the chain, filled with blanks or its last character;
    // as a pattern of exactly that.
    QString fitted(const QString &text, bool padLast = false) const;
    Picture shown() const;
    bool contentIsStill() const;
    void replaceContent();
    void showNext();

    int m_digits;
    Picture m_content;
    Content m_kind = Content::None;
    QString m_text;
    QString m_mode;
    std::optional<Notification> m_shown;
    QList<Notification> m_waiting;
    QHash<int, int> m_ids;
    int m_lastId = 0;
    int m_settleMs = 0;
};
