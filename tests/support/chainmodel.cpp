#include "support/chainmodel.h"

#include "session/chainstate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <QStringList>

namespace {

const char *const kAttributeNames[] = {"fonts", "underscores", "effects", "speeds"};

// An attribute field as given, settled to the chain: filled with its last character.
QByteArray settled(const QString &given, int digits)
{
    const QByteArray value = given.isEmpty() ? QByteArray("0") : given.toUpper().toLatin1();
    return (value + QByteArray(digits, value.back())).left(digits);
}

QString json(const QJsonValue &value)
{
    const QByteArray wrapped
            = QJsonDocument(QJsonObject{{"v", value}}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.mid(5).chopped(1));
}

} // namespace

ChainModel::ChainModel(int digits) : m_digits(digits)
{
    m_content.characters = fitted({});
    m_content.attributes.fill(QByteArray(digits, '0'));
}

QString ChainModel::fitted(const QString &text, bool padLast) const
{
    const QString shown = text.toUpper().left(m_digits);
    const QChar fill = padLast && !shown.isEmpty() ? shown.back() : QChar(' ');
    return QRegularExpression::escape(shown + QString(m_digits - shown.size(), fill));
}

bool ChainModel::contentIsStill() const
{
    return m_kind != Content::Mode && m_kind != Content::Test;
}

bool ChainModel::allows(const Action &action) const
{
    if (action.kind == Action::Dismiss)
        return m_ids.contains(action.tag);
    if (action.kind == Action::Notify)
        return true;
    if (m_shown) {
        // Under a notification only what replaces the content underneath is clear: a message
        // or a mode, which show once it ends. A running test would have to end on top of it.
        if (m_kind == Content::Test)
            return false;
        const bool scrolls = action.scroll && action.text.size() > m_digits;
        return (action.kind == Action::Message && !scrolls)
               || (action.kind == Action::Mode && action.mode != QLatin1String("off")
                   && action.mode != QLatin1String("test"));
    }
    if (action.kind == Action::Mode && action.mode == QLatin1String("off"))
        return !contentIsStill();
    if ((action.kind == Action::Attributes && !action.hasText) || action.kind == Action::Upload)
        return contentIsStill();
    return true;
}

void ChainModel::replaceContent()
{
    // The segment test's end commands go before whatever replaces it.
    if (m_kind == Content::Test) {
        m_content.attributes[0] = QByteArray(m_digits, '0');
        m_content.characters = fitted({});
    }
}

void ChainModel::showNext()
{
    // What ends by itself ends before the next quiet point; its time counts from its start.
    for (m_shown.reset(); !m_shown && !m_waiting.isEmpty();) {
        m_shown = m_waiting.takeFirst();
        if (m_shown->lastsMs > 0)
            m_settleMs += m_shown->lastsMs, m_shown.reset();
    }
}

int ChainModel::apply(const Action &action)
{
    m_settleMs = 0;
    const QString text = action.text.toUpper();
    switch (action.kind) {
    case Action::Message:
    case Action::Attributes:
        if (action.hasText) {
            replaceContent();
            m_kind = Content::Message;
            m_text = text;
            m_content.characters = fitted(text, action.kind == Action::Message && action.padLast);
        }
        if (action.kind == Action::Message && action.scroll && text.size() > m_digits)
            m_settleMs = (text.size() + 1) * kScrollRateMs;
        for (int row = 0; row < 4; ++row) {
            if (action.attributes[row].isNull())
                continue;
            const QByteArray value = settled(action.attributes[row], m_digits);
            for (int digit = 0; digit < m_digits; ++digit)
                if (value.at(digit) != '!')
                    m_content.attributes[row][digit] = value.at(digit);
        }
        return 0;
    case Action::Blank:
        replaceContent();
        m_kind = Content::Blank;
        m_content.attributes[0] = QByteArray(m_digits, '0');
        m_content.characters = fitted({});
        return 0;
    case Action::Mode:
        if (action.mode == QLatin1String("off")) {
            // The picture stays as the chain shows it; a test ends first.
            replaceContent();
            m_kind = Content::Frozen;
            return 0;
        }
        replaceContent();
        m_mode = action.mode;
        m_kind = action.mode == QLatin1String("test") ? Content::Test : Content::Mode;
        if (m_kind == Content::Test) {
            m_content.attributes[0] = QByteArray(m_digits, 'U');
            m_content.characters = fitted(QString(m_digits, '0'));
        } else if (action.mode == QLatin1String("count")) {
            m_content.characters = QStringLiteral("[0-9]{%1}").arg(m_digits);
        } else {
            m_content.characters = QStringLiteral("[0-9]{6} {%1}").arg(m_digits - 6);
        }
        return 0;
    case Action::Upload:
        // What was on show before the upload shows again after it.
        m_settleMs = 3000;
        return 0;
    case Action::Notify: {
        const int lastsMs
                = action.scroll ? (text.size() + 1) * kScrollRateMs : action.seconds * 1000;
        const Notification notification{++m_lastId, text, action.priority, action.padLast, lastsMs};
        m_ids.insert(action.tag, notification.id);
        if (m_shown && notification.priority < m_shown->priority) {
            // After those waiting of its priority or higher.
            const auto after = std::find_if(m_waiting.begin(), m_waiting.end(), [&](auto &w) {
                return w.priority < notification.priority;
            });
            m_waiting.insert(after, notification);
        } else {
            m_waiting.prepend(notification);
            showNext();
        }
        return notification.id;
    }
    case Action::Dismiss: {
        const int id = m_ids.value(action.tag);
        if (m_shown && m_shown->id == id)
            return showNext(), 200;
        return m_waiting.removeIf([id](const Notification &n) { return n.id == id; }) ? 200 : 404;
    }
    }
    return 0;
}

