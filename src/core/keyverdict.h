#pragma once

#include <QChar>

#include <functional>

// What a field does with one typed character code.
struct KeyVerdict
{
    enum Kind { Insert, Enter, Pass, Swallow };
    Kind kind = Swallow;
    QChar character; // for Insert: the character entered (upper-cased where the field says)

    static KeyVerdict insert(QChar c) { return KeyVerdict{Insert, c}; }
    static KeyVerdict enter() { return KeyVerdict{Enter, QChar()}; }
    static KeyVerdict pass() { return KeyVerdict{Pass, QChar()}; }
    static KeyVerdict swallow() { return KeyVerdict{Swallow, QChar()}; }
    // What a field does with a key outside its accepted set: Enter runs its action, Backspace
    // and Delete edit, everything else is swallowed.
    static KeyVerdict editing(int code);
    // A field of decimal digits: a digit is entered, any other key is taken as editing().
    static KeyVerdict digits(int code);
};

using KeyFilter = std::function<KeyVerdict(int code)>;
