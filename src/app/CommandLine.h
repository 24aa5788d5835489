// What `trimeo ...` asks for, read with QCommandLineParser before any application object
// exists: the window (on the first FILE, if any), `--info FILE`, `--render OUT.png FILE`
// with its options, `--thumbnail INPUT OUTPUT SIZE`, `--help` or `--version`, or a usage
// error that names what is wrong.
// `--` ends the options. Qt's own window options (-platform, -style...) are let through
// for the window. Paths stay as given; relative ones are the caller's to resolve.
#pragma once

#include <QString>
#include <QStringList>

namespace trimeo {

struct CommandLine {
    enum class Mode { window, info, render, thumbnail, help, version, usageError };
    Mode mode = Mode::window;
    QStringList files;   // window: every FILE given; info, render: exactly one; thumbnail: INPUT
    QString output;      // render, thumbnail: the PNG to write
    int width = 800, height = 600; // render; thumbnail: both SIZE (128 to 1024)
    bool wireframe = false, timings = false;
    QString error;       // usageError: one line saying what is wrong

    // `arguments` starts with the program name, as argv does.
    static CommandLine parse(const QStringList& arguments);
    // The text --help prints: every option and what it does.
    static QString helpText();
    // "Trimeo <version>".
    static QString versionText();
};

} // namespace trimeo
