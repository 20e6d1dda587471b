#include "cli/ReportCommands.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

#include "cli/CliContext.h"
#include "db/Connection.h"
#include "engine/Exports.h"
#include "engine/Report.h"
#include "engine/StoredReports.h"

namespace svod::cli {

namespace {

// A --set value: dates in either usual form become dates, so that they compare as dates in SQL.
QVariant variableValue(const QString& text) {
    for (const QString& format : {QStringLiteral("dd.MM.yyyy"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate date = QDate::fromString(text, format);
        if (date.isValid())
            return date;
    }
    return text;
}

QString requiredOut(ArgReader& reader) {
    const QString out = reader.option(QStringLiteral("--out"));
    if (out.isEmpty())
        throw UsageError(QStringLiteral("Не указан файл результата (--out FILE)"));
    // Checked before the report is run, so a long preparation does not end in this error.
    if (!engine::isExportPath(out))
        throw UsageError(QStringLiteral("Неизвестный формат файла отчета: ") + out +
                         QStringLiteral(" (ожидается .pdf, .xlsx, .rtf, .html, .csv или .frp)"));
    return out;
}

QString single(const QStringList& rest, const QString& what) {
    if (rest.isEmpty())
        throw UsageError(QStringLiteral("Не указан ") + what);
    if (rest.size() > 1)
        throw UsageError(QStringLiteral("Лишние аргументы: ") + rest.mid(1).join(u' '));
    return rest.first();
}

void writePages(CliContext& context, const engine::PreparedPages& pages, const QString& out) {
    engine::exportPages(pages, out);
    context.out.message(QStringLiteral("info"),
                        QStringLiteral("Отчет записан: %1 (страниц: %2)").arg(out).arg(pages.count()));
}

int listReports(CliContext& context, ArgReader& reader) {
    if (!reader.positional().isEmpty())
        throw UsageError(QStringLiteral("Лишние аргументы: ") + reader.positional().join(u' '));
    auto connection = context.connect();
    QList<QStringList> rows;
    for (const auto& entry : engine::listStoredReports(*connection))
        rows << QStringList{entry.id, entry.name};
    context.out.table({QStringLiteral("ID"), QStringLiteral("NAZV")}, rows);
    if (context.out.json())
        context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

// The --set answers by name, in the order given (a later one for the same name wins).
QMap<QString, QString> answersOf(const QStringList& sets) {
    QMap<QString, QString> answers;
    for (const QString& set : sets) {
        const qsizetype eq = set.indexOf(u'=');
        if (eq <= 0)
            throw UsageError(QStringLiteral("Ожидается --set ИМЯ=ЗНАЧЕНИЕ: ") + set);
        answers.insert(set.left(eq).trimmed(), set.mid(eq + 1));
    }
    return answers;
}

bool hasVariable(const engine::ReportTemplate& t, const QString& name) {
    for (auto it = t.variables.cbegin(); it != t.variables.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

std::unique_ptr<db::Connection> loadReport(CliContext& context, const QString& id, engine::Report& report) {
    auto connection = context.connect();
    report.setConnection(connection.get());
    if (!engine::loadStoredReport(*connection, id, report))
        throw Error(engine::reportNotFoundMessage(id));
    return connection;
}

int runReport(CliContext& context, ArgReader& reader) {
    const QString out = requiredOut(reader);
    const QMap<QString, QString> answers = answersOf(reader.options(QStringLiteral("--set")));
    const QString id = single(reader.positional(), QStringLiteral("номер отчета"));
    engine::Report report;
    auto connection = loadReport(context, id, report);
    // A control takes its answer on its dialog page; a variable of the dictionary stands in the
    // engine-wide list, which wins over the dictionary's value. Any other name is a mistake.
    QMap<QString, QString> controls;
    QVariantMap variables;
    engine::AnswerRunner probe;
    engine::DialogSession* session =
        report.reportTemplate().dialogs.isEmpty() ? nullptr : &report.prepareDialogs(probe);
    for (auto it = answers.cbegin(); it != answers.cend(); ++it) {
        if (session && session->control(it.key()))
            controls.insert(it.key(), it.value());
        else if (hasVariable(report.reportTemplate(), it.key()))
            variables.insert(it.key(), variableValue(it.value()));
        else
            throw UsageError(QStringLiteral("В отчете нет элемента диалога или переменной %1").arg(it.key()));
    }
    engine::Report::engineVariables() = variables;
    engine::AnswerRunner runner(controls);
    report.setDialogRunner(&runner);
    bool answered = false;
    try {
        answered = report.runDialogs();
    } catch (const engine::AnswerError& e) {
        throw UsageError(e.message());
    }
    for (const QString& message : runner.messages())
        context.out.message(QStringLiteral("message"), message);
    if (!answered) {
        context.out.result(QStringLiteral("declined"), ExitDeclined);
        return ExitDeclined;
    }
    if (!report.buildPages())
        throw Error(QStringLiteral("Отчет не построен: нет ни одной страницы"));
    for (const QString& warning : report.warnings())
        context.out.message(QStringLiteral("warning"), warning);
    writePages(context, report.preparedPages(), out);
    context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

// NAME;KIND;DEFAULT of every control that takes a value, then of every variable.
int reportParams(CliContext& context, ArgReader& reader) {
    const QString id = single(reader.positional(), QStringLiteral("номер отчета"));
    engine::Report report;
    auto connection = loadReport(context, id, report);
    QList<QStringList> rows;
    engine::AnswerRunner runner;
    if (!report.reportTemplate().dialogs.isEmpty()) {
        engine::DialogSession& session = report.prepareDialogs(runner);
        for (engine::ControlObject* c : session.controls())
            if (c->kind() != engine::ControlKind::Label && c->kind() != engine::ControlKind::Button)
                rows << QStringList{c->name(), c->kindName(), c->answerText()};
    }
    const auto& variables = report.reportTemplate().variables;
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        rows << QStringList{it.key(), QStringLiteral("variable"), it.value()};
    context.out.table({QStringLiteral("NAME"), QStringLiteral("KIND"), QStringLiteral("DEFAULT")}, rows);
    if (context.out.json())
        context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

int importReport(CliContext& context, ArgReader& reader) {
    const bool yes = reader.flag(QStringLiteral("--yes"));
    const QString path = single(reader.positional(), QStringLiteral("файл шаблона"));
    if (!QFileInfo(path).isFile())
        throw Error(QStringLiteral("Файл не найден: ") + path);
    auto connection = context.connect();
    engine::Report report;
    engine::ImportDialog dialog;
    dialog.confirm = [&](const QString& question) {
        context.out.question(question, yes ? QStringLiteral("ok") : QStringLiteral("cancel"));
        return yes;
    };
    dialog.inform = [&](const QString& text) { context.out.message(QStringLiteral("info"), text); };
    const engine::ImportResult result = engine::importTemplateFile(*connection, path, report, dialog);
    if (result.outcome == engine::ImportOutcome::Declined) {
        context.out.result(QStringLiteral("declined"), ExitDeclined);
        return ExitDeclined;
    }
    if (result.outcome == engine::ImportOutcome::NoFile)
        throw Error(QStringLiteral("Файл не найден: ") + path);
    context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

int exportAll(CliContext& context, ArgReader& reader) {
    const QString dir = single(reader.positional(), QStringLiteral("каталог"));
    if (!QDir().mkpath(dir))
        throw Error(QStringLiteral("Не удалось создать каталог ") + dir);
    auto connection = context.connect();
    const engine::ExportAllResult result = engine::exportAllTemplates(*connection, dir);
    for (const QString& file : result.written)
        context.out.message(QStringLiteral("info"),
                            QStringLiteral("Записан ") + QDir::toNativeSeparators(file));
    // Names that would write outside DIR are refused; the rest are written, and the run says
    // it did not save everything.
    for (const QString& skipped : result.skipped)
        context.out.message(QStringLiteral("warning"), skipped);
    if (!result.skipped.isEmpty()) {
        context.out.result(QStringLiteral("failed"), ExitFailed);
        return ExitFailed;
    }
    context.out.message(QStringLiteral("info"), QStringLiteral("All done"));
    context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

int showPrepared(CliContext& context, ArgReader& reader) {
    const QString out = requiredOut(reader);
    const QString path = single(reader.positional(), QStringLiteral("файл отчета .frp"));
    engine::PreparedPages pages;
    pages.loadFromFile(path);
    writePages(context, pages, out);
    context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

} // namespace

int reportCommand(CliContext& context, const QStringList& args) {
    if (args.isEmpty())
        throw UsageError(QStringLiteral("Не указана команда: report list|params|run|import|export-all|show"));
    ArgReader reader(args.mid(1));
    const QString sub = args.first();
    if (sub == u"list")
        return listReports(context, reader);
    if (sub == u"run")
        return runReport(context, reader);
    if (sub == u"params")
        return reportParams(context, reader);
    if (sub == u"import")
        return importReport(context, reader);
    if (sub == u"export-all")
        return exportAll(context, reader);
    if (sub == u"show")
        return showPrepared(context, reader);
    throw UsageError(QStringLiteral("Неизвестная команда report ") + sub);
}

} // namespace svod::cli
