#include "cli/ReceiveCommand.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>
#include <functional>

#include "cli/CliContext.h"
#include "engine/DatasetReport.h"
#include "reception/InflationReception.h"
#include "reception/Interaction.h"
#include "reception/ReceptionService.h"

namespace svod::cli {

namespace {

using reception::Answer;
using reception::Buttons;
using reception::MessageKind;

QString kindText(MessageKind kind) {
    switch (kind) {
    case MessageKind::Info:
        return QStringLiteral("info");
    case MessageKind::Warning:
        return QStringLiteral("warning");
    case MessageKind::Error:
        return QStringLiteral("error");
    case MessageKind::Question:
        return QStringLiteral("question");
    case MessageKind::Plain:
        break;
    }
    return QStringLiteral("message");
}

QString answerText(Answer answer) {
    switch (answer) {
    case Answer::Ok:
        return QStringLiteral("ok");
    case Answer::Cancel:
        return QStringLiteral("cancel");
    case Answer::Yes:
        return QStringLiteral("yes");
    case Answer::No:
        break;
    }
    return QStringLiteral("no");
}

struct ReceiveOptions {
    QString file;
    bool direct = false;
    bool test = false;
    bool yes = false;
    bool acceptClosedPeriod = false;
    bool acceptDeletedItems = false;
};

// Answers from the command line, messages and protocols to the output.
class CliInteraction : public reception::Interaction {
public:
    CliInteraction(CliOutput& out, const ReceiveOptions& options) : out_(out), options_(options) {}

    void message(MessageKind kind, const QString& text) override { out_.message(kindText(kind), text); }

    Answer question(MessageKind, const QString& text, Buttons buttons) override {
        Answer answer = Answer::Yes;
        if (buttons == Buttons::OkCancel)
            answer = options_.yes ? Answer::Ok : Answer::Cancel;
        else if (buttons == Buttons::Ok)
            answer = Answer::Ok;
        else if (text.contains(u"Прервать прием и выдать протокол об ошибке?"))
            answer = options_.acceptClosedPeriod ? Answer::No : Answer::Yes;
        else if (text.contains(u"Прервать прием и выдать протокол позиций ?"))
            answer = options_.acceptDeletedItems ? Answer::No : Answer::Yes;
        out_.question(text, answerText(answer));
        return answer;
    }

    QString chooseFile(const QString&, const QString&) override {
        return options_.file.isEmpty() ? QString() : QFileInfo(options_.file).absoluteFilePath();
    }

    reception::PriemMode askPriemMode(QString& code, bool hideTest) override {
        if (options_.direct)
            return reception::PriemMode::Direct;
        if (options_.test && !hideTest)
            code = QStringLiteral("99");
        return reception::PriemMode::FromFile;
    }

    void showProtocol(const engine::TableData& protocol) override {
        print(protocol);
        shown_.append(protocol);
    }

    void showProtocols(const QList<engine::TableData>& protocols) override {
        for (const engine::TableData& protocol : protocols)
            showProtocol(protocol);
    }

    const QList<engine::TableData>& shown() const { return shown_; }

private:
    void print(const engine::TableData& protocol) {
        QStringList columns;
        for (const engine::TableColumn& column : protocol.columns)
            columns << column.title;
        out_.protocol(protocol.title, columns, protocol.rows);
    }

