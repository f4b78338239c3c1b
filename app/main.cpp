#include "app/Form1.h"

#include "app/ApplicationIcon.h"
#include "platform/posix/Machine.h"
#include "platform/qt/QtUi.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char *kHelp = R"(Usage: halvorix [OPTION]...
Copies memory cards to the computer and files to memory cards, in a window.

By default every copied file is read back from the card or disk and compared with the
original; a copy that differs is reported as not copied.

Options:
  --no-verify   skip reading every copy back from the medium to compare it with the original
  -h, --help    show this help and exit
  --version     show the version and exit

Halvorix needs a desktop session (X11 or Wayland) to show its window.
)";

constexpr const char *kNeedsDesktop = "Halvorix needs a desktop session (X11 or Wayland)";

// Qt's platform plugins that draw on a display server; any other (offscreen, vnc, linuxfb...)
// needs none.
bool needsDisplayServer(std::string_view platform)
{
    platform = platform.substr(0, platform.find(':')); // "xcb:option=value"
    return platform == "xcb" || platform.substr(0, 7) == "wayland";
}

// Whether Qt, as the environment sets it up, can only start with a display server, and none is
// named. QT_QPA_PLATFORM may list several plugins ("wayland;xcb"); Qt tries them in turn.
bool noDisplayServerNamed()
{
    const char *platforms = std::getenv("QT_QPA_PLATFORM");
    for (std::string_view rest = platforms ? platforms : ""; !rest.empty();) {
        const auto end = rest.find(';');
        if (!needsDisplayServer(rest.substr(0, end)))
            return false;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    const auto set = [](const char *name) {
        const char *value = std::getenv(name);
        return value && *value;
    };
    return !set("DISPLAY") && !set("WAYLAND_DISPLAY");
}

// What Qt says while it opens the display is held back until it is known whether a display
// answered: when none does, Qt ends the process with a fatal message whose advice (reinstall the
// application) is wrong; one line saying what is missing replaces it and the warnings before it.
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
std::vector<HeldMessage> heldMessages;

void holdOrRefuse(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        heldMessages.push_back({type, context.category ? context.category : "", text});
        return;
    }
    // What the platform plugins said: a display that did not answer ("could not connect to
    // display :5"), a plugin that is not installed ("Could not find the Qt platform plugin
    // \"wayland\""). Qt's closing line for each plugin it gave up on adds nothing.
    QStringList why;
    for (const HeldMessage &held : heldMessages) {
        if (held.category.rfind("qt.qpa", 0) == 0 && !held.text.startsWith(QLatin1String("Could not load")))
            why.append(held.text);
    }
    if (why.isEmpty())
        why.append(QStringLiteral("no Qt platform plugin could start"));
    std::fprintf(stderr, "%s and could not open its window: %s\n", kNeedsDesktop,
        why.join(QLatin1String("; ")).toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char *argv[])
{
    // The options are answered before Qt looks for a display: --help and --version need none.
    bool verifyCopies = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (option == "--version") {
            std::printf("halvorix %s\n", HALVORIX_VERSION);
            return 0;
        }
        if (option == "--no-verify") {
            verifyCopies = false;
            continue;
        }
        std::fprintf(stderr, "halvorix: unknown %s '%s' (halvorix --help lists the options)\n",
            option.substr(0, 1) == "-" ? "option" : "argument", argv[i]);
        return 2;
    }
    if (noDisplayServerNamed()) {
        std::fprintf(stderr, "%s: neither DISPLAY nor WAYLAND_DISPLAY is set\n", kNeedsDesktop);
        return 1;
    }

    const QtMessageHandler previousHandler = qInstallMessageHandler(holdOrRefuse);
    QApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage &held : heldMessages)
        previousHandler(held.type, {nullptr, 0, nullptr, held.category.c_str()}, held.text);
    heldMessages.clear();

    QApplication::setApplicationName(QStringLiteral("Halvorix"));
    QApplication::setDesktopFileName(QStringLiteral("halvorix"));
    QApplication::setWindowIcon(halvorix::applicationIcon()); // message boxes and dialogs too

    halvorix::Machine fileSystem;
    halvorix::QtUi ui;
    // The application folder: where the program file lives (links resolved), beside its Samples.
    halvorix::Form1 window(fileSystem, ui, QCoreApplication::applicationDirPath());
    ui.setOwner(&window);
    window.setVerifyCopies(verifyCopies);
    window.Form_Load();
    window.show();
    return app.exec();
}
