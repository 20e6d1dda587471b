#include "reception/PacketScan.h"

#include <QSqlQuery>

#include "db/Connection.h"
#include "db/Formats.h"
#include "db/Profile.h"
#include "db/SqlHelpers.h"
#include "dbf/DbfTable.h"
#include "reception/Interaction.h"
#include "reception/ReceptionErrors.h"

namespace svod::reception {

bool isKvaroId(const QString& id) {
    return id.size() >= 3 && (id[2] == u'I' || id[2] == u'K');
}

void RunPerDvij(dbf::DbfTable& b, ReceptionState& state, Interaction& interaction) {
    const db::ProfilePhase phase(QStringLiteral("scan of the movements"));
    state.resetPeriods();
    interaction.setInfoLabel(QStringLiteral("Определение периода движений"));
    interaction.setProgress(Interaction::Step, 200);
    interaction.setProgress(Interaction::Maximum, int(std::min<qint64>(b.recordCount(), INT_MAX)));
    interaction.processEvents();
    b.first();

    const dbf::DbfField& kod = b.fieldByName(QStringLiteral("KOD_F"));
    const dbf::DbfField* typ = b.findField(QStringLiteral("TYP"));
    const dbf::DbfField& dd = b.fieldByName(QStringLiteral("DD"));
    const dbf::DbfField* id = b.findField(QStringLiteral("ID"));
    int counted = 0;
    while (!b.eof()) {
        const QString plane = typ ? typ->asText().trimmed() : QString();
        if (kod.asText() == u"**") {
            state.NewFormat = true;
            try {
                if (plane == u"1")
                    state.CurrencyFrom = dd.asDate();
                else if (plane == u"3")
                    state.RoublesFrom = dd.asDate();
            } catch (const dbf::InvalidDateError& e) {
                throw badValueError(b, dd.name(), e.message());
            }
        } else if (plane.size() == 1 && plane[0] >= u'1' && plane[0] <= u'4') {
            const int p = plane[0].unicode() - u'1';
            DateValue date;
            try {
                date = dd.asDate();
            } catch (const dbf::InvalidDateError& e) {
                throw badValueError(b, dd.name(), e.message());
            }
            if (date < state.MinDD[p])
                state.MinDD[p] = date;
            if (date > state.MaxDD[p])
                state.MaxDD[p] = date;
        } else if (plane.size() == 1 && plane[0] >= u'5' && plane[0] <= u'8') {
            state.HasControlPlanes = true;
        }
        if (!state.FromKvaro && id && isKvaroId(id->asText()))
            state.FromKvaro = true;
        if (++counted > 200) {
            counted = 0;
            interaction.stepProgress();
        }
        b.next();
    }
}

QString GetPeriodsTexts(const ReceptionState& s) {
    const QString crlf = QStringLiteral("\r\n");
    QString r;
    if (s.NewFormat) {
        r = QStringLiteral("\r\nНовый формат пакета.\r\n\r\n");
        if (s.FromKvaro)
            r += QStringLiteral("KVARO") + crlf + crlf;
        r += QStringLiteral("Отбор данных произведен: ") + crlf + crlf;
        if (s.CurrencyFrom.isPresent())
            r += QStringLiteral(" МСФО\t: с ") + MonthAndYear(s.CurrencyFrom) + crlf;
        else
            r += QStringLiteral(" МСФО\t: НЕТ \r\n");
        if (s.RoublesFrom.isPresent())
            r += QStringLiteral(" РСБУ\t: с ") + MonthAndYear(s.RoublesFrom) + crlf + crlf;
        else
            r += QStringLiteral(" РСБУ\t: НЕТ ") + crlf + crlf;
    } else {
        r = QStringLiteral("\r\nСТАРЫЙ формат пакета.\r\n\r\n");
    }
    r += QStringLiteral("Данные в пакете: ") + crlf + crlf;
    static const QString labels[4] = {
        QStringLiteral(" по бал.ст. МСФО   \t- "), QStringLiteral(" по амортизации МСФО\t- "),
        QStringLiteral(" по бал.ст. РСБУ   \t- "), QStringLiteral(" по амортизации РСБУ\t- ")};
    for (int p = 0; p < 4; ++p) {
        r += labels[p];
        if (s.MinDD[p] > s.MaxDD[p])
            r += QStringLiteral("НЕТ") + crlf;
        else
            r += QStringLiteral(" с ") + formatDate(s.MinDD[p]) + QStringLiteral(" по ") +
                 formatDate(s.MaxDD[p]) + crlf;
    }
    return r;
}

QString previosNotFromKvaroQuery(const db::Dialect& dialect, const QString& code) {
    return dialect.selectTop(1, QStringLiteral("ID,substring(ID,3,1) AS KVRFL from INV where KOD_F = ") +
                                    dialect.quote(code));
}

bool PreviosNotFromKvaro(db::Connection& connection, const QString& code) {
    QSqlQuery query = connection.query(previosNotFromKvaroQuery(connection.dialect(), code));
    if (!query.next())
        return false;
    const QString flag = query.value(1).toString();
    return flag != u"I" && flag != u"K";
}

} // namespace svod::reception