    CliOutput& out_;
    const ReceiveOptions& options_;
    QList<engine::TableData> shown_;
};

QStringList titleLines(const QString& title) {
    return title.split(QStringLiteral("\r\n"));
}

QString protocolsAsCsv(const QList<engine::TableData>& protocols) {
    QString text;
    for (const engine::TableData& protocol : protocols) {
        for (const QString& line : titleLines(protocol.title))
            text += csvLine({line}) + u'\n';
        QStringList columns;
        for (const engine::TableColumn& column : protocol.columns)
            columns << column.title;
        if (!columns.isEmpty())
            text += csvLine(columns) + u'\n';
        for (const QStringList& row : protocol.rows)
            text += csvLine(row) + u'\n';
    }
    return text;
}

QString protocolsAsText(const QList<engine::TableData>& protocols) {
    QString text;
    for (const engine::TableData& protocol : protocols) {
        for (const QString& line : titleLines(protocol.title))
            text += line + u'\n';
        const auto cells = [&](const QStringList& values) {
            QStringList padded;
            for (qsizetype i = 0; i < protocol.columns.size(); ++i) {
                const engine::TableColumn& column = protocol.columns[i];
                const QString value = i < values.size() ? values[i] : QString();
                const int width = std::max<int>(column.widthChars, int(column.title.size()));
                padded << (column.numeric ? value.rightJustified(width) : value.leftJustified(width));
            }
            return padded.join(QStringLiteral(" | ")) + u'\n';
        };
        if (protocol.columns.isEmpty())
            continue;
        QStringList titles;
        for (const engine::TableColumn& column : protocol.columns)
            titles << column.title;
        text += cells(titles);
        for (const QStringList& row : protocol.rows)
            text += cells(row);
        text += u'\n';
    }
    return text;
}

void writeProtocols(const QString& path, const QList<engine::TableData>& protocols) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != u"csv" && suffix != u"txt") {
        // Pages of the report engine: .pdf, .html, .frp, .rtf, .xlsx.
        engine::writeProtocols(protocols, path);
        return;
    }
    const QString text = suffix == u"csv" ? protocolsAsCsv(protocols) : protocolsAsText(protocols);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Не удается создать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
    file.write(text.toUtf8());
    if (!file.commit())
        throw Error(QStringLiteral("Ошибка записи файла ") + path + QStringLiteral(": ") +
                    file.errorString());
}

bool acceptAnswer(ArgReader& reader, const QString& name) {
    const QString value = reader.option(name);
    if (value.isEmpty() || value == u"refuse")
        return false;
    if (value == u"accept")
        return true;
    throw UsageError(QStringLiteral("Параметр ") + name +
                     QStringLiteral(" принимает значения refuse или accept"));
}

// How a reception command ended: the result line's status and the exit code.
struct Ending {
    QString status;
    int exitCode;
};

Ending endingOf(const Error& error) {
    if (dynamic_cast<const reception::RefusedError*>(&error))
        return {QStringLiteral("refused"), ExitRefused};
    if (dynamic_cast<const reception::PacketError*>(&error) ||
        dynamic_cast<const reception::AbortedError*>(&error))
        return {QStringLiteral("stopped"), ExitStopped};
    return {QStringLiteral("failed"), ExitFailed};
}

const Ending Accepted{QStringLiteral("accepted"), ExitDone};
const Ending AcceptedNotArchived{QStringLiteral("accepted"), ExitNotArchived};
const Ending Stopped{QStringLiteral("stopped"), ExitStopped};
const Ending Refused{QStringLiteral("refused"), ExitRefused};
const Ending Declined{QStringLiteral("declined"), ExitDeclined};

Ending endingOf(reception::ReceptionOutcome outcome, const reception::ReceptionState& state) {
    using reception::ReceptionOutcome;
    switch (outcome) {
    case ReceptionOutcome::Accepted:
        return Accepted;
    case ReceptionOutcome::AcceptedNotArchived:
        return AcceptedNotArchived;
    case ReceptionOutcome::Direct:
        // The direct reception ends normally when accepted or declined at the confirmation.
        return state.ReceptionOk ? Accepted : Declined;
    case ReceptionOutcome::FilesNotFound:
        return Stopped;
    case ReceptionOutcome::PeriodsRefused:
        return Refused;
    case ReceptionOutcome::Declined:
    case ReceptionOutcome::Cancelled:
        break;
    }
    return Declined;
}

Ending endingOf(reception::InflationOutcome outcome) {
    using reception::InflationOutcome;
    switch (outcome) {
    case InflationOutcome::Accepted:
        return Accepted;
    case InflationOutcome::AcceptedNotArchived:
        return AcceptedNotArchived;
    case InflationOutcome::Stopped:
        return Stopped;
    case InflationOutcome::Cancelled:
    case InflationOutcome::Declined:
        break;
    }
    return Declined;
}

