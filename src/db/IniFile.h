#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace svod {

// A Windows INI file kept line by line, so that writing one key leaves every other line as it
// was. Reads UTF-8 when the bytes are valid UTF-8, else Windows-1251, and writes back in the
// encoding it read. Sections and keys are matched without regard to case; a missing file or key
// reads as the empty text.
class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return path_; }
    bool existed() const { return existed_; }
    bool isUtf8() const { return utf8_; }

    QString value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    // Writes the file through a temporary file, so a failing write leaves the old one whole.
    void save() const;

private:
    qsizetype findSection(const QString& section) const;
    qsizetype sectionEnd(qsizetype sectionLine) const;
    qsizetype findKey(qsizetype sectionLine, const QString& key) const;

    QString path_;
    QStringList lines_;
    bool existed_ = false;
    bool utf8_ = true;
    bool byteOrderMark_ = false;
    QString lineEnd_ = QStringLiteral("\r\n");
    bool trailingLineEnd_ = true;
};

} // namespace svod
