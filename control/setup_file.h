#pragma once
// The setup file: plain INI lines, key=value, with the keys and words of the command-line
// options (corner=lower-left, offset=10,20, on=true); blank lines and lines starting with # or
// ; are comments. A bad line is refused whole, naming the file and the line, and nothing of
// the file is taken. Written atomically, so a crash or a power cut leaves the old file or the
// new one, never half of either.

#include "control/launch_settings.h"

#include <QString>

#include <optional>

namespace vantor {

// The settings the file gives; nothing, with `error` saying "FILE:LINE: what is wrong" (or
// "FILE: why it cannot be read"), when any line is bad.
std::optional<LaunchSettings> ReadSetupFile(const QString& path, QString& error);

// The file's text for a setup: one line per item it names, after a comment line.
QString SetupFileText(const Setup& setup, const QString& comment);

// Writes the text in place of the file, creating its folder; false with `error` on failure.
bool WriteSetupFile(const QString& path, const QString& text, QString& error);

}  // namespace vantor
