#pragma once

#include <QElapsedTimer>
#include <QLatin1StringView>
#include <QString>

#include <functional>

// Program-wide helpers: control-character constants, file tests, the program directory,
// the version text, the paced wait, hexadecimal padding and the field splitter.

// Line ends and the double quote, for building texts.
inline constexpr QLatin1StringView CR("\r");
inline constexpr QLatin1StringView LF("\n");
inline constexpr QLatin1StringView CRLF("\r\n");
inline constexpr QLatin1StringView QUOTE("\"");

// Character codes for key handlers.
inline constexpr int kCR = 13;
inline constexpr int kLF = 10;
inline constexpr int kBS = 8;
inline constexpr int kDEL = 127;

// True when path names an existing ordinary, visible file. Never fails.
bool FileExists(const QString &path);

// The directory holding the program's executable.
QString AppPath();
// Test seam: makes AppPath() answer dir instead (an empty text restores the real one).
void setAppPathOverride(const QString &dir);

// The program version as "1.02.03".
QString VersionText();
QString VersionText(int major, int minor, int revision);

// Seconds from start to now on a seconds-since-midnight clock, across midnight; never negative.
double Elapsed(double start, double now);

// Waits pause hundredths of a second while window events go on; 0 or less returns at once.
void Delay(int pause);
// The same, counted from since (a started clock) rather than from the call: a pause that
// follows a write then starts when the bytes left, not after the logging that came after.
void Delay(int pause, const QElapsedTimer &since);

// Test seams for Delay: the factor applied to every pause (1 = real time, 0 = yield only),
// and an observer told of every pause requested.
void setDelayScale(double scale);
double delayScale();
void setDelayObserver(std::function<void(int pause)> observer);

// Shutdown: once requested, every running and future Delay returns at once, so nested
// waits and long loops unwind promptly.
void requestShutdown();
bool shutdownRequested();
// Test seam: clears the shutdown request so that one process can run several windows.
void resetShutdownRequest();

// The last `digits` characters of zero-filled upper-case hexadecimal of value.
QString HexPad(unsigned char value, int digits);

// Field n (1-based) of text split at separator; n = 0 counts the fields. A blank or empty
// separator splits at runs of blanks and is set to a blank in the caller's variable.
inline constexpr int kMaxFieldIndex = 8000;
QString Field(const QString &text, int n, QString &separator);
QString Field(const QString &text, int n, QChar separator);

// The decimal number at the start of text (0 when there is none), saturating instead of
// overflowing.
qint64 LeadingNumber(const QString &text);