// Runs one reception command: its error becomes an error message and the ending of its kind.
Ending runReception(CliOutput& out, const std::function<Ending()>& reception) {
    try {
        return reception();
    } catch (const Error& e) {
        out.message(QStringLiteral("error"), e.message());
        return endingOf(e);
    }
}

} // namespace

int receiveCommand(CliContext& context, const QStringList& args) {
    ArgReader reader(args);
    ReceiveOptions options;
    options.direct = reader.flag(QStringLiteral("--direct"));
    options.test = reader.flag(QStringLiteral("--test"));
    options.yes = reader.flag(QStringLiteral("--yes"));
    options.acceptClosedPeriod = acceptAnswer(reader, QStringLiteral("--closed-period"));
    options.acceptDeletedItems = acceptAnswer(reader, QStringLiteral("--deleted-items"));
    const QString protocolPath = reader.option(QStringLiteral("--protocol"));
    const QStringList rest = reader.positional();
    if (!protocolPath.isEmpty()) {
        const QString suffix = QFileInfo(protocolPath).suffix().toLower();
        static const QStringList formats = {
            QStringLiteral("csv"), QStringLiteral("txt"), QStringLiteral("pdf"), QStringLiteral("html"),
            QStringLiteral("htm"), QStringLiteral("frp"), QStringLiteral("rtf"), QStringLiteral("xlsx")};
        if (!formats.contains(suffix))
            throw UsageError(QStringLiteral("Формат протокола не поддерживается: ") + protocolPath +
                             QStringLiteral(" (.csv, .txt, .pdf, .html, .frp, .rtf, .xlsx)"));
    }
    if (options.direct ? !rest.isEmpty() : rest.size() != 1)
        throw UsageError(options.direct ? QStringLiteral("Лишние аргументы: ") + rest.join(u' ')
                                        : QStringLiteral("Укажите один файл пакета"));
    if (!options.direct)
        options.file = rest.front();

    auto connection = context.connect();
    CliInteraction interaction(context.out, options);
    reception::ReceptionService service(*connection, interaction);
    service.setInputDir(options.direct ? QString() : QFileInfo(options.file).absolutePath());
    service.setTablesOwnerPrefix(context.tablesOwnerPrefix(connection->dialect()));

    const Ending ending =
        runReception(context.out, [&] { return endingOf(service.receive(), service.state()); });
    const reception::ReceptionState& state = service.state();
    if (state.ReceptionOk && state.LeftOutRows > 0 && context.out.json()) {
        QJsonObject leftOut{{QStringLiteral("kind"), QStringLiteral("left-out")},
                            {QStringLiteral("file"), QDir::toNativeSeparators(service.pathB())},
                            {QStringLiteral("rows"), state.LeftOutRows},
                            {QStringLiteral("codes"), QJsonArray::fromStringList(state.LeftOutCodes)}};
        context.out.jsonObject(leftOut);
    }
    if (!protocolPath.isEmpty() && !interaction.shown().isEmpty())
        writeProtocols(protocolPath, interaction.shown());
    context.out.result(ending.status, ending.exitCode);
    return ending.exitCode;
}

int receiveInflationCommand(CliContext& context, const QStringList& args) {
    ArgReader reader(args);
    ReceiveOptions options;
    options.direct = reader.flag(QStringLiteral("--direct"));
    options.yes = reader.flag(QStringLiteral("--yes"));
    const QStringList rest = reader.positional();
    if (options.direct ? !rest.isEmpty() : rest.size() != 1)
        throw UsageError(options.direct ? QStringLiteral("Лишние аргументы: ") + rest.join(u' ')
                                        : QStringLiteral("Укажите файл инфляционных дооценок"));
    if (!options.direct)
        options.file = rest.front();

    auto connection = context.connect();
    CliInteraction interaction(context.out, options);
    reception::InflationReception inflation(*connection, interaction);
    inflation.setInputDir(options.direct ? QString() : QFileInfo(options.file).absolutePath());
    inflation.setTablesOwnerPrefix(context.tablesOwnerPrefix(connection->dialect()));

    const Ending ending = runReception(context.out, [&] { return endingOf(inflation.receive()); });
    context.out.result(ending.status, ending.exitCode);
    return ending.exitCode;
}

} // namespace svod::cli
