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

Report::Report() = default;
Report::~Report() = default;

void Report::setMemoryDataset(const QString& name, RowSet rows) {
    memory_.insert(name.toUpper(), std::move(rows));
}

void Report::clear() {
    session_.reset();
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
    session_.reset();
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
    session_.reset();
    template_ = templateFromBlob(blob);
}

QByteArray Report::saveToBlob(bool compress) const {
    return templateToBlob(template_, compress);
}

void Report::clearVariables() {
    engineVariables().clear();
    template_.variables.clear();
}

DialogSession& Report::prepareDialogs(DialogRunner& runner) {
    session_.reset();
    auto fetch = [this](const QString& name, const ParameterLookup& lookup) {
        const QString key = name.toUpper();
        if (memory_.contains(key))
            return memory_.value(key);
        for (const auto& d : template_.datasets)
            if (d.name.compare(name, Qt::CaseInsensitive) == 0) {
                if (!connection_)
                    throw Error(QStringLiteral("Нет соединения с базой данных для набора данных ") + name);
                return runSqlDataset(*connection_, d.sql, lookup);
            }
        throw Error(QStringLiteral("Набор данных не найден: ") + name);
    };
    session_ = std::make_unique<DialogSession>(template_, name(), runner, fetch, engineVariables());
    session_->initialise();
    return *session_;
}

bool Report::runDialogs() {
    session_.reset();
    if (template_.dialogs.isEmpty())
        return true;
    // Without a runner the defaults stand.
    return prepareDialogs(runner_ ? *runner_ : defaultRunner_).run();
}

bool Report::prepareReport() {
    if (!runDialogs())
        return false;
    return buildPages();
}

bool Report::buildPages() {
    PrepareInput input;
    input.report = &template_;
    input.connection = connection_;
    input.memoryDatasets = memory_;
    input.engineVariables = engineVariables();
    // Controls are read by their names, as variables that the engine-wide list does not override.
    if (session_)
        for (auto [name, value] : session_->values().asKeyValueRange())
            if (!input.engineVariables.contains(name))
                input.engineVariables.insert(name, value);
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
