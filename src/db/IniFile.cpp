#include "db/IniFile.h"

#include <QFile>
#include <QSaveFile>

#include "db/CodePages.h"
#include "db/Error.h"

namespace svod {

namespace {
QString sectionName(const QString& line) {
    const QString t = line.trimmed();
    if (t.startsWith(u'[') && t.endsWith(u']'))
        return t.mid(1, t.size() - 2).trimmed();
    return {};
}
bool isSection(const QString& line) {
    const QString t = line.trimmed();
    return t.startsWith(u'[') && t.endsWith(u']');
}
} // namespace

IniFile::IniFile(QString path) : path_(std::move(path)) {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    existed_ = true;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        byteOrderMark_ = true;
        bytes.remove(0, 3);
    }
    utf8_ = byteOrderMark_ || isValidUtf8(bytes);
    const QString text = utf8_ ? QString::fromUtf8(bytes) : decodeCodePage(bytes, CodePage::Cp1251);
    lineEnd_ = text.contains(QLatin1String("\r\n")) || !text.contains(u'\n') ? QStringLiteral("\r\n")
                                                                             : QStringLiteral("\n");
    trailingLineEnd_ = text.isEmpty() || text.endsWith(u'\n');
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines_ = normalized.split(u'\n');
    if (trailingLineEnd_ && !lines_.isEmpty() && lines_.back().isEmpty())
        lines_.removeLast();
}

qsizetype IniFile::findSection(const QString& section) const {
    for (qsizetype i = 0; i < lines_.size(); ++i)
        if (isSection(lines_[i]) && sectionName(lines_[i]).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype sectionLine) const {
    qsizetype i = sectionLine + 1;
    while (i < lines_.size() && !isSection(lines_[i]))
        ++i;
    return i;
}

qsizetype IniFile::findKey(qsizetype sectionLine, const QString& key) const {
    const qsizetype end = sectionEnd(sectionLine);
    for (qsizetype i = sectionLine + 1; i < end; ++i) {
        const QString line = lines_[i];
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0 || line.trimmed().startsWith(u';'))
            continue;
        if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString IniFile::value(const QString& section, const QString& key) const {
    const qsizetype s = findSection(section);
    if (s < 0)
        return {};
    const qsizetype k = findKey(s, key);
    if (k < 0)
        return {};
    const QString& line = lines_[k];
    QString v = line.mid(line.indexOf(u'=') + 1).trimmed();
    // Windows strips one pair of surrounding quotes.
    if (v.size() >= 2 &&
        ((v.startsWith(u'"') && v.endsWith(u'"')) || (v.startsWith(u'\'') && v.endsWith(u'\''))))
        v = v.mid(1, v.size() - 2);
    return v;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value) {
    const QString entry = key + u'=' + value;
    qsizetype s = findSection(section);
    if (s < 0) {
        if (!lines_.isEmpty() && !lines_.back().trimmed().isEmpty())
            lines_ << QString();
        lines_ << u'[' + section + u']' << entry;
        return;
    }
    const qsizetype k = findKey(s, key);
    if (k >= 0) {
        lines_[k] = entry;
        return;
    }
    // After the section's last non-blank line.
    qsizetype insertAt = sectionEnd(s);
    while (insertAt > s + 1 && lines_[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    lines_.insert(insertAt, entry);
}

void IniFile::save() const {
    QString text = lines_.join(lineEnd_);
    if (trailingLineEnd_ && !lines_.isEmpty())
        text += lineEnd_;
    QByteArray bytes = utf8_ ? text.toUtf8() : encodeCodePage(text, CodePage::Cp1251);
    if (byteOrderMark_)
        bytes.prepend("\xEF\xBB\xBF");
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Не удалось записать файл ") + path_ + QStringLiteral(": ") +
                    file.errorString());
}

} // namespace svod
