#include "cli/Escaping.h"
#include "cli/HistoryCommand.h"
#include "cli/LibraryCommand.h"
#include "cli/RollCommand.h"
#include "platform/FileName.h"
#include "platform/StandardStreams.h"
#include "shell/Application.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr char kUsage[] = "Usage: quorvin-tessaly [--help | --version] [Qt options]\n"
                          "       quorvin-tessaly roll [options]\n"
                          "       quorvin-tessaly library list | import FILE | export NAME\n"
                          "       quorvin-tessaly history list | show ID | export ID -o FILE\n";

// Qt's own options, which QApplication takes out of the arguments, and whether each takes a value.
struct QtOption {
    std::string_view name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"qwindowicon", true},
    {"qwindowtitle", true},
    {"session", true},
    {"display", true},
    {"geometry", true},
    {"title", true},
    {"icon", true},
    {"name", true},
    {"visual", true},
    {"style", true},
    {"stylesheet", true},
    {"reverse", false},
    {"widgetcount", false},
    {"nograb", false},
    {"dograb", false},
    {"sync", false},
    {"testability", false},
};

// How many arguments from argv[i] on are one of Qt's options: 0 when argv[i] is none of them.
int qtOptionLength(int argc, char** argv, int i) {
    std::string_view arg(argv[i]);
    if (arg.starts_with("--"))
        arg.remove_prefix(1);
    if (!arg.starts_with('-'))
        return 0;
    arg.remove_prefix(1);
    // "-style=fusion", "-qmljsdebugger=port:1234" and the like carry their value.
    if (const auto equals = arg.find('='); equals != std::string_view::npos) {
        const std::string_view name = arg.substr(0, equals);
        return name == "style" || name == "stylesheet" || name == "session" || name == "qmljsdebugger" ||
                       name == "qdevicepixelratio"
                   ? 1
                   : 0;
    }
    for (const QtOption& option : kQtOptions) {
        if (arg == option.name)
            return option.takesValue ? (i + 1 < argc ? 2 : 0) : 1;
    }
    return 0;
}

// Writes the text to standard output and says whether all of it arrived (a full disk does not).
int answer(const char* text) {
    if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0)
        return 0;
    std::fprintf(stderr, "quorvin-tessaly: standard output: %s\n", std::strerror(errno));
    return 1;
}

// Answers --help, --version and an unknown option before any window system is needed, so that all
// three work on a bare terminal; nullopt when the window should start.
std::optional<int> answerCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc;) {
        const std::string_view arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            return answer((std::string(kUsage) +
                           "\nQuorvin Tessaly rolls dice whose sides you describe. Its options:\n"
                           "  -h, --help     Show this help and exit.\n"
                           "  --version      Show the version and exit.\n"
                           "Qt's own options (for example -platform offscreen) are passed on to Qt.\n\n"
                           "'quorvin-tessaly roll' rolls without a window and writes one line per roll:\n"
                           "--sides FILE or --example coin|six|twenty|rps, --dice N, --rolls N, --seed N\n"
                           "for reproducible rolls, -o FILE. 'quorvin-tessaly roll --help' tells more.\n"
                           "'quorvin-tessaly library' lists, imports and exports the dice library's dice\n"
                           "and sets; 'quorvin-tessaly library --help' tells more.\n"
                           "'quorvin-tessaly history' lists, shows and exports the kept rolls.\n\n"
                           "Exit status: 0 when the window closed or the answer was written, 1 when it could\n"
                           "not be written, 2 for an unknown option.\n")
                              .c_str());
        }
        if (arg == "--version")
            return answer("Quorvin Tessaly " QT_STRINGIFY(TESSALY_VERSION) "\n");
        if (const int length = qtOptionLength(argc, argv, i)) {
            i += length;
            continue;
        }
        const QByteArray text = cli::shown(platform::decodeFileName(argv[i])).toUtf8();
        std::fprintf(stderr, "quorvin-tessaly: unknown option '%s'.\n%s", text.constData(), kUsage);
        return 2;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    // Before anything opens a file, so that none can take a closed stream's place.
    const platform::ClosedStreams closed = platform::fillClosedStandardStreams();
    // A write past the file size limit (ulimit -f) then fails with EFBIG, which is reported, instead of
    // ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // `quorvin-tessaly roll ...` and `history ...` work on the command line and never need a display.
    if (argc > 1 && std::strcmp(argv[1], "roll") == 0)
        return cli::rollMain(argc, argv, closed);
    if (argc > 1 && std::strcmp(argv[1], "library") == 0)
        return cli::libraryMain(argc, argv, closed);
    if (argc > 1 && std::strcmp(argv[1], "history") == 0)
        return cli::historyMain(argc, argv, closed);
    if (const std::optional<int> answered = answerCommandLine(argc, argv))
        return *answered;
    return shell::runApplication(argc, argv);
}
