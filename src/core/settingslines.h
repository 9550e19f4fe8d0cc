#pragma once

#include <QByteArray>
#include <QStringList>

class QIODevice;

// The settings file's format: up to 100 lines carried from start-up to shutdown, kept in
// slots 1 to 100 of a list (slot 0 unused); line 1 is the directory of the last user-font
// file chosen in the Load or Save dialog.
inline constexpr int kSettingsLines = 100;

// A settings list with slots 1 to 100, all empty.
QStringList emptySettingsLines();

// Reads up to 100 lines of file into slots 1 onward (CR LF or LF alone).
void readSettingsLines(QIODevice &file, QStringList &lines);

// Slots 1 to 100 as the file holds them, each line ended by CR LF.
QByteArray settingsFileBytes(const QStringList &lines);
