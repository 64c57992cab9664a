#pragma once
// The items a copy can be started with, one table for the command line and the setup file: an
// option --corner is the key corner= in a file, takes the same words and says the same when a
// word is wrong.

#include "control/launch_settings.h"

#include <QDir>
#include <QString>
#include <QStringView>

#include <span>

namespace vantor {

struct SetupKey {
    const char* name;        // the option's long name and the file's key
    const char* value_name;  // shown by --help; null for a flag, which takes true or false in a file
    const char* help;        // one line for --help
    // Reads a value into the settings; false when the key does not take it. Relative paths are
    // taken from `base`: the current folder for an option, the file's own folder for a file.
    bool (*read)(QStringView value, const QDir& base, LaunchSettings& into);
    QString (*accepted)();
    bool is_role;            // master, slave and no-sync exclude each other
    // The value a remembered setup holds for the key; empty when it has none. Null for the keys
    // a copy never writes down: how it is reached, and its secret.
    QString (*write)(const Setup& setup);
};

std::span<const SetupKey> SetupKeys();
const SetupKey* FindSetupKey(QStringView name);

// What is wrong with a value the key does not take, the key as the operator wrote it
// ("--corner" or "corner"): --corner takes upper-left, ..., not "middle".
QString ValueProblem(const SetupKey& key, const QString& written_as, QStringView value);
// The keys, for a line that names none of them.
QString KeyNames();

}  // namespace vantor
