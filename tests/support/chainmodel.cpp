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
    m_content.characters = QByteArray(digits, ' ');
    m_content.attributes.fill(QByteArray(digits, '0'));
}

QByteArray ChainModel::fitted(const QString &text, bool padLast) const
{
    const QByteArray shown = text.toUpper().toLatin1().left(m_digits);
    if (shown.isEmpty())
        return QByteArray(m_digits, ' ');
    return shown + QByteArray(m_digits - shown.size(), padLast ? shown.back() : ' ');
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
        m_content.characters = QByteArray(m_digits, ' ');
    }
    m_content.pattern.clear();
    m_text.clear();
    m_mode.clear();
}

void ChainModel::showNext()
{
    m_shown.reset();
    if (!m_waiting.isEmpty())
        m_shown = m_waiting.takeFirst();
    // What ends by itself ends before the next quiet point; its time counts from its start.
    while (m_shown && m_shown->lastsMs > 0) {
        m_settleMs += m_shown->lastsMs;
        m_shown.reset();
        if (!m_waiting.isEmpty())
            m_shown = m_waiting.takeFirst();
    }
}

int ChainModel::apply(const Action &action)
{
    m_settleMs = 0;
    const QString text = action.text.toUpper();
    switch (action.kind) {
    case Action::Message:
        replaceContent();
        m_kind = Content::Message;
        m_text = text;
        m_content.characters = fitted(text, action.padLast);
        if (action.scroll && text.size() > m_digits)
            m_settleMs = (text.size() + 1) * kScrollRateMs;
        return 0;
    case Action::Attributes:
        if (action.hasText)
            replaceContent();
        for (int row = 0; row < 4; ++row) {
            if (action.attributes[row].isNull())
                continue;
            const QByteArray value = settled(action.attributes[row], m_digits);
            for (int digit = 0; digit < m_digits; ++digit)
                if (value.at(digit) != '!')
                    m_content.attributes[row][digit] = value.at(digit);
        }
        if (action.hasText) {
            m_kind = Content::Message;
            m_text = text;
            m_content.characters = fitted(text, false);
        }
        return 0;
    case Action::Blank:
        replaceContent();
        m_kind = Content::Blank;
        m_content.attributes[0] = QByteArray(m_digits, '0');
        m_content.characters = QByteArray(m_digits, ' ');
        return 0;
    case Action::Mode:
        if (action.mode == QLatin1String("off")) {
            // The picture stays as the chain shows it; a test ends first.
            const QString pattern = m_content.pattern;
            const bool test = m_kind == Content::Test;
            replaceContent();
            m_content.pattern = test ? QString() : pattern;
            m_kind = Content::Frozen;
            return 0;
        }
        replaceContent();
        m_mode = action.mode;
        m_kind = action.mode == QLatin1String("test") ? Content::Test : Content::Mode;
        if (m_kind == Content::Test) {
            m_content.attributes[0] = QByteArray(m_digits, 'U');
            m_content.characters = QByteArray(m_digits, '0');
        } else if (action.mode == QLatin1String("count")) {
            m_content.pattern = QStringLiteral("^[0-9]{%1}$").arg(m_digits);
        } else {
            m_content.pattern = QStringLiteral("^[0-9]{6} {%1}$").arg(m_digits - 6);
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
            qsizetype at = 0;
            while (at < m_waiting.size() && m_waiting.at(at).priority >= notification.priority)
                ++at;
            m_waiting.insert(at, notification);
        } else {
            m_waiting.prepend(notification);
            showNext();
        }
        return notification.id;
    }
    case Action::Dismiss: {
        const int id = m_ids.value(action.tag);
        if (m_shown && m_shown->id == id) {
            showNext();
            return 200;
        }
        for (qsizetype at = 0; at < m_waiting.size(); ++at) {
            if (m_waiting.at(at).id == id) {
                m_waiting.removeAt(at);
                return 200;
            }
        }
        return 404;
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
        picture.pattern.clear();
        picture.attributes[0].replace('U', '0');
    }
    return picture;
}

bool ChainModel::learnsCharacters() const
{
    return m_kind == Content::Frozen && !m_content.pattern.isEmpty() && !m_shown;
}

void ChainModel::learnCharacters(const QByteArray &characters)
{
    m_content.characters = characters;
    m_content.pattern.clear();
}

QString ChainModel::differences(const ChainState &chain, const QJsonObject &state) const
{
    QStringList found;
    const Picture want = shown();
    const auto compare = [&](const QString &where, const std::array<QByteArray, 5> &got) {
        const bool same = want.pattern.isEmpty()
                                  ? got[0] == want.characters
                                  : QRegularExpression(want.pattern).match(got[0]).hasMatch();
        if (!same)
            found += QStringLiteral("%1 characters \"%2\", expected %3")
                             .arg(where, QString::fromLatin1(got[0]),
                                  want.pattern.isEmpty()
                                          ? '"' + QString::fromLatin1(want.characters) + '"'
                                          : want.pattern);
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
