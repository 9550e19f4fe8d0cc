#pragma once

#include <QString>
#include <QStringList>

// The settings file: up to 100 lines carried from start-up to shutdown; line 1 is the
// directory of the last user-font file chosen in the Load or Save dialog.
inline constexpr int kSettingsLines = 100;

// A settings list with slots 1 to 100 (slot 0 unused), all empty.
QStringList emptySettingsLines();

// mode "load" reads path into lines, creating the file when missing or empty; mode "save"
// writes slots 1 to 100 with CR LF. Failures show the "Ini file load/save error" alert.
void IniFile(const QString &mode, const QString &path, QStringList &lines);

// Where the settings file lives: beside the executable, or in the per-user configuration
// directory when the program's directory cannot be written (an installed copy).
QString settingsFilePath();
