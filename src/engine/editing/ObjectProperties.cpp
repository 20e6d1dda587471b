#include "engine/editing/ObjectProperties.h"

namespace svod::engine::editing {

const QList<ObjectProperty>& allObjectProperties() {
    static const QList<ObjectProperty> all = {
        ObjectProperty::Name,
        ObjectProperty::X,
        ObjectProperty::Y,
        ObjectProperty::Width,
        ObjectProperty::Height,
        ObjectProperty::Text,
        ObjectProperty::DisplayFormat,
        ObjectProperty::Font,
        ObjectProperty::FrameSides,
        ObjectProperty::FrameWidth,
        ObjectProperty::FrameColor,
        ObjectProperty::Fill,
        ObjectProperty::Alignment,
        ObjectProperty::WordWrap,
        ObjectProperty::Stretch,
        ObjectProperty::Radius,
        ObjectProperty::Picture,
        ObjectProperty::ChartKind,
        ObjectProperty::ChartDataset,
        ObjectProperty::ChartCategory,
        ObjectProperty::ChartValues,
        ObjectProperty::ChartSeriesField,
        ObjectProperty::ChartSeries,
        ObjectProperty::ChartTitle,
        ObjectProperty::ChartXTitle,
        ObjectProperty::ChartYTitle,
        ObjectProperty::ChartFormat,
        ObjectProperty::ChartLegend,
    };
    return all;
}

QString objectPropertyCaption(ObjectProperty property) {
    switch (property) {
    case ObjectProperty::Name:
        return QStringLiteral("Имя");
    case ObjectProperty::X:
        return QStringLiteral("Слева");
    case ObjectProperty::Y:
        return QStringLiteral("Сверху");
    case ObjectProperty::Width:
        return QStringLiteral("Ширина");
    case ObjectProperty::Height:
        return QStringLiteral("Высота");
    case ObjectProperty::Text:
        return QStringLiteral("Текст");
    case ObjectProperty::DisplayFormat:
        return QStringLiteral("Формат");
    case ObjectProperty::Font:
        return QStringLiteral("Шрифт");
    case ObjectProperty::FrameSides:
        return QStringLiteral("Рамка");
    case ObjectProperty::FrameWidth:
        return QStringLiteral("Толщина рамки");
    case ObjectProperty::FrameColor:
        return QStringLiteral("Цвет рамки");
    case ObjectProperty::Fill:
        return QStringLiteral("Заливка");
    case ObjectProperty::Alignment:
        return QStringLiteral("Выравнивание");
    case ObjectProperty::WordWrap:
        return QStringLiteral("Перенос слов");
    case ObjectProperty::Stretch:
        return QStringLiteral("Растягивать");
    case ObjectProperty::Radius:
        return QStringLiteral("Радиус");
    case ObjectProperty::Picture:
        return QStringLiteral("Рисунок");
    case ObjectProperty::ChartKind:
        return QStringLiteral("Вид диаграммы");
    case ObjectProperty::ChartDataset:
        return QStringLiteral("Набор данных");
    case ObjectProperty::ChartCategory:
        return QStringLiteral("Поле категорий");
    case ObjectProperty::ChartValues:
        return QStringLiteral("Поля значений");
    case ObjectProperty::ChartSeries:
        return QStringLiteral("Названия рядов");
    case ObjectProperty::ChartTitle:
        return QStringLiteral("Заголовок диаграммы");
    case ObjectProperty::ChartXTitle:
        return QStringLiteral("Подпись оси X");
    case ObjectProperty::ChartYTitle:
        return QStringLiteral("Подпись оси Y");
    case ObjectProperty::ChartFormat:
        return QStringLiteral("Формат значений");
    case ObjectProperty::ChartLegend:
        return QStringLiteral("Легенда");
    case ObjectProperty::ChartSeriesField:
        return QStringLiteral("Поле рядов");
    }
    return {};
}

bool propertyApplies(ObjectKind kind, ObjectProperty property) {
    const bool textual = kind == ObjectKind::Text || kind == ObjectKind::RichText;
    if (property >= ObjectProperty::ChartKind)
        return kind == ObjectKind::Chart;
    switch (property) {
    case ObjectProperty::Text:
        return textual || kind == ObjectKind::CheckBox;
    case ObjectProperty::DisplayFormat:
    case ObjectProperty::WordWrap:
    case ObjectProperty::Stretch:
    case ObjectProperty::Alignment:
        return textual;
    case ObjectProperty::Font:
        return textual || kind == ObjectKind::CheckBox || kind == ObjectKind::Chart;
    case ObjectProperty::FrameSides:
        return textual || kind == ObjectKind::Picture || kind == ObjectKind::Chart;
    case ObjectProperty::Fill:
        return kind != ObjectKind::Line;
    case ObjectProperty::Radius:
        return kind == ObjectKind::RoundRect;
    case ObjectProperty::Picture:
        return kind == ObjectKind::Picture;
    default:
        return true;
    }
}

QVariant objectProperty(const TemplateObject& o, ObjectProperty property) {
    switch (property) {
    case ObjectProperty::Name:
        return o.name;
    case ObjectProperty::X:
        return o.rect.x();
    case ObjectProperty::Y:
        return o.rect.y();
    case ObjectProperty::Width:
        return o.rect.width();
    case ObjectProperty::Height:
        return o.rect.height();
    case ObjectProperty::Text:
        return o.text;
    case ObjectProperty::DisplayFormat:
        return o.displayFormat;
    case ObjectProperty::Font:
        return QVariant::fromValue(o.font);
    case ObjectProperty::FrameSides:
        return o.frame.sides;
    case ObjectProperty::FrameWidth:
        return o.frame.width;
    case ObjectProperty::FrameColor:
        return o.frame.color;
    case ObjectProperty::Fill:
        return o.fill;
    case ObjectProperty::Alignment:
        return o.alignment;
    case ObjectProperty::WordWrap:
        return o.wordWrap;
    case ObjectProperty::Stretch:
        return o.stretch;
    case ObjectProperty::Radius:
        return o.radius;
    case ObjectProperty::Picture:
        return o.picture;
    case ObjectProperty::ChartKind:
        return int(o.chart.type);
    case ObjectProperty::ChartDataset:
        return o.chart.dataset;
    case ObjectProperty::ChartCategory:
        return o.chart.categoryField;
    case ObjectProperty::ChartValues:
        return o.chart.valueFields;
    case ObjectProperty::ChartSeries:
        return o.chart.seriesTitles;
    case ObjectProperty::ChartTitle:
        return o.chart.title;
    case ObjectProperty::ChartXTitle:
        return o.chart.xAxisTitle;
    case ObjectProperty::ChartYTitle:
        return o.chart.yAxisTitle;
    case ObjectProperty::ChartFormat:
        return o.chart.numberFormat;
    case ObjectProperty::ChartLegend:
        return o.chart.legend;
    case ObjectProperty::ChartSeriesField:
        return o.chart.seriesField;
    }
    return {};
}

namespace {

// A list typed as "A, B" or given as a list; empty parts dropped.
QStringList toList(const QVariant& v) {
    QStringList parts =
        v.metaType().id() == QMetaType::QStringList ? v.toStringList() : v.toString().split(u',');
    QStringList out;
    for (const auto& part : parts)
        if (!part.trimmed().isEmpty())
            out << part.trimmed();
    return out;
}

bool setChartProperty(ChartSettings& c, ObjectProperty property, const QVariant& value) {
    switch (property) {
    case ObjectProperty::ChartKind: {
        bool ok = false;
        const int type = value.toInt(&ok);
        if (!ok || !allChartTypes().contains(ChartType(type)))
            return false;
        c.type = ChartType(type);
        return true;
    }
    case ObjectProperty::ChartDataset:
        c.dataset = value.toString().trimmed();
        return true;
    case ObjectProperty::ChartCategory:
        c.categoryField = value.toString().trimmed();
        return true;
    case ObjectProperty::ChartValues:
        c.valueFields = toList(value);
        return true;
    case ObjectProperty::ChartSeries:
        c.seriesTitles = toList(value);
        return true;
    case ObjectProperty::ChartTitle:
        c.title = value.toString();
        return true;
    case ObjectProperty::ChartXTitle:
        c.xAxisTitle = value.toString();
        return true;
    case ObjectProperty::ChartYTitle:
        c.yAxisTitle = value.toString();
        return true;
    case ObjectProperty::ChartFormat:
        c.numberFormat = value.toString();
        return true;
    case ObjectProperty::ChartLegend:
        c.legend = value.toBool();
        return true;
    case ObjectProperty::ChartSeriesField:
        c.seriesField = value.toString().trimmed();
        return true;
    default:
        return false;
    }
}

bool toNumber(const QVariant& v, double& out, double min = -1e6) {
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || d < min || d > 1e6)
        return false;
    out = d;
    return true;
}

} // namespace