ChainModel::Picture ChainModel::shown() const
{
    Picture picture = m_content;
    if (m_shown) {
        // A notification shows its characters in a built-in font.
        picture.characters = fitted(m_shown->text, m_shown->padLast);
        picture.attributes[0].replace('U', '0');
    }
    return picture;
}

bool ChainModel::learnsCharacters() const
{
    return m_kind == Content::Frozen && !m_shown;
}

void ChainModel::learnCharacters(const QByteArray &characters)
{
    m_content.characters = QRegularExpression::escape(QString::fromLatin1(characters));
}

QString ChainModel::differences(const ChainState &chain, const QJsonObject &state) const
{
    QStringList found;
    const Picture want = shown();
    const auto compare = [&](const QString &where, const std::array<QByteArray, 5> &got) {
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(want.characters));
        if (!pattern.match(QString::fromLatin1(got[0])).hasMatch())
            found += QStringLiteral("%1 characters \"%2\", expected /%3/")
                             .arg(where, QString::fromLatin1(got[0]), want.characters);
        for (int row = 0; row < 4; ++row)
            if (got[row + 1] != want.attributes[row])
                found += QStringLiteral("%1 %2 \"%3\", expected \"%4\"")
                                 .arg(where, kAttributeNames[row],
                                      QString::fromLatin1(got[row + 1]),
                                      QString::fromLatin1(want.attributes[row]));
    };
    compare("chain", {chain.characters(), chain.fonts(), chain.underscores(), chain.effects(),
                      chain.speeds()});
    std::array<QByteArray, 5> served;
    for (const QJsonValue &digit : state.value("digits").toArray()) {
        int key = 0;
        for (const char *name : {"character", "font", "underscore", "effect", "speed"})
            served[key++] += digit.toObject().value(name).toString().toLatin1();
    }
    compare("state", served);
    // A frozen picture is learnt once the line has caught up with the service.
    if (learnsCharacters() && chain.characters() != served[0])
        found += QStringLiteral("the chain's characters are not yet the state's");
    const auto expect = [&](const char *key, const QJsonValue &got, const QJsonValue &expected) {
        if (got != expected)
            found += QStringLiteral("state %1 %2, expected %3").arg(key, json(got), json(expected));
    };
    const QJsonValue told = state.value("notification");
    const QJsonObject notification = told.toObject();
    expect("notification",
           told.isObject() ? QJsonArray{notification.value("id"), notification.value("text"),
                                        notification.value("priority")}
                           : told,
           m_shown ? QJsonArray{m_shown->id, m_shown->text, m_shown->priority} : QJsonValue());
    expect("mode", state.value("mode"), contentIsStill() ? QStringLiteral("off") : m_mode);
    expect("message", state.value("message"),
           m_kind == Content::Message ? QJsonValue(m_text) : QJsonValue());
    expect("queue", state.value("queue"), 0);
    expect("job", state.value("job"), QJsonValue::Null);
    expect("scrolling", state.value("scrolling"), false);
    return found.join(QStringLiteral("; "));
}
