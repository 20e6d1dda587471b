#include "dbf/TablePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace svod::dbf {

namespace {
bool isAbsolute(const QString& dir) {
    if (dir.startsWith(u'/') || dir.startsWith(u'\\'))
        return true;
    return dir.size() >= 2 && dir[1] == u':' && dir[0].isLetter();
}

QString programDir() {
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}
} // namespace

QString withExtension(const QString& path, const QString& extension) {
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const qsizetype dot = path.lastIndexOf(u'.');
    return (dot > slash ? path.left(dot) : path) + extension;
}

QString tableFileName(const QString& dir, const QString& tableName) {
    QString name = QDir::fromNativeSeparators(tableName);
    QString directory = QDir::fromNativeSeparators(dir);
    const qsizetype slash = name.lastIndexOf(u'/');
    if (slash >= 0) {
        directory = name.left(slash + 1);
        name = name.mid(slash + 1);
    }
    if (!isAbsolute(directory))
        directory = programDir() + u'/' + directory;
    if (!directory.endsWith(u'/'))
        directory += u'/';
    return QDir::cleanPath(withExtension(directory + name, QStringLiteral(".dbf")));
}

QString resolveCaseInsensitive(const QString& path) {
    if (QFileInfo::exists(path))
        return path;
    // Walk down from the deepest existing directory, matching each part without regard to case.
    const QStringList parts = QDir::cleanPath(path).split(u'/');
    QString current = parts.first().isEmpty() ? QStringLiteral("/") : parts.first();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty())
            continue;
        const QString exact = QDir(current).filePath(part);
        if (QFileInfo::exists(exact)) {
            current = exact;
            continue;
        }
        const QStringList entries = QDir(current).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        const auto match = std::find_if(entries.begin(), entries.end(), [&](const QString& entry) {
            return entry.compare(part, Qt::CaseInsensitive) == 0;
        });
        if (match == entries.end())
            return path;
        current = QDir(current).filePath(*match);
    }
    return current;
}

} // namespace svod::dbf