namespace {
// X, Y, width and height: numbers, the sizes not negative.
bool setGeometry(QRectF& rect, ObjectProperty property, const QVariant& value) {
    double d = 0;
    switch (property) {
    case ObjectProperty::X:
        if (!toNumber(value, d))
            return false;
        rect.moveLeft(d);
        return true;
    case ObjectProperty::Y:
        if (!toNumber(value, d))
            return false;
        rect.moveTop(d);
        return true;
    case ObjectProperty::Width:
        if (!toNumber(value, d, 0))
            return false;
        rect.setWidth(d);
        return true;
    case ObjectProperty::Height:
        if (!toNumber(value, d, 0))
            return false;
        rect.setHeight(d);
        return true;
    default:
        return false;
    }
}

bool setFrame(FrameSpec& frame, ObjectProperty property, const QVariant& value) {
    switch (property) {
    case ObjectProperty::FrameSides: {
        bool ok = false;
        const int sides = value.toInt(&ok);
        if (!ok || sides < 0 || sides > FrameAll)
            return false;
        frame.sides = sides;
        return true;
    }
    case ObjectProperty::FrameWidth: {
        double d = 0;
        if (!toNumber(value, d, 0))
            return false;
        frame.width = d;
        return true;
    }
    case ObjectProperty::FrameColor:
        if (!value.value<QColor>().isValid())
            return false;
        frame.color = value.value<QColor>();
        return true;
    default:
        return false;
    }
}
} // namespace

