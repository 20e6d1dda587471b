#include "engine/editing/Operations.h"

#include <QRegularExpression>
#include <algorithm>
#include <functional>
#include <numeric>

namespace svod::engine::editing {

namespace {

QList<TemplateObject> objectsAt(const ReportTemplate& t, const QList<ObjectRef>& refs) {
    QList<TemplateObject> out;
    out.reserve(refs.size());
    for (const auto& r : refs)
        out << t.bands[r.band].objects[r.index];
    return out;
}

bool validRefs(const ReportTemplate& t, const QList<ObjectRef>& refs) {
    for (const auto& r : refs)
        if (r.band < 0 || r.band >= t.bands.size() || r.index < 0 ||
            r.index >= t.bands[r.band].objects.size())
            return false;
    return !refs.isEmpty();
}

EditPtr replace(const ReportTemplate& t, const QList<ObjectRef>& refs, QList<TemplateObject> after,
                const QString& text) {
    QList<TemplateObject> before = objectsAt(t, refs);
    if (before == after)
        return nullptr;
    return std::make_unique<ReplaceObjects>(text, refs, std::move(before), std::move(after));
}

template <typename Change>
EditPtr changeEach(const ReportTemplate& t, const QList<ObjectRef>& refs, const QString& text,
                   Change change) {
    if (!validRefs(t, refs))
        return nullptr;
    QList<TemplateObject> after = objectsAt(t, refs);
    for (auto& o : after)
        change(o);
    return replace(t, refs, std::move(after), text);
}

EditPtr dictionaryEdit(const ReportTemplate& t, const QString& text,
                       const std::function<void(Dictionary&)>& change) {
    const Dictionary before = Dictionary::of(t);
    Dictionary after = before;
    change(after);
    if (after == before)
        return nullptr;
    return std::make_unique<SetDictionary>(text, before, after);
}

QList<ObjectRef> sorted(QList<ObjectRef> refs) {
    std::sort(refs.begin(), refs.end());
    refs.erase(std::unique(refs.begin(), refs.end()), refs.end());
    return refs;
}

// Removes refs and re-inserts their objects at the front or the back of their bands.
EditPtr restack(const ReportTemplate& t, const QList<ObjectRef>& given, bool front) {
    if (!validRefs(t, given))
        return nullptr;
    const QList<ObjectRef> refs = sorted(given);
    const QList<TemplateObject> objects = objectsAt(t, refs);
    auto seq = std::make_unique<Sequence>(front ? QStringLiteral("На передний план")
                                                : QStringLiteral("На задний план"));
    ReportTemplate scratch = t;
    seq->add(scratch, std::make_unique<RemoveObjects>(seq->text(), refs));
    QList<ObjectRef> targets;
    QMap<int, int> placed;
    for (const auto& r : refs) {
        const int n = placed[r.band]++;
        targets << ObjectRef{r.band, front ? int(scratch.bands[r.band].objects.size()) + n : n};
    }
    seq->add(scratch, std::make_unique<InsertObjects>(seq->text(), targets, objects));
    if (scratch == t)
        return nullptr;
    return seq;
}

// The bands of one master data band: its headers before it, its details and footers after it.
struct SectionSpan {
    int start = 0, master = 0, end = 0; // [start, end)
};

bool trailsMaster(BandKind k) {
    return k == BandKind::DetailHeader || k == BandKind::DetailData || k == BandKind::DetailFooter ||
           k == BandKind::GroupFooter || k == BandKind::MasterFooter || k == BandKind::Child;
}

QList<SectionSpan> sectionSpans(const QList<Band>& bands) {
    QList<SectionSpan> out;
    for (int m = 0; m < bands.size(); ++m) {
        if (bands[m].kind != BandKind::MasterData)
            continue;
        int start = m;
        while (start > 0 && (bands[start - 1].kind == BandKind::GroupHeader ||
                             bands[start - 1].kind == BandKind::MasterHeader))
            --start;
        if (!out.isEmpty())
            start = std::max(start, out.last().end);
        int end = m + 1;
        while (end < bands.size() && trailsMaster(bands[end].kind))
            ++end;
        out << SectionSpan{start, m, end};
    }
    return out;
}

// Order among the bands printed at the head and at the tail of the page or report; -1: neither.
int headOrder(BandKind k) {
    return k == BandKind::ReportTitle    ? 0
           : k == BandKind::PageHeader   ? 1
           : k == BandKind::ColumnHeader ? 2
                                         : -1;
}
int tailOrder(BandKind k) {
    return k == BandKind::ColumnFooter    ? 0
           : k == BandKind::PageFooter    ? 1
           : k == BandKind::ReportSummary ? 2
                                          : -1;
}

int refuse(QString* error, const QString& text) {
    if (error)
        *error = text;
    return -1;
}

// The detail band a detail header or footer is for: the current one, else the section's last.
int detailFor(const QList<Band>& bands, const SectionSpan& s, int current) {
    if (current > s.master && current < s.end && bands[current].kind == BandKind::DetailData)
        return current;
    int d = -1;
    for (int b = s.master + 1; b < s.end; ++b)
        if (bands[b].kind == BandKind::DetailData)
            d = b;
    return d;
}

int sectionPosition(const QList<Band>& bands, const SectionSpan& s, BandKind kind, int current,
                    QString* error) {
    auto after = [&](std::initializer_list<BandKind> kinds) {
        int pos = s.master + 1;
        for (int b = s.master + 1; b < s.end; ++b)
            if (std::find(kinds.begin(), kinds.end(), bands[b].kind) != kinds.end())
                pos = b + 1;
        return pos;
    };
    switch (kind) {
    case BandKind::MasterHeader:
        for (int b = s.start; b < s.master; ++b)
            if (bands[b].kind == BandKind::MasterHeader)
                return refuse(error, QStringLiteral("У полосы данных уже есть заголовок данных."));
        return s.start;
    case BandKind::GroupHeader:
        return s.master;
    case BandKind::MasterFooter:
        for (int b = s.master + 1; b < s.end; ++b)
            if (bands[b].kind == BandKind::MasterFooter)
                return refuse(error, QStringLiteral("У полосы данных уже есть подвал данных."));
        return s.end;
    case BandKind::DetailData:
        return after({BandKind::DetailHeader, BandKind::DetailData, BandKind::DetailFooter});
    case BandKind::GroupFooter:
        return after(
            {BandKind::DetailHeader, BandKind::DetailData, BandKind::DetailFooter, BandKind::GroupFooter});
    case BandKind::DetailHeader:
    case BandKind::DetailFooter: {
        const int d = detailFor(bands, s, current);
        if (d < 0)
            return refuse(error, QStringLiteral("Сначала вставьте полосу данных второго уровня."));
        if (kind == BandKind::DetailHeader) {
            if (bands[d - 1].kind == BandKind::DetailHeader)
                return refuse(error, QStringLiteral("У полосы данных второго уровня уже есть заголовок."));
            return d;
        }
        if (d + 1 < bands.size() && bands[d + 1].kind == BandKind::DetailFooter)
            return refuse(error, QStringLiteral("У полосы данных второго уровня уже есть подвал."));
        return d + 1;
    }
    default:
        return s.end;
    }
}

} // namespace

int bandInsertPosition(const ReportTemplate& t, BandKind kind, int current, QString* error) {
    const QList<Band>& bands = t.bands;
    const int n = int(bands.size());
    if (headOrder(kind) >= 0) {
        int pos = 0;
        for (int b = 0; b < n; ++b)
            if (headOrder(bands[b].kind) >= 0 && headOrder(bands[b].kind) <= headOrder(kind))
                pos = b + 1;
        return pos;
    }
    if (tailOrder(kind) >= 0) {
        for (int b = 0; b < n; ++b)
            if (tailOrder(bands[b].kind) > tailOrder(kind))
                return b;
        return n;
    }
    if (kind == BandKind::Child)
        return current >= 0 && current < n ? current + 1 : n;
    const QList<SectionSpan> spans = sectionSpans(bands);
    if (kind == BandKind::MasterData) {
        if (!spans.isEmpty())
            return spans.last().end;
        for (int b = 0; b < n; ++b)
            if (tailOrder(bands[b].kind) >= 0)
                return b;
        return n;
    }
    if (spans.isEmpty())
        return refuse(error, QStringLiteral("Сначала вставьте полосу данных первого уровня."));
    int pick = 0;
    for (int i = 0; i < spans.size(); ++i)
        if (spans[i].start <= current)
            pick = i;
    return sectionPosition(bands, spans[pick], kind, current, error);
}

QSet<QString> objectNames(const ReportTemplate& t) {
    QSet<QString> names;
    for (const auto& b : t.bands)
        for (const auto& o : b.objects)
            if (!o.name.isEmpty())
                names.insert(o.name);
    return names;
}

QString freeName(const QString& base, QSet<QString>& taken) {
    if (!base.isEmpty() && !taken.contains(base)) {
        taken.insert(base);
        return base;
    }
    static const QRegularExpression trailingDigits(QStringLiteral("\\d+$"));
    QString stem = base;
    stem.remove(trailingDigits);
    if (stem.isEmpty())
        stem = QStringLiteral("object");
    for (int n = 1;; ++n) {
        const QString name = stem + QString::number(n);
        if (!taken.contains(name)) {
            taken.insert(name);
            return name;
        }
    }
}

QList<ObjectRef> appendedRefs(const ReportTemplate& t, int band, int count) {
    QList<ObjectRef> refs;
    const int first = int(t.bands[band].objects.size()) - count;
    for (int i = 0; i < count; ++i)
        refs << ObjectRef{band, first + i};
    return refs;
}

EditPtr addBand(const ReportTemplate& t, int index, Band band) {
    if (index < 0 || index > t.bands.size())
        index = int(t.bands.size());
    return std::make_unique<InsertBand>(QStringLiteral("Вставка полосы"), index, std::move(band), false);
}

EditPtr removeBand(const ReportTemplate& t, int index) {
    if (index < 0 || index >= t.bands.size())
        return nullptr;
    return std::make_unique<InsertBand>(QStringLiteral("Удаление полосы"), index, t.bands[index], true);
}

EditPtr moveBand(const ReportTemplate& t, int from, int to) {
    if (from < 0 || from >= t.bands.size() || to < 0 || to >= t.bands.size() || from == to)
        return nullptr;
    return std::make_unique<MoveBand>(QStringLiteral("Перемещение полосы"), from, to);
}

EditPtr setBandProperties(const ReportTemplate& t, int index, const Band& properties) {
    if (index < 0 || index >= t.bands.size())
        return nullptr;
    Band before = t.bands[index];
    Band after = properties;
    after.objects = before.objects;
    if (after == before)
        return nullptr;
    before.objects.clear();
    after.objects.clear();
    return std::make_unique<SetBand>(QStringLiteral("Свойства полосы"), index, before, after);
}

EditPtr resizeBand(const ReportTemplate& t, int index, double height) {
    if (index < 0 || index >= t.bands.size())
        return nullptr;
    Band before = t.bands[index];
    before.objects.clear();
    Band after = before;
    after.height = std::max(0.0, height);
    if (after == before)
        return nullptr;
    return std::make_unique<SetBand>(QStringLiteral("Высота полосы"), index, before, after);
}

EditPtr addObjects(const ReportTemplate& t, int band, QList<TemplateObject> objects, const QString& text) {
    if (band < 0 || band >= t.bands.size() || objects.isEmpty())
        return nullptr;
    QSet<QString> taken = objectNames(t);
    QList<ObjectRef> refs;
    const int first = int(t.bands[band].objects.size());
    for (int i = 0; i < objects.size(); ++i) {
        auto& o = objects[i];
        o.name = freeName(o.name.isEmpty() ? objectKindName(o.kind) : o.name, taken);
        refs << ObjectRef{band, first + i};
    }
    return std::make_unique<InsertObjects>(text, refs, std::move(objects));
}

EditPtr removeObjects(const ReportTemplate& t, const QList<ObjectRef>& refs) {
    if (!validRefs(t, refs))
        return nullptr;
    return std::make_unique<RemoveObjects>(QStringLiteral("Удаление объектов"), refs);
}

EditPtr moveObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, QPointF delta) {
    if (delta.isNull())
        return nullptr;
    return changeEach(t, refs, QStringLiteral("Перемещение объектов"),
                      [&](TemplateObject& o) { o.rect.translate(delta); });
}

