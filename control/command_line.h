#pragma once
// The command line of both programs: --help, --version, one option per item of the setup (the
// keys of a setup file), --config FILE and --restore. Everything is checked before the copy
// starts, so a wrong word never leaves a copy half started: the program says what is wrong in
// one line on standard error and ends with exit code 2, before it takes a port or sends.

#include "control/launch_settings.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vantor {

inline constexpr int kExitBadInput = 2;

struct StartRequest {
    LaunchSettings file;                 // the --config file's
    LaunchSettings given;                // the command line's
    std::optional<QString> config_path;  // the --config file, never written
    // The setup this copy's number had last time goes over the file's, under the command line's.
    bool restore = false;

    // The file's settings with the command line's over them.
    LaunchSettings Settings() const
    {
        LaunchSettings settings = file;
        settings.TakeFrom(given);
        return settings;
    }
};

struct CommandLine {
    std::optional<StartRequest> start;  // run with this
    int exit_code = 0;                  // otherwise end at once with this
};

// `arguments` as the process got them, the program's name first. Prints the help, the version
// or the error itself; `description` is the first paragraph of the help.
CommandLine ReadCommandLine(const QStringList& arguments, const QString& description);

// The arguments of main() as a list.
QStringList Arguments(int argc, char** argv);

}  // namespace vantor
