#pragma once

#include "core/settingslines.h"

#include <QString>
#include <QStringList>

enum class IniMode { Load, Save };

// Load reads path into lines, creating the file when missing or empty; Save writes slots 1 to
// 100 with CR LF. Failures show the "Ini file load/save error" alert and return false.
// The window's own settings follow the 100 lines as "Key=value" lines, in the slots after 100;
// a file without them loads as before.
bool IniFile(IniMode mode, const QString &path, QStringList &lines);

// A "Key=value" setting after the 100 lines: its value, empty when the file has none.
QString settingValue(const QStringList &lines, const QString &key);
// Sets it; an empty value removes the line.
void setSettingValue(QStringList &lines, const QString &key, const QString &value);

// Where the settings file lives: beside the executable, or in the per-user configuration
// directory when the program's directory cannot be written (an installed copy).
QString settingsFilePath();