EditPtr resizeObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, QSizeF delta) {
    return changeEach(t, refs, QStringLiteral("Изменение размера"), [&](TemplateObject& o) {
        o.rect.setWidth(std::max(0.0, o.rect.width() + delta.width()));
        o.rect.setHeight(std::max(0.0, o.rect.height() + delta.height()));
    });
}

EditPtr setObjectRects(const ReportTemplate& t, const QList<ObjectRef>& refs, const QList<QRectF>& rects,
                       const QString& text) {
    if (!validRefs(t, refs) || rects.size() != refs.size())
        return nullptr;
    QList<TemplateObject> after = objectsAt(t, refs);
    for (qsizetype i = 0; i < after.size(); ++i)
        after[i].rect = rects[i].normalized();
    return replace(t, refs, std::move(after), text);
}

EditPtr setObjectProperty(const ReportTemplate& t, const QList<ObjectRef>& refs, ObjectProperty property,
                          const QVariant& value) {
    if (!validRefs(t, refs))
        return nullptr;
    QList<TemplateObject> after = objectsAt(t, refs);
    for (auto& o : after)
        if (!propertyApplies(o.kind, property) || !setObjectProperty(o, property, value))
            return nullptr;
    if (property == ObjectProperty::Name) {
        // Names stay unique: the first keeps the name, the others get numbered ones.
        QSet<QString> taken = objectNames(t);
        for (const auto& o : objectsAt(t, refs))
            taken.remove(o.name);
        for (auto& o : after)
            o.name = freeName(o.name, taken);
    }
    return replace(t, refs, std::move(after),
                   QStringLiteral("Свойство \"%1\"").arg(objectPropertyCaption(property)));
}

