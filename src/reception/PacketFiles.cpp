#include "reception/PacketFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "db/Error.h"
#include "db/SqlHelpers.h"
#include "reception/Interaction.h"

namespace svod::reception {

PacketPair derivePacketPair(const QString& pickedPath) {
    PacketPair pair;
    const QFileInfo info(pickedPath);
    const QString name = info.fileName();
    const QString dir = NormalDir(QDir::toNativeSeparators(info.absolutePath()));
    if (name.size() > 8 && name.front().toUpper() == u'A') {
        pair.a = pickedPath;
        pair.b = dir + u'B' + name.mid(1);
    } else if (name.size() > 8 && name.front().toUpper() == u'B') {
        pair.b = pickedPath;
        pair.a = dir + u'A' + name.mid(1);
    } else {
        pair.notExchangeFile = true;
    }
    return pair;
}

void filemove(const QString& path, const QString& directory) {
    const QString target = NormalDir(directory) + QFileInfo(path).fileName();
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Не удается открыть файл ") + path + QStringLiteral(": ") +
                    source.errorString());
    // QSaveFile writes under a temporary name, syncs it to disk and renames it over the target,
    // so the target is either the old file or the complete copy.
    QSaveFile copy(target);
    if (!copy.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Не удается создать файл ") + target + QStringLiteral(": ") +
                    copy.errorString());
    QByteArray buffer;
    while (!source.atEnd()) {
        buffer = source.read(1 << 20);
        if (buffer.isEmpty() && source.error() != QFileDevice::NoError)
            break;
        if (copy.write(buffer) != buffer.size())
            break;
    }
    if (source.error() != QFileDevice::NoError) {
        copy.cancelWriting();
        throw Error(QStringLiteral("Ошибка чтения файла ") + path + QStringLiteral(": ") +
                    source.errorString());
    }
    if (copy.error() != QFileDevice::NoError || !copy.commit())
        throw Error(QStringLiteral("Ошибка записи файла ") + target + QStringLiteral(": ") +
                    copy.errorString());
    source.close();
    if (!QFile::remove(path))
        throw Error(QStringLiteral("Не удается удалить файл ") + path);
}

namespace {
// Restores the cursor and empties the status panel however archiving ends.
class ArchivingStatus {
public:
    explicit ArchivingStatus(Interaction& interaction) : interaction_(interaction) {
        interaction_.setBusy(true);
        interaction_.setStatus(QStringLiteral("Подождите, идет перенос принятых файлов ..."));
        interaction_.processEvents();
    }
    ~ArchivingStatus() {
        interaction_.setBusy(false);
        interaction_.setStatus(QString());
    }
    ArchivingStatus(const ArchivingStatus&) = delete;
    ArchivingStatus& operator=(const ArchivingStatus&) = delete;

private:
    Interaction& interaction_;
};
} // namespace

QString MoveFilesToRECIVED(Interaction& interaction, const QString& inDir, const QString& a,
                           const QString& b) {
    ArchivingStatus status(interaction);
    const QString dir = NormalDir(inDir) + QStringLiteral("RECEIVED");
    QStringList files{a};
    if (!b.isEmpty())
        files << b;
    QStringList problems;
    if (!QDir(dir).exists() && !QDir().mkdir(dir)) {
        problems << QStringLiteral("Не удается создать каталог для сохранения принятых файлов ") + dir;
    } else {
        // Each file on its own: one that cannot be moved leaves the other's archiving alone.
        for (const QString& file : files) {
            try {
                filemove(file, dir);
            } catch (const Error& e) {
                problems << e.message();
            }
        }
        interaction.setStatus(QStringLiteral(" "));
        interaction.processEvents();
    }
    if (problems.isEmpty())
        return {};
    QString text = QStringLiteral("Данные приняты, но файлы пакета не перенесены в архив ") +
                   QDir::toNativeSeparators(dir) + QStringLiteral(":");
    for (const QString& problem : problems)
        text += QStringLiteral("\r\n") + problem;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (info.exists())
            text += QStringLiteral("\r\nФайл ") + info.fileName() + QStringLiteral(" остался в каталоге ") +
                    QDir::toNativeSeparators(info.absolutePath());
        else if (!QFileInfo::exists(NormalDir(dir) + info.fileName()))
            text += QStringLiteral("\r\nФайл ") + QDir::toNativeSeparators(file) +
                    QStringLiteral(" не найден ни на месте, ни в архиве");
    }
    return text;
}

} // namespace svod::reception
