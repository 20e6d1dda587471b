#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace svod::help {

// One page of the help: its file inside the help folder and its title.
struct HelpPage {
    QString file;
    QString title;
    friend bool operator==(const HelpPage&, const HelpPage&) = default;
};

// The help folder of this program (beside the executable or in ../share/svod); empty when missing.
QString helpDirectory();
// Points helpDirectory() elsewhere (tests, a help folder being written); empty restores it.
void setHelpDirectory(const QString& dir);
// The contents: the pages the contents list of index.html links to, in its order, index first.
QList<HelpPage> helpContents(const QString& dir);
// Every link (href, src) of every page that names no file of the folder, as "page: target".
// Anchors inside a page and outside addresses are not checked.
QStringList brokenHelpLinks(const QString& dir);
// The pages whose text holds every word of `query` (letter case ignored), in contents order.
QList<HelpPage> searchHelp(const QString& dir, const QString& query);
// The text of a page without its markup.
QString pageText(const QString& path);

// How the help viewer of the Windows build is started: the program and its one argument,
// "mk:@MSITStore:" + the executable's folder with a trailing backslash + "svod_mu.chm".
struct HelpCommand {
    QString program;
    QStringList arguments;
};
HelpCommand helpViewerCommand(const QString& executableDir);

} // namespace svod::help
