#include "help/HelpPages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextDocumentFragment>

#include "db/AppConfig.h"
#include "db/SqlHelpers.h"

namespace svod::help {

namespace {
QString readPage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

bool isOutside(const QString& target) {
    static const QRegularExpression scheme(QStringLiteral("^[a-zA-Z][a-zA-Z0-9+.-]*:"));
    return scheme.match(target).hasMatch();
}
} // namespace

namespace {
QString& helpDirectoryOverride() {
    static QString dir;
    return dir;
}
} // namespace

QString helpDirectory() {
    const QString& set = helpDirectoryOverride();
    return set.isEmpty() ? dataDirectory(QStringLiteral("help")) : set;
}

void setHelpDirectory(const QString& dir) {
    helpDirectoryOverride() = dir;
}

QList<HelpPage> helpContents(const QString& dir) {
    const QString index = readPage(QDir(dir).filePath(QStringLiteral("index.html")));
    QList<HelpPage> pages;
    if (index.isEmpty())
        return pages;
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::DotMatchesEverythingOption);
    pages.append({QStringLiteral("index.html"), title.match(index).captured(1).trimmed()});
    // The list marked class="contents" is the table of contents.
    const qsizetype start = index.indexOf(QStringLiteral("class=\"contents\""));
    const qsizetype end = index.indexOf(QStringLiteral("</ul>"), start);
    if (start < 0 || end < 0)
        return pages;
    static const QRegularExpression link(QStringLiteral("<a href=\"([^\"#]+)\">(.*?)</a>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    auto it = link.globalMatch(index.mid(start, end - start));
    while (it.hasNext()) {
        const auto m = it.next();
        const HelpPage page{m.captured(1), QTextDocumentFragment::fromHtml(m.captured(2)).toPlainText()};
        if (!pages.contains(page))
            pages.append(page);
    }
    return pages;
}

QStringList brokenHelpLinks(const QString& dir) {
    QStringList broken;
    const QDir folder(dir);
    static const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
    for (const QString& name : folder.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
        auto it = link.globalMatch(readPage(folder.filePath(name)));
        while (it.hasNext()) {
            const QString target = it.next().captured(1);
            const QString file = target.section(u'#', 0, 0);
            if (file.isEmpty() || isOutside(target))
                continue;
            if (!QFileInfo(folder.filePath(file)).isFile())
                broken << name + QStringLiteral(": ") + target;
        }
    }
    return broken;
}

QString pageText(const QString& path) {
    return QTextDocumentFragment::fromHtml(readPage(path)).toPlainText();
}

QList<HelpPage> searchHelp(const QString& dir, const QString& query) {
    const QStringList words = query.simplified().split(u' ', Qt::SkipEmptyParts);
    QList<HelpPage> found;
    if (words.isEmpty())
        return found;
    for (const HelpPage& page : helpContents(dir)) {
        const QString text = pageText(QDir(dir).filePath(page.file));
        const bool all = std::all_of(words.begin(), words.end(), [&text](const QString& word) {
            return text.contains(word, Qt::CaseInsensitive);
        });
        if (all)
            found.append(page);
    }
    return found;
}

HelpCommand helpViewerCommand(const QString& executableDir) {
    return {
        QStringLiteral("hh.exe"),
        {QStringLiteral("mk:@MSITStore:") + NormalDir(executableDir, u'\\') + QStringLiteral("svod_mu.chm")}};
}

} // namespace svod::help
