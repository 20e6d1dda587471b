#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace svod::engine {

enum class ChartType { Bar, StackedBar, Line, Pie };

// A chart object's binding: one category field and one value field per series of a dataset.
struct ChartSettings {
    ChartType type = ChartType::Bar;
    QString dataset;
    QString categoryField;
    QStringList valueFields;
    QStringList seriesTitles; // legend texts, parallel to valueFields (the field name when empty)
    QString title;
    QString xAxisTitle;
    QString yAxisTitle;
    QString numberFormat = QStringLiteral("#,##0.00");
    bool legend = true;
    // A series for each value of this field (the first value field summed per category and
    // series), instead of one series per value field.
    QString seriesField;
    bool operator==(const ChartSettings&) const = default;
};

QString chartTypeName(ChartType type);
ChartType chartTypeFromName(const QString& name, bool* ok = nullptr);

// The data a prepared chart draws: categories and, per series, one value per category.
struct ChartData {
    ChartType type = ChartType::Bar;
    QString title, xAxisTitle, yAxisTitle, numberFormat;
    bool legend = true;
    QStringList categories;
    QStringList seriesTitles;
    QList<QList<double>> values; // [series][category]
    bool operator==(const ChartData&) const = default;
};

} // namespace svod::engine
