#include "db/ConnectionString.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include "db/Error.h"

namespace svod::db {

QString backendName(Backend backend) {
    switch (backend) {
    case Backend::SQLite:
        return QStringLiteral("SQLite");
    case Backend::PostgreSQL:
        return QStringLiteral("PostgreSQL");
    case Backend::SqlServer:
        return QStringLiteral("Microsoft SQL Server");
    }
    return {};
}

namespace {
// A value in braces or quotes from text[i] on; a doubled closing character stands for itself.
// Whatever follows the closing character up to the next ';' is passed over.
QString readEnclosedValue(const QString& text, qsizetype& i) {
    const qsizetype n = text.size();
    const QChar close = text[i] == u'{' ? u'}' : text[i];
    QString value;
    ++i;
    while (i < n) {
        if (text[i] == close) {
            if (i + 1 < n && text[i + 1] == close) {
                value += close;
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        value += text[i++];
    }
    while (i < n && text[i] != u';')
        ++i;
    return value;
}

// A plain value from text[i] up to the next ';', without the blanks around it.
QString readPlainValue(const QString& text, qsizetype& i) {
    const qsizetype semi = text.indexOf(u';', i);
    const qsizetype end = semi < 0 ? text.size() : semi;
    const QString value = text.mid(i, end - i).trimmed();
    i = end;
    return value;
}

bool opensEnclosedValue(QChar c) {
    return c == u'{' || c == u'"' || c == u'\'';
}
} // namespace

QList<QPair<QString, QString>> splitKeyValues(const QString& text) {
    QList<QPair<QString, QString>> result;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && (text[i] == u';' || text[i].isSpace()))
            ++i;
        if (i >= n)
            break;
        const qsizetype eq = text.indexOf(u'=', i);
        if (eq < 0) {
            result.append({text.mid(i).trimmed(), QString()});
            break;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text[i] == u' ')
            ++i;
        const QString value =
            i < n && opensEnclosedValue(text[i]) ? readEnclosedValue(text, i) : readPlainValue(text, i);
        result.append({key, value});
    }
    return result;
}

namespace {

bool hasKey(const QList<QPair<QString, QString>>& pairs, const QString& key) {
    for (const auto& [k, v] : pairs)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString odbcValue(const QString& value) {
    // Braces protect ';' and '}' inside ODBC values.
    if (value.contains(u';') || value.contains(u'{') || value.contains(u'}') || value.startsWith(u' ') ||
        value.endsWith(u' ')) {
        QString escaped = value;
        escaped.replace(u'}', QStringLiteral("}}"));
        return u'{' + escaped + u'}';
    }
    return value;
}

bool isSqlServerProvider(const QString& provider) {
    const QString p = provider.toUpper();
    return p.startsWith(QLatin1String("SQLOLEDB")) || p.startsWith(QLatin1String("SQLNCLI")) ||
           p.startsWith(QLatin1String("MSOLEDBSQL"));
}

ConnectionSpec specFor(Backend backend, const char* driver, const QString& databaseName = {}) {
    ConnectionSpec target;
    target.backend = backend;
    target.driver = QLatin1String(driver);
    target.databaseName = databaseName;
    return target;
}

ConnectionSpec sqliteSpec(const QString& path) {
    return specFor(Backend::SQLite, "QSQLITE", path);
}

ConnectionSpec odbcSpec(const QString& odbc) {
    return specFor(Backend::SqlServer, "QODBC", odbc);
}

ConnectionSpec postgresSpec() {
    return specFor(Backend::PostgreSQL, "QPSQL");
}

// A keyword of libpq's connection parameters; the unknown ones are passed on as options.
void applyPostgresKeyword(ConnectionSpec& target, const QString& key, const QString& value) {
    if (key == QLatin1String("host"))
        target.host = value;
    else if (key == QLatin1String("port"))
        target.port = value.toInt();
    else if (key == QLatin1String("user"))
        target.user = value;
    else if (key == QLatin1String("password"))
        target.password = value;
    else if (key == QLatin1String("dbname"))
        target.databaseName = value;
    else
        target.options << key + u'=' + value;
}

ConnectionSpec postgresFromUri(const QString& text) {
    const QUrl url(text);
    if (!url.isValid())
        throw Error(QStringLiteral("Неверная строка соединения PostgreSQL: ") + url.errorString());
    ConnectionSpec target = postgresSpec();
    target.host = url.host();
    target.port = url.port(-1);
    target.user = url.userName(QUrl::FullyDecoded);
    target.password = url.password(QUrl::FullyDecoded);
    target.databaseName = url.path(QUrl::FullyDecoded).mid(1);
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded))
        applyPostgresKeyword(target, key, value);
    return target;
}

void skipSpaces(const QString& text, qsizetype& i) {
    while (i < text.size() && text[i].isSpace())
        ++i;
}

// A libpq value from text[i] on: single-quoted with \' and \\, or up to the next blank.
QString readPostgresValue(const QString& text, qsizetype& i) {
    const qsizetype n = text.size();
    QString value;
    if (i < n && text[i] == u'\'') {
        ++i;
        while (i < n && text[i] != u'\'') {
            if (text[i] == u'\\' && i + 1 < n)
                ++i;
            value += text[i++];
        }
        ++i;
    } else {
        while (i < n && !text[i].isSpace())
            value += text[i++];
    }
    return value;
}

// key = value pairs separated by blanks.
QList<QPair<QString, QString>> splitPostgresKeywords(const QString& text) {
    QList<QPair<QString, QString>> result;
    qsizetype i = 0;
    for (skipSpaces(text, i); i < text.size(); skipSpaces(text, i)) {
        const qsizetype eq = text.indexOf(u'=', i);
        if (eq < 0)
            throw Error(QStringLiteral("Неверная строка соединения PostgreSQL: ") + text.mid(i));
        const QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        skipSpaces(text, i);
        result.append({key, readPostgresValue(text, i)});
    }
    return result;
}

ConnectionSpec postgresFromKeywords(const QString& text) {
    ConnectionSpec target = postgresSpec();
    // The keyword form also names the host by its address.
    for (const auto& [key, value] : splitPostgresKeywords(text))
        applyPostgresKeyword(target, key == QLatin1String("hostaddr") ? QStringLiteral("host") : key, value);
    return target;
}

bool looksLikePostgresKeywords(const QString& text) {
    static const QRegularExpression re(QStringLiteral("(^|\\s)(dbname|host|hostaddr|port|user)\\s*="));
    return !text.contains(u';') && re.match(text).hasMatch();
}

bool looksLikeSqliteFile(const QString& text) {
    static const QStringList suffixes = {QStringLiteral(".db"), QStringLiteral(".sqlite"),
                                         QStringLiteral(".sqlite3"), QStringLiteral(".db3")};
    for (const QString& suffix : suffixes)
        if (text.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    return text == QLatin1String(":memory:");
}

} // namespace

namespace {
// What an ADO string says about the server, the database and the login.
struct AdoConnection {
    QString server;
    QString port;
    QString database;
    QString user;
    QString password;
    bool integrated = false;
};

AdoConnection readAdoConnection(const QString& ado, QStringList* warnings) {
    // Keys an ADO string may carry that mean nothing to an ODBC connection; dropped quietly.
    static const QStringList harmless = {QStringLiteral("Persist Security Info"),
                                         QStringLiteral("Auto Translate"),
                                         QStringLiteral("Packet Size"),
                                         QStringLiteral("Workstation ID"),
                                         QStringLiteral("Use Procedure for Prepare"),
                                         QStringLiteral("Use Encryption for Data"),
                                         QStringLiteral("Tag with column collation when possible"),
                                         QStringLiteral("Provider")};
    AdoConnection result;
    for (const auto& [key, value] : splitKeyValues(ado)) {
        const QString k = key.trimmed();
        auto is = [&](const char* name) { return k.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
        if (is("Data Source") || is("Server") || is("Address") || is("Addr") || is("Network Address")) {
            result.server = value;
        } else if (is("Initial Catalog") || is("Database")) {
            result.database = value;
        } else if (is("User ID") || is("UID") || is("User")) {
            result.user = value;
        } else if (is("Password") || is("PWD")) {
            result.password = value;
        } else if (is("Integrated Security") || is("Trusted_Connection")) {
            const QString v = value.toUpper();
            result.integrated =
                v == QLatin1String("SSPI") || v == QLatin1String("TRUE") || v == QLatin1String("YES");
        } else {
            bool known = false;
            for (const QString& h : harmless)
                known = known || k.compare(h, Qt::CaseInsensitive) == 0;
            if (!known && warnings)
                warnings->append(QStringLiteral("Параметр строки соединения не используется: ") + k);
        }
    }
    // "host,port" is ADO's way to name a port; "host\instance" is kept for FreeTDS.
    const qsizetype comma = result.server.indexOf(u',');
    if (comma >= 0) {
        result.port = result.server.mid(comma + 1).trimmed();
        result.server = result.server.left(comma).trimmed();
    }
    if (result.server == QLatin1String(".") ||
        result.server.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        result.server = QStringLiteral("localhost");
    return result;
}
} // namespace

QString adoToOdbc(const QString& ado, QStringList* warnings) {
    const auto [server, port, database, user, password, integrated] = readAdoConnection(ado, warnings);
    QStringList parts;
    parts << QStringLiteral("Driver={FreeTDS}");
    if (!server.isEmpty())
        parts << QStringLiteral("Server=") + odbcValue(server);
    if (!port.isEmpty())
        parts << QStringLiteral("Port=") + odbcValue(port);
    if (!database.isEmpty())
        parts << QStringLiteral("Database=") + odbcValue(database);
    if (integrated) {
        parts << QStringLiteral("Trusted_Connection=Yes");
    } else {
        if (!user.isEmpty())
            parts << QStringLiteral("UID=") + odbcValue(user);
        if (!password.isEmpty())
            parts << QStringLiteral("PWD=") + odbcValue(password);
    }
    parts << QStringLiteral("TDS_Version=7.4") << QStringLiteral("ClientCharset=UTF-8");
    return parts.join(u';');
}

ConnectionSpec parseConnectionString(const QString& input) {
    const QString text = input.trimmed();
    if (text.isEmpty())
        throw Error(QStringLiteral("Не задана строка соединения с базой данных"));
    if (text.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive))
        return sqliteSpec(text.mid(7));
    if (text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return postgresFromUri(text);
    if ((text.contains(u'=') && text.contains(u';')) ||
        text.startsWith(QLatin1String("Provider="), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("Driver="), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("DSN="), Qt::CaseInsensitive)) {
        const auto pairs = splitKeyValues(text);
        if (hasKey(pairs, QStringLiteral("Provider"))) {
            QString provider;
            for (const auto& [k, v] : pairs)
                if (k.compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0)
                    provider = v;
            if (provider.startsWith(QLatin1String("MSDASQL"), Qt::CaseInsensitive)) {
                // The ODBC provider: the rest of the string is ODBC already.
                QStringList rest;
                for (const auto& [k, v] : pairs)
                    if (k.compare(QLatin1String("Provider"), Qt::CaseInsensitive) != 0)
                        rest << k + u'=' + odbcValue(v);
                return odbcSpec(rest.join(u';'));
            }
            if (!isSqlServerProvider(provider))
                throw Error(QStringLiteral("Неподдерживаемый поставщик данных в строке соединения: ") +
                            provider);
            ConnectionSpec target = odbcSpec(QString());
            target.databaseName = adoToOdbc(text, &target.warnings);
            return target;
        }
        if (hasKey(pairs, QStringLiteral("Driver")) || hasKey(pairs, QStringLiteral("DSN")))
            return odbcSpec(text);
    }
    if (looksLikePostgresKeywords(text))
        return postgresFromKeywords(text);
    if (looksLikeSqliteFile(text))
        return sqliteSpec(text);
    throw Error(QStringLiteral("Неизвестный формат строки соединения: ") + text);
}

} // namespace svod::db