bool setObjectProperty(TemplateObject& o, ObjectProperty property, const QVariant& value) {
    switch (property) {
    case ObjectProperty::Name:
        o.name = value.toString().trimmed();
        return true;
    case ObjectProperty::X:
    case ObjectProperty::Y:
    case ObjectProperty::Width:
    case ObjectProperty::Height:
        return setGeometry(o.rect, property, value);
    case ObjectProperty::Text:
        o.text = value.toString();
        return true;
    case ObjectProperty::DisplayFormat:
        o.displayFormat = value.toString();
        return true;
    case ObjectProperty::Font:
        if (!value.canConvert<FontSpec>())
            return false;
        o.font = value.value<FontSpec>();
        return true;
    case ObjectProperty::FrameSides:
    case ObjectProperty::FrameWidth:
    case ObjectProperty::FrameColor:
        return setFrame(o.frame, property, value);
    case ObjectProperty::Fill:
        o.fill = value.value<QColor>();
        return true;
    case ObjectProperty::Alignment: {
        bool ok = false;
        const int a = value.toInt(&ok);
        if (!ok)
            return false;
        o.alignment = a;
        return true;
    }
    case ObjectProperty::WordWrap:
        o.wordWrap = value.toBool();
        return true;
    case ObjectProperty::Stretch:
        o.stretch = value.toBool();
        return true;
    case ObjectProperty::Radius: {
        double d = 0;
        if (!toNumber(value, d, 0))
            return false;
        o.radius = d;
        return true;
    }
    case ObjectProperty::Picture:
        o.picture = value.toByteArray();
        return true;
    default:
        return setChartProperty(o.chart, property, value);
    }
}

