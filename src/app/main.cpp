// Entry point: reads the command line, then runs what it asks for. --help, --version,
// --info and usage errors need no display; --render and --thumbnail need OpenGL but no
// window and no display.
#include "CommandLine.h"
#include "InfoCommand.h"
#include "TrimeoApp.h"
#include "viewport/RenderCommand.h"
#include "viewport/ThumbnailCommand.h"

#include <QDir>
#include <QStringList>

#include <iostream>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    const trimeo::CommandLine line = trimeo::CommandLine::parse(arguments);
    using Mode = trimeo::CommandLine::Mode;
    switch (line.mode) {
    case Mode::help:
        std::cout << trimeo::CommandLine::helpText().toStdString();
        return 0;
    case Mode::version:
        std::cout << trimeo::CommandLine::versionText().toStdString() << '\n';
        return 0;
    case Mode::usageError:
        std::cerr << "trimeo: " << line.error.toStdString() << "\nusage: trimeo [options] [FILE] (trimeo --help lists them)\n";
        return 2;
    case Mode::info:
        return trimeo::runInfoCommand(line.files.first().toLocal8Bit().toStdString());
    case Mode::render:
        return trimeo::runRenderCommand({line.output.toLocal8Bit().toStdString(),
                                         line.files.first().toLocal8Bit().toStdString(), line.width, line.height,
                                         line.wireframe, line.timings},
                                        argv[0]);
    case Mode::thumbnail:
        return trimeo::runThumbnailCommand({line.files.first().toLocal8Bit().toStdString(),
                                            line.output.toLocal8Bit().toStdString(), line.width},
                                           argv[0]);
    case Mode::window:
        break;
    }
    return trimeo::TrimeoApp::run(argc, argv, trimeo::TrimeoApp::filesFromArguments(line.files, QDir::currentPath()));
}
