#include "platform/early_options.h"

#include <cstdio>

namespace periodix {

namespace {
// The options a Qt application with windows takes from the command line
// (QGuiApplication and QApplication), with the number of values each takes.
struct ToolkitOption {
    const char *name;
    int values;
};
constexpr ToolkitOption ToolkitOptions[] = {
    {"platform", 1}, {"platformpluginpath", 1}, {"platformtheme", 1}, {"plugin", 1}, {"qwindowgeometry", 1},
    {"geometry", 1}, {"qwindowicon", 1}, {"icon", 1}, {"qwindowtitle", 1}, {"title", 1}, {"display", 1},
    {"name", 1}, {"session", 1}, {"style", 1}, {"stylesheet", 1}, {"reverse", 0}, {"widgetcount", 0},
    {"nograb", 0}, {"dograb", 0}, {"sync", 0}, {"testability", 0}, {"qmljsdebugger", 0},
};

// "-style", "--style", "-style=fusion": the option's name and whether its value came with it.
const ToolkitOption *toolkitOption(const QString &argument, bool &valueAttached)
{
    QString name = argument.startsWith(QStringLiteral("--")) ? argument.mid(2) : argument.mid(1);
    valueAttached = name.contains(u'=');
    name = name.section(u'=', 0, 0);
    for (const ToolkitOption &option : ToolkitOptions) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}
} // namespace

bool checkOptions(int argc, char *argv[], QCommandLineParser &parser, const char *program)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        bool valueAttached = false;
        const ToolkitOption *option = i > 0 && argument.startsWith(u'-') ? toolkitOption(argument, valueAttached) : nullptr;
        if (!option) {
            arguments << argument;
            continue;
        }
        if (option->values > 0 && !valueAttached)
            ++i; // its value
    }
    // None of the programs takes a plain argument: one given is a mistake
    // (a forgotten option name), never to be passed over.
    const bool parsed = parser.parse(arguments);
    if (parsed && parser.positionalArguments().isEmpty())
        return true;
    const QString error = parsed ? QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first())
                                 : parser.errorText();
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program, qPrintable(error), program);
    return false;
}

} // namespace periodix
