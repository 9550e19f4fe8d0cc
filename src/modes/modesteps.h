#pragma once

#include "core/keyverdict.h"
#include "protocol/chainprotocol.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <array>

// The rules of the display modes, free of any widget: the animation step, how the clock and
// the date are cut into six digits, the counter, and the key and validation rules of the
// start, stop, delay and counter fields.
namespace ModeSteps {

// Indexes of the three animation fields.
inline constexpr int kStartField = 0;
inline constexpr int kStopField = 1;
inline constexpr int kDelayField = 2;

inline constexpr int kDelayMin = 1;
inline constexpr int kDelayMax = 2000;
// What the animation fields start with: the digits "0" to "9", one every 100 ms; Count steps
// at the same delay.
inline constexpr int kDefaultStart = '0';
inline constexpr int kDefaultStop = '9';
inline constexpr int kDefaultDelay = 100;
// The animation runs within the user font.
inline constexpr int kStartMin = Protocol::kFirstUserCode;
inline constexpr int kStopMax = Protocol::kLastUserCode;
// Time and Date poll the clock at this period; Timer2 also repairs a bad interval to it.
inline constexpr int kClockInterval = 10;
inline constexpr int kDelayTypingLimit = 4;
inline constexpr int kCountTypingLimit = 6;
// The counter keeps its lowest 18 digits: it wraps from eighteen nines to 0, like the display.
inline constexpr qint64 kCounterModulus = 1000000000000000000LL;
inline constexpr qint64 kDiagnosticCode = 472915;

// The code the Animate mode shows next, given the texts of acc, the start and the stop field.
// The code is acc + 1, stepping over 13 (CR) and 33 ("!"); past the stop code, or below the
// user font's first code, it restarts at the start code, again stepping over 13 and 33. The
// result always lies within the user font table's codes 10 to 125.
int animateNext(const QString &acc, const QString &start, const QString &stop);

// Six digits of the time: hour (1 to 12 when timeFormat, a QLocale format, has an AM/PM
// marker), minutes, seconds. The marker itself is never sent.
QString timeDigits(const QTime &time, const QString &timeFormat);
// Six digits of the date: day, month and the year's last two digits, in the order the QLocale
// dateFormat names them.
QString dateDigits(const QDate &date, const QString &dateFormat);

// The counter as shown on a chain of length digits: ten zeros and the counter text, cut to
// its last length characters.
QString countDigits(const QString &xcount, int length);
// The counter value of a text: its leading digits, read modulo kCounterModulus; 0 when none.
qint64 counterValue(const QString &text);
// The decimal text of the counter value of text, as Enter and loss of focus leave it.
QString counterNormalised(const QString &text);
// The counter after one Count step, as decimal text.
QString counterNext(const QString &xcount);
// True when the counter field's value is the code that reports Timer1's interval.
bool isDiagnosticCode(const QString &text);

// Timer1's interval for a delay text: its leading number, limited to what a timer can hold.
int delayInterval(const QString &delay);

// Validates the start, stop and delay fields after the field edited was confirmed: the edited
// field becomes the decimal text of its number, the delay is held to 1..2000, the start to at
// least 10, the stop to at most 125, and a stop below the start exchanges the two.
void validateAnimation(std::array<QString, 3> &fields, int edited);

// What a key does in an animation field: a letter in the start or stop field replaces the
// whole text by its character code and is itself discarded.
struct AnimationKey
{
    KeyVerdict verdict;
    bool replaces = false;
    QString replacement;
};
AnimationKey animationKey(int field, int code);

} // namespace ModeSteps
