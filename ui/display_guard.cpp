#include "ui/display_guard.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace vantor {
namespace {

// What the window system said while the application was made: said after all when it came up,
// left unsaid when it did not (the one line says it all).
std::vector<std::pair<QtMsgType, QString>> held_messages;

void HoldOrEnd(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", kNoDisplayMessage);
        std::_Exit(1);
    }
    held_messages.emplace_back(type, message);
}

}  // namespace

std::unique_ptr<QApplication> MakeApplicationOrExit(int& argc, char** argv)
{
    const QtMessageHandler previous = qInstallMessageHandler(HoldOrEnd);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const auto& [type, message] : std::exchange(held_messages, {}))
        previous(type, QMessageLogContext(), message);
    return application;
}

}  // namespace vantor
