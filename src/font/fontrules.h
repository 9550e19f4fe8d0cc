#pragma once

#include "core/keyverdict.h"
#include "protocol/chainprotocol.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The rules of segment patterns, free of any widget: what the pattern field accepts, what a
// pattern becomes before it is stored or written to a module, and the order of an upload.
namespace FontRules {

// "0" and "1" are entered, Enter asks for the write, Backspace (8) and 127 pass.
KeyVerdict patternKey(int code);

// True for a text of exactly 15 characters "0" and "1".
using Protocol::isPattern;

// The first 15 characters of text with every character other than "1" turned into "0"; a
// shorter text stays short. Whatever a table slot holds, the result can never end a command
// early (CR) or skip a digit ("!").
QString cleanedPattern(const QString &text);
// The cleaned pattern padded with "0" to 15 characters: what the table and the preview hold.
QString storedPattern(const QString &text);
// Only the "0" and "1" characters of text, at most 15: what the pattern field may hold.
QString editablePattern(const QString &text);

// The argument of a pattern-write command: the character, then its pattern.
QByteArray patternWriteArgument(int code, const QString &pattern);

// The codes an upload writes, in order: 10 to 125 without 13 and 33.
QList<int> uploadCodes();

} // namespace FontRules
