#pragma once

#include <QStringList>

#include "engine/Model.h"
#include "engine/PreparedPages.h"

namespace svod::engine::test {

inline TemplateObject textObject(const QRectF& rect, const QString& text, const QString& name = {}) {
    TemplateObject o;
    o.name = name;
    o.rect = rect;
    o.text = text;
    return o;
}

inline Band band(BandKind kind, double height, QList<TemplateObject> objects = {},
                 const QString& dataset = {}) {
    Band b;
    b.kind = kind;
    b.height = height;
    b.objects = std::move(objects);
    b.dataset = dataset;
    return b;
}

// The texts of a page, top to bottom, left to right.
inline QStringList pageTexts(const PreparedPage& page) {
    QList<const PreparedObject*> objects;
    for (const auto& o : page.objects)
        if (o.kind == ObjectKind::Text)
            objects << &o;
    std::stable_sort(objects.begin(), objects.end(), [](auto* a, auto* b) {
        return a->rect.top() != b->rect.top() ? a->rect.top() < b->rect.top()
                                              : a->rect.left() < b->rect.left();
    });
    QStringList texts;
    for (auto* o : objects)
        texts << o->text;
    return texts;
}

} // namespace svod::engine::test