QString objectKindCaption(ObjectKind kind) {
    switch (kind) {
    case ObjectKind::Text:
        return QStringLiteral("Текст");
    case ObjectKind::Line:
        return QStringLiteral("Линия");
    case ObjectKind::Rectangle:
        return QStringLiteral("Прямоугольник");
    case ObjectKind::RoundRect:
        return QStringLiteral("Скругленный прямоугольник");
    case ObjectKind::Picture:
        return QStringLiteral("Рисунок");
    case ObjectKind::CheckBox:
        return QStringLiteral("Флажок");
    case ObjectKind::RichText:
        return QStringLiteral("Форматированный текст");
    case ObjectKind::Chart:
        return QStringLiteral("Диаграмма");
    }
    return objectKindName(kind);
}

QString bandKindCaption(BandKind kind) {
    switch (kind) {
    case BandKind::ReportTitle:
        return QStringLiteral("Заголовок отчета");
    case BandKind::PageHeader:
        return QStringLiteral("Заголовок страницы");
    case BandKind::ColumnHeader:
        return QStringLiteral("Заголовок колонок");
    case BandKind::MasterData:
        return QStringLiteral("Данные первого уровня");
    case BandKind::DetailData:
        return QStringLiteral("Данные второго уровня");
    case BandKind::GroupHeader:
        return QStringLiteral("Заголовок группы");
    case BandKind::GroupFooter:
        return QStringLiteral("Подвал группы");
    case BandKind::ColumnFooter:
        return QStringLiteral("Подвал колонок");
    case BandKind::PageFooter:
        return QStringLiteral("Подвал страницы");
    case BandKind::ReportSummary:
        return QStringLiteral("Итоги отчета");
    case BandKind::Child:
        return QStringLiteral("Дочерняя полоса");
    case BandKind::MasterHeader:
        return QStringLiteral("Заголовок данных");
    case BandKind::MasterFooter:
        return QStringLiteral("Подвал данных");
    case BandKind::DetailHeader:
        return QStringLiteral("Заголовок подчиненных данных");
    case BandKind::DetailFooter:
        return QStringLiteral("Подвал подчиненных данных");
    }
    return bandKindName(kind);
}

const QList<ObjectKind>& allObjectKinds() {
    static const QList<ObjectKind> all = {ObjectKind::Text,      ObjectKind::Line,    ObjectKind::Rectangle,
                                          ObjectKind::RoundRect, ObjectKind::Picture, ObjectKind::CheckBox,
                                          ObjectKind::RichText,  ObjectKind::Chart};
    return all;
}

QString chartTypeCaption(ChartType type) {
    switch (type) {
    case ChartType::Bar:
        return QStringLiteral("Столбцы");
    case ChartType::StackedBar:
        return QStringLiteral("Столбцы с накоплением");
    case ChartType::Line:
        return QStringLiteral("Линии");
    case ChartType::Pie:
        return QStringLiteral("Круговая");
    }
    return chartTypeName(type);
}

const QList<ChartType>& allChartTypes() {
    static const QList<ChartType> all = {ChartType::Bar, ChartType::StackedBar, ChartType::Line,
                                         ChartType::Pie};
    return all;
}

const QList<BandKind>& allBandKinds() {
    static const QList<BandKind> all = {
        BandKind::ReportTitle,  BandKind::PageHeader,    BandKind::ColumnHeader, BandKind::MasterData,
        BandKind::DetailData,   BandKind::GroupHeader,   BandKind::GroupFooter,  BandKind::ColumnFooter,
        BandKind::PageFooter,   BandKind::ReportSummary, BandKind::Child,        BandKind::MasterHeader,
        BandKind::MasterFooter, BandKind::DetailHeader,  BandKind::DetailFooter};
    return all;
}

TemplateObject newObject(ObjectKind kind, const QRectF& rect) {
    TemplateObject o;
    o.kind = kind;
    o.rect = rect;
    switch (kind) {
    case ObjectKind::Line:
        o.rect.setHeight(0);
        break;
    case ObjectKind::RoundRect:
        o.radius = 6;
        break;
    case ObjectKind::CheckBox:
        o.rect.setSize(QSizeF(12, 12));
        o.text = QStringLiteral("1");
        break;
    case ObjectKind::Chart:
        o.frame.sides = FrameAll;
        break;
    default:
        break;
    }
    return o;
}

} // namespace svod::engine::editing