EditPtr transferObjects(const ReportTemplate& t, const QList<ObjectRef>& given, int toBand, QPointF delta) {
    if (!validRefs(t, given) || toBand < 0 || toBand >= t.bands.size())
        return nullptr;
    const QList<ObjectRef> refs = sorted(given);
    QList<TemplateObject> objects = objectsAt(t, refs);
    for (auto& o : objects)
        o.rect.translate(delta);
    auto seq = std::make_unique<Sequence>(QStringLiteral("Перемещение объектов"));
    ReportTemplate scratch = t;
    seq->add(scratch, std::make_unique<RemoveObjects>(seq->text(), refs));
    const QList<ObjectRef> targets = [&] {
        QList<ObjectRef> out;
        const int first = int(scratch.bands[toBand].objects.size());
        for (int i = 0; i < objects.size(); ++i)
            out << ObjectRef{toBand, first + i};
        return out;
    }();
    seq->add(scratch, std::make_unique<InsertObjects>(seq->text(), targets, objects));
    return seq;
}

EditPtr placeObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, const QList<int>& bands,
                     const QList<QRectF>& rects) {
    if (!validRefs(t, refs) || bands.size() != refs.size() || rects.size() != refs.size())
        return nullptr;
    for (int b : bands)
        if (b < 0 || b >= t.bands.size())
            return nullptr;
    auto seq = std::make_unique<Sequence>(QStringLiteral("Перемещение объектов"));
    ReportTemplate scratch = t;
    if (auto moved = setObjectRects(scratch, refs, rects, seq->text()))
        seq->add(scratch, std::move(moved));
    QList<ObjectRef> leaving;
    QList<TemplateObject> objects;
    QList<int> targets;
    for (qsizetype i = 0; i < refs.size(); ++i)
        if (bands[i] != refs[i].band) {
            leaving << refs[i];
            objects << scratch.bands[refs[i].band].objects[refs[i].index];
            targets << bands[i];
        }
    if (!leaving.isEmpty()) {
        // Removed in ascending order of position, so the objects keep their relative order.
        QList<int> order(leaving.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](int a, int b) { return leaving[a] < leaving[b]; });
        seq->add(scratch, std::make_unique<RemoveObjects>(seq->text(), leaving));
        QList<ObjectRef> inserted;
        QList<TemplateObject> insertedObjects;
        for (int i : order) {
            inserted << ObjectRef{
                targets[i], int(scratch.bands[targets[i]].objects.size()) +
                                int(std::count_if(inserted.cbegin(), inserted.cend(),
                                                  [&](const ObjectRef& r) { return r.band == targets[i]; }))};
            insertedObjects << objects[i];
        }
        seq->add(scratch, std::make_unique<InsertObjects>(seq->text(), inserted, insertedObjects));
    }
    if (seq->isEmpty())
        return nullptr;
    return seq;
}

