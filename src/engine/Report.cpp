#include "engine/Report.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "db/Error.h"
#include "engine/Preparer.h"
#include "engine/TemplateStorage.h"

namespace svod::engine {

QVariantMap& Report::engineVariables() {
    static QVariantMap variables;
    return variables;
}

QString Report::name() const {
    return name_.isEmpty() ? QFileInfo(fileName_).completeBaseName() : name_;
}

void Report::setMemoryDataset(const QString& name, RowSet rows) {
    memory_.insert(name.toUpper(), std::move(rows));
}

void Report::clear() {
    template_ = ReportTemplate{};
    name_.clear();
    memory_.clear();
}

bool Report::loadFromFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return false;
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Не удалось открыть файл ") + path + QStringLiteral(": ") +
                    file.errorString());
    template_ = templateFromXml(file.readAll());
    fileName_ = path;
    return true;
}

void Report::saveToFile(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Не удалось создать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
    file.write(templateToXml(template_));
    if (!file.commit())
        throw Error(QStringLiteral("Не удалось записать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
}

void Report::loadFromBlob(const QByteArray& blob) {
    template_ = templateFromBlob(blob);
}

QByteArray Report::saveToBlob(bool compress) const {
    return templateToBlob(template_, compress);
}

void Report::clearVariables() {
    engineVariables().clear();
    template_.variables.clear();
}

bool Report::prepareReport() {
    PrepareInput input;
    input.report = &template_;
    input.connection = connection_;
    input.memoryDatasets = memory_;
    input.engineVariables = engineVariables();
    input.noteStrings = &noteStrings_;
    input.progress = progress_;
    input.finishObject = finisher_;
    input.reportName = name();
    input.warnings = &warnings_;
    warnings_.clear();
    PreparedPages pages;
    if (!engine::prepareReport(input, pages))
        return false;
    prepared_ = std::move(pages);
    return !prepared_.isEmpty();
}

} // namespace svod::engine
