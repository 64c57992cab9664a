#include "control/command_line.h"

#include "control/offset_rule.h"
#include "control/setup_file.h"
#include "control/setup_keys.h"
#include "control/setup_words.h"
#include "platform/file_version.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace vantor {
namespace {

constexpr char kEpilogue[] =
    "\n"
    "A setup file holds the same items as the options, one key=value line each (overlay=FILE,\n"
    "corner=lower-left, offset=10,20, on=true, ...); options given on the command line win over\n"
    "the file. Without options a copy starts as always: the house watermark, 1280x720 at 25p.\n"
    "Every copy remembers its setup under its number in $XDG_STATE_HOME/ndivantor/ (by default\n"
    "~/.local/state/ndivantor/copy1.conf for copy No 1), never in a --config file; --restore\n"
    "applies it over the --config file, and the command line over both. The control API's\n"
    "settings come only from the file and the command line.\n";

void Print(std::FILE* to, const QString& text)
{
    std::fputs(qPrintable(text), to);
    std::fflush(to);
}

class Reader {
public:
    explicit Reader(const QString& description)
    {
        parser_.setApplicationDescription(description);
        for (const SetupKey& key : SetupKeys()) {
            const QString name = QString::fromLatin1(key.name);
            const QString help = QString::fromUtf8(key.help);
            parser_.addOption(key.value_name ? QCommandLineOption(name, help, QString::fromLatin1(key.value_name))
                                             : QCommandLineOption(name, help));
        }
        parser_.addOption({QStringLiteral("config"), QStringLiteral("Reads the setup from a file."), QStringLiteral("FILE")});
        parser_.addOption({QStringLiteral("restore"), QStringLiteral("Starts with the setup this copy's number had last time.")});
        parser_.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help and ends.")});
        parser_.addOption({{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Shows the version and ends.")});
    }

    CommandLine Read(const QStringList& arguments)
    {
        program_ = QFileInfo(arguments.value(0)).fileName();
        if (!parser_.parse(arguments)) {
            if (!parser_.unknownOptionNames().isEmpty())
                return Fail(QStringLiteral("unknown option %1%2. See --help.")
                                .arg(parser_.unknownOptionNames().first().size() > 1 ? "--" : "-",
                                     parser_.unknownOptionNames().first()));
            return Fail(parser_.errorText() + QStringLiteral(" See --help."));
        }
        if (parser_.isSet(QStringLiteral("help")))
            return Done(stdout, HelpText());
        if (parser_.isSet(QStringLiteral("version")))
            return Done(stdout, program_ + u' ' + QString::fromStdString(VersionText(ReadFileVersion())) + u'\n');
        if (!parser_.positionalArguments().isEmpty())
            return Fail(QStringLiteral("unexpected argument \"%1\". See --help.").arg(parser_.positionalArguments().first()));
        StartRequest request;
        request.restore = parser_.isSet(QStringLiteral("restore"));
        if (parser_.isSet(QStringLiteral("config"))) {
            QString error;
            request.config_path = parser_.value(QStringLiteral("config"));
            const auto from_file = ReadSetupFile(*request.config_path, error);
            if (!from_file)
                return Fail(error);
            request.file = *from_file;
        }
        QString problem = ReadOptions(request.given);
        if (!problem.isEmpty())
            return Fail(problem);
        // The file's offset and the command line's size may meet only here.
        const QString offset = request.given.setup.offset ? QStringLiteral("--offset")
                                                          : request.config_path.value_or(QString()) + QStringLiteral(": offset");
        if (const QString outside = SetupOffsetOutsideFrame(offset, request.Settings().setup); !outside.isEmpty())
            return Fail(outside);
        const ControlSettings control = request.Settings().control;
        if (const auto& endpoint = control.endpoint; endpoint && !endpoint->loopback() && !control.token)
            return Fail(QStringLiteral("the control API on %1 needs a token: --control-token or --control-token-file")
                            .arg(words::EndpointWord(*endpoint)));
        return {request, 0};
    }

private:
    QString ReadOptions(LaunchSettings& into) const
    {
        QString role_option;
        for (const SetupKey& key : SetupKeys()) {
            const QString name = QString::fromLatin1(key.name);
            if (!parser_.isSet(name))
                continue;
            const QString written = QStringLiteral("--") + name;
            if (key.is_role && !role_option.isEmpty())
                return QStringLiteral("%1 and %2 exclude each other").arg(role_option, written);
            if (key.is_role)
                role_option = written;
            const QString value = key.value_name ? parser_.value(name) : QStringLiteral("true");
            if (!key.read(value, QDir::current(), into))
                return ValueProblem(key, written, value);
        }
        return {};
    }

    QString HelpText() const
    {
        QString text = parser_.helpText();
        text.replace(QStringLiteral("<executable_name>"), program_);
        return text + QString::fromLatin1(kEpilogue);
    }

    CommandLine Fail(const QString& line) const
    {
        Print(stderr, program_ + QStringLiteral(": ") + line + u'\n');
        return {std::nullopt, kExitBadInput};
    }

    static CommandLine Done(std::FILE* to, const QString& text)
    {
        Print(to, text);
        return {std::nullopt, 0};
    }

    QCommandLineParser parser_;
    QString program_;
};

}  // namespace

CommandLine ReadCommandLine(const QStringList& arguments, const QString& description)
{
    return Reader(description).Read(arguments);
}

QStringList Arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace vantor
