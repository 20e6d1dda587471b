#pragma once

#include <QHash>
#include <QList>
#include <QStringList>
#include <functional>
#include <utility>

#include "engine/Datasets.h"
#include "engine/Model.h"
#include "engine/PreparedPages.h"

namespace svod::engine {

class ExpressionScope;
struct CompiledExpression;

// One object of a band laid out: where it goes relative to the band and, for stretched text, its
// wrapped lines (so that a band can be split between lines).
struct LaidOutObject {
    PreparedObject object;
    QStringList lines;
};

// A band with its values filled in and its height after stretching.
struct LaidOutBand {
    int band = -1;
    double height = 0;
    QList<LaidOutObject> objects;
    // True when some stretched text has more than one line to split between.
    bool canSplitLines() const;
};

// A prepared object with the look of a template object (kind, place, font, frame, fill, alignment);
// its text, picture and state are filled by whoever shows it.
PreparedObject preparedFrom(const TemplateObject& o);

// Splits a laid-out band at `available` points: what fits, and the rest moved to the top. Stretched
// texts split between lines, other objects are cut at the line.
std::pair<LaidOutBand, LaidOutBand> splitBand(const LaidOutBand& band, double available);

// Fills a band's objects with the values of their expressions and measures stretched texts.
class BandLayout {
public:
    BandLayout(const ReportTemplate& report, ExpressionScope& scope);

    // Compiles every expression of the template, so that every aggregate exists before the first row.
    void compileAll();
    LaidOutBand layOut(int band);
    // True when the band shows something that can change from one place to another (expressions).
    bool hasExpressions(int band) const;
    // Where a chart's rows come from: its dataset, read whole.
    void setChartRows(std::function<RowSet(const QString& dataset)> rows) { chartRows_ = std::move(rows); }

private:
    struct CompiledText {
        QStringList literals;
        QList<CompiledExpression*> expressions;
    };
    const CompiledText& compiled(int band, int object);
    QString evaluateText(int band, int object, PreparedObject& prepared);
    void stretch(const TemplateObject& source, LaidOutObject& item) const;
    QByteArray chartBytes(const ChartSettings& chart);

    const ReportTemplate& template_;
    ExpressionScope& scope_;
    QList<QList<CompiledText>> texts_; // by band and object
    QList<QList<bool>> compiledFlags_;
    std::function<RowSet(const QString&)> chartRows_;
    // The charts made last, with the rows they were made of (kept, so that shared rows stay the same).
    struct MadeChart {
        ChartSettings settings;
        RowSet rows;
        QByteArray bytes;
    };
    QList<MadeChart> charts_;
};

} // namespace svod::engine