EditPtr alignObjects(const ReportTemplate& t, const QList<ObjectRef>& refs, Alignment how) {
    if (!validRefs(t, refs) || refs.size() < 2)
        return nullptr;
    const QRectF ref = t.bands[refs[0].band].objects[refs[0].index].rect;
    return changeEach(t, refs, QStringLiteral("Выравнивание"), [&](TemplateObject& o) {
        QRectF& r = o.rect;
        switch (how) {
        case Alignment::Left:
            r.moveLeft(ref.left());
            break;
        case Alignment::Right:
            r.moveRight(ref.right());
            break;
        case Alignment::Top:
            r.moveTop(ref.top());
            break;
        case Alignment::Bottom:
            r.moveBottom(ref.bottom());
            break;
        case Alignment::HorizontalCentres:
            r.moveLeft(ref.center().x() - r.width() / 2);
            break;
        case Alignment::VerticalCentres:
            r.moveTop(ref.center().y() - r.height() / 2);
            break;
        }
    });
}

EditPtr sameSize(const ReportTemplate& t, const QList<ObjectRef>& refs, bool width, bool height) {
    if (!validRefs(t, refs) || refs.size() < 2)
        return nullptr;
    const QRectF ref = t.bands[refs[0].band].objects[refs[0].index].rect;
    return changeEach(t, refs, QStringLiteral("Одинаковый размер"), [&](TemplateObject& o) {
        if (width)
            o.rect.setWidth(ref.width());
        if (height)
            o.rect.setHeight(ref.height());
    });
}

