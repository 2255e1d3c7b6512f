#pragma once
// What the about box shows: the caption, the version line with the
// settings file's VersionType, the libraries the program runs on, the data
// root with the sizes of its databases, and the facts about the system a
// support call asks for first.

#include <QString>
#include <QVector>

namespace korvo {

class AppState;

struct AboutLine {
    QString label; // language text of the about box
    QString value;
};

struct AboutInfo {
    QString caption;
    QString versionLine; // "Version 1.0.5 Standard"
    QVector<AboutLine> libraries;
    QVector<AboutLine> data;   // data root, then each database with its size
    QVector<AboutLine> system; // operating system, processor, memory, ...
};

AboutInfo CollectAboutInfo(AppState &state);

// All of it as plain text, one "label: value" per line, for the clipboard.
QString AboutText(const AboutInfo &info);

} // namespace korvo
