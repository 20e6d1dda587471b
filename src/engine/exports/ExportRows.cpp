#include "engine/exports/ExportRows.h"

#include <QSaveFile>
#include <algorithm>
#include <cmath>

#include "db/Error.h"
#include "engine/Exports.h"

namespace svod::engine {

QList<QList<const PreparedObject*>> pageRows(const PreparedPage& page) {
    QList<const PreparedObject*> objects;
    for (const auto& o : page.objects)
        if (exports::isTextual(o))
            objects << &o;
    std::stable_sort(objects.begin(), objects.end(), [](const PreparedObject* a, const PreparedObject* b) {
        const double ta = std::round(a->rect.top() * 2), tb = std::round(b->rect.top() * 2);
        return ta != tb ? ta < tb : a->rect.left() < b->rect.left();
    });
    QList<QList<const PreparedObject*>> rows;
    double top = -1;
    for (const auto* o : objects) {
        const double t = std::round(o->rect.top() * 2);
        if (rows.isEmpty() || t != top)
            rows.append(QList<const PreparedObject*>{});
        top = t;
        rows.last() << o;
    }
    return rows;
}

namespace exports {

void writeTextFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Не удалось создать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
    file.write(bytes);
    if (!file.commit())
        throw Error(QStringLiteral("Не удалось записать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
}

bool isTextual(const PreparedObject& o) {
    return o.kind == ObjectKind::Text || o.kind == ObjectKind::RichText || o.kind == ObjectKind::CheckBox;
}

QString cellText(const PreparedObject& o) {
    if (o.kind == ObjectKind::CheckBox)
        return o.checked ? QStringLiteral("X") : QString();
    return o.text;
}

QStringList rowTexts(const QList<const PreparedObject*>& row) {
    QStringList texts;
    for (const auto* o : row)
        texts << cellText(*o);
    return texts;
}

void forEachDocumentRow(const PreparedPages& pages, const RowVisitor& visit, const PageVisitor& onPage) {
    QList<QStringList> previous;
    for (int p = 0; p < pages.count(); ++p) {
        const PreparedPage page = pages.page(p);
        if (onPage)
            onPage(page);
        const auto rows = pageRows(page);
        QList<QStringList> current;
        for (const auto& row : rows)
            current << rowTexts(row);
        // Leading rows the previous page had too (page and column headers) and trailing ones at the
        // same place (page footers) are written once.
        qsizetype begin = 0, end = rows.size();
        while (begin < end && previous.contains(current[begin]))
            ++begin;
        while (end > begin && !previous.isEmpty() && current.size() - end < previous.size() &&
               current[end - 1] == previous[previous.size() - (current.size() - end) - 1])
            --end;
        for (qsizetype i = begin; i < end; ++i)
            visit(rows[i]);
        previous = current;
    }
}

} // namespace exports
} // namespace svod::engine