EditPtr distributeObjects(const ReportTemplate& t, const QList<ObjectRef>& refs,
                          Qt::Orientation orientation) {
    if (!validRefs(t, refs) || refs.size() < 3)
        return nullptr;
    QList<TemplateObject> after = objectsAt(t, refs);
    const bool horizontal = orientation == Qt::Horizontal;
    QList<int> order(after.size());
    std::iota(order.begin(), order.end(), 0);
    auto start = [&](int i) { return horizontal ? after[i].rect.left() : after[i].rect.top(); };
    auto extent = [&](int i) { return horizontal ? after[i].rect.width() : after[i].rect.height(); };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return start(a) < start(b); });
    const double first = start(order.first());
    const double last = start(order.last()) + extent(order.last());
    double total = 0;
    for (int i : order)
        total += extent(i);
    const double gap = (last - first - total) / double(order.size() - 1);
    double pos = first;
    for (int i : order) {
        if (horizontal)
            after[i].rect.moveLeft(pos);
        else
            after[i].rect.moveTop(pos);
        pos += extent(i) + gap;
    }
    return replace(t, refs, std::move(after), QStringLiteral("Распределение"));
}

EditPtr bringToFront(const ReportTemplate& t, const QList<ObjectRef>& refs) {
    return restack(t, refs, true);
}

EditPtr sendToBack(const ReportTemplate& t, const QList<ObjectRef>& refs) {
    return restack(t, refs, false);
}

EditPtr addDataset(const ReportTemplate& t, DatasetSpec dataset) {
    return dictionaryEdit(t, QStringLiteral("Новый набор данных"),
                          [&](Dictionary& d) { d.datasets << dataset; });
}

EditPtr removeDataset(const ReportTemplate& t, int index) {
    if (index < 0 || index >= t.datasets.size())
        return nullptr;
    return dictionaryEdit(t, QStringLiteral("Удаление набора данных"),
                          [&](Dictionary& d) { d.datasets.removeAt(index); });
}

EditPtr setDataset(const ReportTemplate& t, int index, DatasetSpec dataset) {
    if (index < 0 || index >= t.datasets.size())
        return nullptr;
    return dictionaryEdit(t, QStringLiteral("Изменение набора данных"),
                          [&](Dictionary& d) { d.datasets[index] = dataset; });
}

EditPtr setVariable(const ReportTemplate& t, const QString& name, const QString& expression) {
    if (name.trimmed().isEmpty())
        return nullptr;
    return dictionaryEdit(t, QStringLiteral("Переменная %1").arg(name),
                          [&](Dictionary& d) { d.variables.insert(name.trimmed(), expression); });
}

EditPtr removeVariable(const ReportTemplate& t, const QString& name) {
    return dictionaryEdit(t, QStringLiteral("Удаление переменной %1").arg(name),
                          [&](Dictionary& d) { d.variables.remove(name); });
}

EditPtr setScript(const ReportTemplate& t, const QString& script) {
    return dictionaryEdit(t, QStringLiteral("Сценарий отчета"), [&](Dictionary& d) { d.script = script; });
}

EditPtr setPageSetup(const ReportTemplate& t, const PageSetup& page) {
    return dictionaryEdit(t, QStringLiteral("Параметры страницы"), [&](Dictionary& d) { d.page = page; });
}

EditPtr setDialogs(const ReportTemplate& t, const QList<DialogPage>& dialogs, const QString& text) {
    return dictionaryEdit(t, text, [&](Dictionary& d) { d.dialogs = dialogs; });
}

} // namespace svod::engine::editing
