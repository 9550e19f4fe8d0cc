#pragma once

#include "core/settingslines.h"

#include <QString>
#include <QStringList>

enum class IniMode { Load, Save };

// Load reads path into lines, creating the file when missing or empty; Save writes slots 1 to
// 100 with CR LF. Failures show the "Ini file load/save error" alert and return false.
bool IniFile(IniMode mode, const QString &path, QStringList &lines);

// Where the settings file lives: beside the executable, or in the per-user configuration
// directory when the program's directory cannot be written (an installed copy).
QString settingsFilePath();
