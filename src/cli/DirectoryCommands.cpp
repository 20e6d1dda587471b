#include "cli/DirectoryCommands.h"

#include <QJsonObject>

#include "cli/CliContext.h"
#include "db/Branches.h"
#include "directory/Actuality.h"
#include "directory/Administration.h"
#include "directory/BranchList.h"
#include "directory/QueryTable.h"
#include "directory/ReceptionLog.h"
#include "reception/Interaction.h"

namespace svod::cli {

namespace {

using reception::Answer;
using reception::Buttons;
using reception::MessageKind;

// The deletion's question answered by --yes; its notices printed.
class DeletionInteraction final : public reception::Interaction {
public:
    DeletionInteraction(CliOutput& out, bool yes) : out_(out), yes_(yes) {}

    void message(MessageKind kind, const QString& text) override {
        out_.message(kind == MessageKind::Plain     ? QStringLiteral("message")
                     : kind == MessageKind::Error   ? QStringLiteral("error")
                     : kind == MessageKind::Warning ? QStringLiteral("warning")
                                                    : QStringLiteral("info"),
                     text);
    }
    Answer question(MessageKind, const QString& text, Buttons buttons) override {
        const bool okCancel = buttons == Buttons::OkCancel;
        const Answer answer =
            yes_ ? (okCancel ? Answer::Ok : Answer::Yes) : (okCancel ? Answer::Cancel : Answer::No);
        out_.question(text, answer == Answer::Ok    ? QStringLiteral("ok")
                            : answer == Answer::Yes ? QStringLiteral("yes")
                            : okCancel              ? QStringLiteral("cancel")
                                                    : QStringLiteral("no"));
        asked_ = true;
        return answer;
    }
    QString chooseFile(const QString&, const QString&) override { return {}; }
    reception::PriemMode askPriemMode(QString&, bool) override { return reception::PriemMode::Cancelled; }
    void showProtocol(const engine::TableData&) override {}
    void showProtocols(const QList<engine::TableData>&) override {}
    bool asked() const { return asked_; }

private:
    CliOutput& out_;
    bool yes_;
    bool asked_ = false;
};

QDate dateOption(const QString& text, const QString& option) {
    try {
        return directory::parseValue(text, directory::ValueKind::Date).toDateTime().date();
    } catch (const Error&) {
        throw UsageError(QStringLiteral("Неправильная дата в ") + option + QStringLiteral(": ") + text);
    }
}

// The rows of a table as the grid shows them, with the given column names as header.
void printRows(CliContext& context, const directory::RowTable& table, const QStringList& header,
               const QList<int>& columns) {
    QList<QStringList> rows;
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList row;
        for (int c : columns)
            row << table.text(r, c);
        rows << row;
    }
    context.out.table(header, rows);
    if (context.out.json())
        context.out.result(QStringLiteral("done"), ExitDone);
}

void printAll(CliContext& context, const directory::RowTable& table) {
    QStringList header;
    QList<int> columns;
    for (int c = 0; c < table.columnCount(); ++c) {
        header << table.columnNames()[c].toUpper();
        columns << c;
    }
    printRows(context, table, header, columns);
}

void noMoreArguments(const QStringList& rest) {
    if (!rest.isEmpty())
        throw UsageError(QStringLiteral("Лишние аргументы: ") + rest.join(u' '));
}

} // namespace

