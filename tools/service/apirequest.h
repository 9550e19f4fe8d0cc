#pragma once

#include "protocol/pacedcommand.h"
#include "session/actiontable.h"
#include "session/programrules.h" // what Actions answers

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

// One request to vornikd as judged: what it asks for and its checked values, ready to run.
struct ApiRequest
{
    enum Kind {
        Page,
        DigitSvg,
        Info,
        State,
        Events,
        Message,
        Attributes,
        Notify,
        Dismiss,
        Mode,
        Font,
        Job,
        Blank,
        Actions // GET /api/v1/actions: the action table
    };
    Kind kind = Page;

    // Message, Notify and Attributes: the whole text (checked, in the case asked for) and its
    // whole characters, and how it fills the chain when it fits; longer texts scroll one
    // character every rate ms.
    QString text;
    QStringList characters;
    bool padLast = false;
    bool scroll = false; // Message: moves across the chain when longer than it
    int rate = ProgramRules::kRateDefault;
    int passes = 0;
    int seconds = 0;
    int priority = 1;
    bool hasText = false; // Attributes: a message was given

    // Attributes and Blank: the frames, in order.
    CommandList commands;

    // Mode: its name and the start, stop and delay fields (ModeSteps' order).
    QString mode;
    std::array<QString, 3> animation;

    // Font: the patterns of codes 10 to 125 and the fonts argument sent first.
    QStringList patterns;
    QByteArray fonts;

    // Dismiss and Job: the id in the path.
    int id = 0;

    // Message and Attributes: why the text shown is shorter than the one given (cut to the
    // chain), for the answer; empty when it was not.
    QString note;
};
