#pragma once

#include "font/fonttable.h"

#include <QByteArray>
#include <QPointer>
#include <QStringList>

#include <functional>

class QLineEdit;
class SerialLink;

// What the main window's panels share: the line to the chain, the user font table, the
// settings lines, and the fields that one panel reads from another. Panels register their
// fields here as they are built; handlers read the field texts when they need them.
class Workbench
{
public:
    explicit Workbench(SerialLink &link);

    SerialLink &link;
    FontTable fontarray;
    QStringList settingslines;

    QPointer<QLineEdit> statusbox;
    // The message block.
    QPointer<QLineEdit> mlength;
    QPointer<QLineEdit> sentence;
    QPointer<QLineEdit> fonts;
    QPointer<QLineEdit> underscore;
    QPointer<QLineEdit> effects;
    QPointer<QLineEdit> speeds;
    // The user-font editor.
    QPointer<QLineEdit> acc;
    QPointer<QLineEdit> udc;
    QPointer<QLineEdit> udcpattern;
    QPointer<QLineEdit> fontfile;

    // The chain length N: the leading number of mlength, 0 when it has none.
    int chainLength() const;
    // The current user-font code: the number in acc.
    int currentCode() const;

    // Builds the command from letter and argument and hands it to ComWrite with pause.
    void send(char letter, const QByteArray &argument, int pause);
    // Sends the one-character message that shows character code on the first digit.
    void sendCharacter(int code, int pause);

    // Redraws the segment editor from udcpattern and stores it at the current code; the
    // common ending of the Command2 buttons.
    void showsegments();
    void setShowsegments(std::function<void()> handler) { m_showsegments = std::move(handler); }

    void setStatus(const QString &text);
    QString status() const;

private:
    std::function<void()> m_showsegments;
};
