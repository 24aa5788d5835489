#include "CommandLine.h"

#include "viewport/ThumbnailCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

namespace trimeo {

namespace {
QString tr(const char* text) { return QCoreApplication::translate("CommandLine", text); }

// Qt's options for any window, taken by QApplication itself; named here so that they are
// not refused. The flags among them take no value.
const QStringList qtOptionsWithValue{"platform", "platformpluginpath", "platformtheme", "plugin", "style",
                                     "stylesheet", "session", "qwindowgeometry", "qwindowtitle", "qwindowicon",
                                     "display", "geometry", "title", "name"};
const QStringList qtFlags{"reverse", "nograb", "dograb", "sync", "widgetcount"};

struct Options {
    QCommandLineOption help{{"h", "help"}, tr("Show this help and exit.")};
    QCommandLineOption version{{"v", "version"}, tr("Show the version and exit.")};
    QCommandLineOption info{"info", tr("Load FILE and print a JSON summary of it (route, counts, node names, "
                                       "animations, bounds); needs no display.")};
    QCommandLineOption render{"render", tr("Load FILE, draw its first frame offscreen and write it to OUT.png "
                                           "(needs no display: without one it draws through EGL)."),
                              "OUT.png"};
    QCommandLineOption thumbnail{"thumbnail",
                                 tr("Used as --thumbnail INPUT OUTPUT SIZE by file managers: write a SIZE x SIZE PNG "
                                    "(128 to 1024) of the model in INPUT (a path or file:// URI) to OUTPUT, alone on "
                                    "a transparent background. Needs no display; files over 512 MiB or taking over "
                                    "20 seconds give no picture.")};
    QCommandLineOption size{"size", tr("With --render: the image size in pixels (default 800x600)."), "WxH"};
    QCommandLineOption wireframe{"wireframe", tr("With --render: draw the model as lines.")};
    QCommandLineOption timings{"timings", tr("With --render: print where the time went to standard error.")};

    void addTo(QCommandLineParser& parser) {
        parser.setApplicationDescription(
            tr("Trimeo, a viewer for 3D model files. Without options it opens a window showing FILE."));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({help, version, info, render, thumbnail, size, wireframe, timings});
        parser.addPositionalArgument("FILE", tr("The model file (relative paths start from the current folder)."),
                                     "[FILE]");
        for (const QString& name : qtOptionsWithValue) {
            QCommandLineOption qt(name, {}, "value");
            qt.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(qt);
        }
        for (const QString& name : qtFlags) {
            QCommandLineOption qt(name);
            qt.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(qt);
        }
    }
};

// The unknown option as the user typed it ("--bogus", "-x"), up to any "=value".
QString typedOption(const QStringList& arguments, const QString& name) {
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--")) break;
        QString bare = argument.section('=', 0, 0);
        if (bare.startsWith('-') && bare.mid(bare.startsWith(QLatin1String("--")) ? 2 : 1) == name) return bare;
    }
    return "--" + name;
}

bool parseSize(const QString& text, int& width, int& height) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return false;
    const int w = match.captured(1).toInt(), h = match.captured(2).toInt();
    if (w < 1 || h < 1 || w > 16384 || h > 16384) return false; // what GL framebuffers allow
    width = w, height = h;
    return true;
}

CommandLine usageError(QString error) {
    CommandLine line;
    line.mode = CommandLine::Mode::usageError;
    line.error = std::move(error);
    return line;
}

// `--thumbnail INPUT OUTPUT SIZE`, as thumbnailer entries write it.
CommandLine thumbnailLine(const QStringList& positional) {
    if (positional.size() != 3) return usageError(tr("--thumbnail takes INPUT OUTPUT SIZE"));
    bool number = false;
    const int size = positional[2].toInt(&number);
    if (!number || size < kMinThumbnailSize || size > kMaxThumbnailSize)
        return usageError(tr("--thumbnail wants a SIZE from %1 to %2, not '%3'")
                              .arg(kMinThumbnailSize)
                              .arg(kMaxThumbnailSize)
                              .arg(positional[2]));
    CommandLine line;
    line.mode = CommandLine::Mode::thumbnail;
    line.files = {positional[0]};
    line.output = positional[1];
    line.width = line.height = size;
    return line;
}
} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    Options o;
    o.addTo(parser);
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) return usageError(tr("unknown option '%1'").arg(typedOption(arguments, unknown.first())));
        return usageError(parser.errorText());
    }
    CommandLine line;
    if (parser.isSet(o.help)) {
        line.mode = Mode::help;
        return line;
    }
    if (parser.isSet(o.version)) {
        line.mode = Mode::version;
        return line;
    }
    line.files = parser.positionalArguments();
    const bool info = parser.isSet(o.info), render = parser.isSet(o.render), thumbnail = parser.isSet(o.thumbnail);
    if (info + render + thumbnail > 1)
        return usageError(tr("only one of --info, --render and --thumbnail can be used at a time"));
    if (!render)
        for (const QCommandLineOption* renderOnly : {&o.size, &o.wireframe, &o.timings})
            if (parser.isSet(*renderOnly)) return usageError(tr("--%1 goes only with --render").arg(renderOnly->names().first()));
    if (thumbnail) return thumbnailLine(line.files);
    if (!info && !render) return line;

    const QString option = info ? QStringLiteral("--info") : QStringLiteral("--render");
    if (line.files.size() != 1) return usageError(tr("%1 takes exactly one FILE").arg(option));
    if (info) {
        line.mode = Mode::info;
        return line;
    }
    line.mode = Mode::render;
    line.output = parser.value(o.render);
    if (parser.isSet(o.size) && !parseSize(parser.value(o.size), line.width, line.height))
        return usageError(tr("--size wants WxH, each from 1 to 16384, not '%1'").arg(parser.value(o.size)));
    line.wireframe = parser.isSet(o.wireframe);
    line.timings = parser.isSet(o.timings);
    return line;
}

QString CommandLine::helpText() {
    QCommandLineParser parser;
    Options o;
    o.addTo(parser);
    // The parser's own first line names the running binary's path, or a placeholder before
    // any application object exists; the program is called trimeo.
    const QString text = parser.helpText();
    return QStringLiteral("Usage: trimeo [options] [FILE]") + text.mid(text.indexOf('\n'));
}

QString CommandLine::versionText() { return QStringLiteral("Trimeo " TRIMEO_VERSION); }

} // namespace trimeo