int deleteBranchCommand(CliContext& context, const QStringList& args) {
    ArgReader reader(args);
    const bool yes = reader.flag(QStringLiteral("--yes"));
    const QStringList rest = reader.positional();
    if (rest.size() != 1)
        throw UsageError(QStringLiteral("Укажите код филиала"));
    const QString code = rest.front();
    if (code.size() != 2) {
        context.out.message(QStringLiteral("error"),
                            QStringLiteral("Код филиала должен состоять из двух символов: \"") + code + u'"');
        context.out.result(QStringLiteral("stopped"), ExitStopped);
        return ExitStopped;
    }
    auto connection = context.connect();
    const QString name = db::GetFilName(*connection, code);
    const QList<qint64> counts = directory::branchDataCounts(*connection, code);
    context.out.message(QStringLiteral("info"),
                        QStringLiteral("Строк филиала %1: INV %2, INV_OST %3, INV_OST3 %4, INV_INFL %5")
                            .arg(code)
                            .arg(counts.value(0))
                            .arg(counts.value(1))
                            .arg(counts.value(2))
                            .arg(counts.value(3)));
    DeletionInteraction interaction(context.out, yes);
    if (!directory::deleteBranchCommand(*connection, interaction, code, name)) {
        context.out.result(QStringLiteral("declined"), ExitDeclined);
        return ExitDeclined;
    }
    context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

int branchesCommand(CliContext& context, const QStringList& args) {
    noMoreArguments(ArgReader(args).positional());
    auto connection = context.connect();
    auto table = directory::makeFilialsTable(*connection);
    directory::openFilials(*table);
    printAll(context, *table);
    return ExitDone;
}

int actualityCommand(CliContext& context, const QStringList& args) {
    noMoreArguments(ArgReader(args).positional());
    auto connection = context.connect();
    connection->setCommandTimeout(directory::LongCommandTimeout);
    directory::QueryTable table;
    table.open(*connection, directory::actualityQuery(connection->dialect()));
    printAll(context, table);
    return ExitDone;
}

int varsCommand(CliContext& context, const QStringList& args) {
    ArgReader reader(args);
    const QString date = reader.option(QStringLiteral("--date"));
    const QString text = reader.option(QStringLiteral("--text"));
    const QString number = reader.option(QStringLiteral("--number"));
    const QStringList rest = reader.positional();
    if (rest.size() != 2 || rest[0] != QLatin1String("set"))
        throw UsageError(QStringLiteral("Ожидается: vars set LABEL (--date D | --text T | --number N)"));
    const int given = int(!date.isEmpty()) + int(!text.isEmpty()) + int(!number.isEmpty());
    if (given != 1)
        throw UsageError(QStringLiteral("Укажите одно значение: --date, --text или --number"));
    directory::VariableChange change{rest[1], directory::VariableKind::Text, text};
    if (!date.isEmpty()) {
        dateOption(date, QStringLiteral("--date"));
        change = {rest[1], directory::VariableKind::Date, date};
    } else if (!number.isEmpty()) {
        change = {rest[1], directory::VariableKind::Number, number};
    }
    auto connection = context.connect();
    const directory::VariableResult result = directory::setVariable(*connection, change);
    context.out.message(QStringLiteral("info"), (result.appended ? QStringLiteral("Добавлена переменная ")
                                                                 : QStringLiteral("Изменена переменная ")) +
                                                    change.label);
    context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

int logCommand(CliContext& context, const QStringList& args) {
    ArgReader reader(args);
    const QString from = reader.option(QStringLiteral("--from"));
    const QString to = reader.option(QStringLiteral("--to"));
    const QString branch = reader.option(QStringLiteral("--branch"));
    const QStringList rest = reader.positional();
    if (!rest.isEmpty() && rest.front() == QLatin1String("show")) {
        if (rest.size() != 2)
            throw UsageError(QStringLiteral("Ожидается: log show ID"));
        auto connection = context.connect();
        const auto detail = directory::readLogDetail(*connection, rest[1]);
        if (!detail)
            throw Error(QStringLiteral("В протоколе нет строки с внутренним кодом ") + rest[1]);
        const QString dd = directory::displayText(detail->dd);
        const QString status = directory::displayText(detail->status);
        const QString id = directory::displayText(detail->id);
        if (context.out.json()) {
            context.out.jsonObject({{QStringLiteral("kind"), QStringLiteral("log")},
                                    {QStringLiteral("id"), id},
                                    {QStringLiteral("dd"), dd},
                                    {QStringLiteral("branch"), detail->branch},
                                    {QStringLiteral("status"), status},
                                    {QStringLiteral("message"), detail->message}});
            context.out.result(QStringLiteral("done"), ExitDone);
        } else {
            context.out.line(QStringLiteral("Дата/время: ") + dd);
            context.out.line(QStringLiteral("Филиал: ") + detail->branch);
            context.out.line(QStringLiteral("Статус: ") + status);
            context.out.line(QStringLiteral("Внутренний код: ") + id);
            context.out.line(detail->message);
        }
        return ExitDone;
    }
    noMoreArguments(rest);
    directory::LogFilter filter;
    filter.to = to.isEmpty() ? QDate::currentDate() : dateOption(to, QStringLiteral("--to"));
    filter.from = from.isEmpty() ? filter.to : dateOption(from, QStringLiteral("--from"));
    filter.branchCode = branch;
    try {
        directory::checkLogPeriod(filter);
    } catch (const Error& e) {
        context.out.message(QStringLiteral("error"), e.message());
        context.out.result(QStringLiteral("stopped"), ExitStopped);
        return ExitStopped;
    }
    auto connection = context.connect();
    connection->setCommandTimeout(directory::LongCommandTimeout);
    directory::QueryTable table;
    table.open(*connection, directory::logQuery(connection->dialect(), filter));
    table.setDisplayFunction(QStringLiteral("STATUS"), &directory::StatusGetText);
    printRows(
        context, table,
        {QStringLiteral("ID"), QStringLiteral("DD"), QStringLiteral("STATUS"), QStringLiteral("NAZVANIE")},
        {table.fieldByName(QStringLiteral("ID")), table.fieldByName(QStringLiteral("DD")),
         table.fieldByName(QStringLiteral("STATUS")), table.fieldByName(QStringLiteral("NAZVANIE"))});
    return ExitDone;
}

int adminCommand(CliContext& context, const QStringList& args) {
    const QStringList rest = ArgReader(args).positional();
    if (rest.size() != 2 || rest[0] != QLatin1String("create-table") || !directory::isCreatableTable(rest[1]))
        throw UsageError(QStringLiteral("Ожидается: admin create-table INV_INFL|INV_OST3"));
    auto connection = context.connect();
    directory::createBalanceTable(*connection, rest[1]);
    context.out.message(QStringLiteral("info"), directory::CreatedMessage);
    context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

} // namespace svod::cli
