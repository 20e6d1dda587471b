#include "reports/designer/PropertyPanel.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "engine/editing/Operations.h"
#include "reports/designer/DesignScene.h"
#include "reports/designer/DesignerDocument.h"

namespace svod::reports::designer {

using namespace engine::editing;

namespace {

constexpr qint64 PictureLimit = 4 * 1024 * 1024;

QString colorText(const QColor& c) {
    return c.isValid() ? c.name() : QStringLiteral("нет");
}

QString fontText(const engine::FontSpec& f) {
    QString s = QStringLiteral("%1, %2").arg(f.family).arg(f.sizePt);
    if (f.bold)
        s += QStringLiteral(", жирный");
    if (f.italic)
        s += QStringLiteral(", курсив");
    return s;
}

// The properties' editor object names: "Prop" and the property's English key.
QString editorName(ObjectProperty p) {
    // clang-format off
    static const char* names[] = {"Name", "X", "Y", "Width", "Height", "Text", "Format", "Font", "Frame",
                                  "FrameWidth", "FrameColor", "Fill", "Align", "WordWrap", "Stretch",
                                  "Radius", "Picture", "ChartKind", "ChartDataset", "ChartCategory",
                                  "ChartValues", "ChartSeries", "ChartTitle", "ChartXTitle", "ChartYTitle",
                                  "ChartFormat", "ChartLegend", "ChartSeriesField"};
    // clang-format on
    static_assert(std::size(names) == std::size_t(ObjectProperty::ChartSeriesField) + 1);
    return QStringLiteral("Prop") + QString::fromLatin1(names[int(p)]);
}

// Headers printed again on each page while their rows go on.
bool repeats(engine::BandKind kind) {
    return kind == engine::BandKind::GroupHeader || kind == engine::BandKind::MasterHeader ||
           kind == engine::BandKind::DetailHeader;
}

} // namespace

const QStringList& PropertyPanel::displayFormats() {
    static const QStringList formats = {QString(),
                                        QStringLiteral("#0.00"),
                                        QStringLiteral("#,##0.00"),
                                        QStringLiteral("#0"),
                                        QStringLiteral("#,##0"),
                                        QStringLiteral("dd.MM.yyyy"),
                                        QStringLiteral("dd.MM.yy"),
                                        QStringLiteral("MMMM yyyy"),
                                        QStringLiteral("hh:mm")};
    return formats;
}

PropertyPanel::PropertyPanel(DesignerDocument& document, DesignScene& scene, QWidget* parent)
    : QWidget(parent), document_(document), scene_(scene) {
    setObjectName(QStringLiteral("PropertyPanel"));
    setAccessibleName(QStringLiteral("Инспектор объектов"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("PropertyTitle"));
    title_->setWordWrap(true);
    table_ = new QTableWidget(0, 2, this);
    table_->setObjectName(QStringLiteral("PropertyTable"));
    table_->setAccessibleName(QStringLiteral("Свойства"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Свойство"), QStringLiteral("Значение")});
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(title_);
    layout->addWidget(table_);
    // Rebuilt after the event that changed things: the editor that sent a change must outlive it.
    auto later = [this] {
        if (!pending_) {
            pending_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    pending_ = false;
                    refresh();
                },
                Qt::QueuedConnection);
        }
    };
    connect(&scene, &QGraphicsScene::selectionChanged, this, later);
    connect(&scene, &DesignScene::currentBandChanged, this, later);
    connect(&document, &DesignerDocument::changed, this, later);
    refresh();
}

void PropertyPanel::addRow(const QString& caption, QWidget* editor, const QString& objectName) {
    const int row = table_->rowCount();
    table_->insertRow(row);
    auto* item = new QTableWidgetItem(caption);
    item->setFlags(Qt::ItemIsEnabled);
    table_->setItem(row, 0, item);
    editor->setObjectName(objectName);
    editor->setAccessibleName(caption);
    table_->setCellWidget(row, 1, editor);
}

void PropertyPanel::applyObjectProperty(ObjectProperty property, const QVariant& value) {
    if (refreshing_)
        return;
    const auto refs = scene_.selectedRefs();
    document_.push(setObjectProperty(document_.reportTemplate(), refs, property, value));
    scene_.sync();
}

void PropertyPanel::refresh() {
    if (refreshing_)
        return;
    refreshing_ = true;
    // Keep the focus in the editor being typed into: rebuilding would take it away.
    QWidget* focused = focusWidget();
    const QString focusedName = focused && isAncestorOf(focused) ? focused->objectName() : QString();
    table_->setRowCount(0);
    if (!scene_.selectedRefs().isEmpty())
        showObjects();
    else
        showBand(scene_.currentBand());
    if (!focusedName.isEmpty())
        if (auto* w = table_->findChild<QWidget*>(focusedName))
            w->setFocus();
    refreshing_ = false;
}

void PropertyPanel::showObjects() {
    const auto refs = scene_.selectedRefs();
    const auto& t = document_.reportTemplate();
    QList<engine::TemplateObject> objects;
    for (const auto& r : refs)
        objects << t.bands[r.band].objects[r.index];
    title_->setText(objects.size() == 1
                        ? QStringLiteral("%1 %2").arg(objectKindCaption(objects[0].kind),
                                                      objects[0].name.isEmpty()
                                                          ? QStringLiteral("(без имени)")
                                                          : QStringLiteral("\"%1\"").arg(objects[0].name))
                        : QStringLiteral("Выбрано объектов: %1").arg(objects.size()));
    for (ObjectProperty p : allObjectProperties()) {
        bool applies = true;
        for (const auto& o : objects)
            applies = applies && propertyApplies(o.kind, p);
        if (!applies || (p == ObjectProperty::Name && objects.size() > 1))
            continue;
        ShownProperty shown{p, objectProperty(objects[0], p), true, objectPropertyCaption(p), editorName(p)};
        for (const auto& o : objects)
            shown.common = shown.common && objectProperty(o, p) == shown.value;
        // Datasets of the template, or the fields of the chart's dataset as far as they are known.
        QStringList choices;
        if (p == ObjectProperty::ChartDataset) {
            for (const auto& d : t.datasets)
                choices << d.name;
        } else if ((p == ObjectProperty::ChartCategory || p == ObjectProperty::ChartSeriesField) &&
                   fieldsOf_) {
            choices = fieldsOf_(objects[0].chart.dataset).value_or(QStringList());
        }
        addRow(shown.caption, editorFor(shown, choices), shown.name);
    }
}

QWidget* PropertyPanel::editorFor(const ShownProperty& shown, const QStringList& choices) {
    switch (shown.property) {
    case ObjectProperty::X:
    case ObjectProperty::Y:
    case ObjectProperty::Width:
    case ObjectProperty::Height:
    case ObjectProperty::FrameWidth:
    case ObjectProperty::Radius:
        return numberEditor(shown);
    case ObjectProperty::WordWrap:
    case ObjectProperty::Stretch:
    case ObjectProperty::ChartLegend:
        return flagEditor(shown);
    case ObjectProperty::DisplayFormat:
        return formatEditor(shown);
    case ObjectProperty::Font:
        return fontEditor(shown);
    case ObjectProperty::FrameColor:
    case ObjectProperty::Fill:
        return colorEditor(shown);
    case ObjectProperty::FrameSides:
        return frameSidesEditor(shown);
    case ObjectProperty::Alignment:
        return alignmentEditor(shown);
    case ObjectProperty::ChartKind:
        return chartKindEditor(shown);
    case ObjectProperty::ChartDataset:
    case ObjectProperty::ChartCategory:
    case ObjectProperty::ChartSeriesField:
        return choiceEditor(shown, choices);
    case ObjectProperty::Picture:
        return pictureEditor(shown);
    default: // Name, Text, the chart's texts and lists ("A, B")
        return textEditor(shown);
    }
}

QWidget* PropertyPanel::numberEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    auto* spin = new QDoubleSpinBox;
    spin->setRange(p == ObjectProperty::X || p == ObjectProperty::Y ? -10000 : 0, 10000);
    spin->setDecimals(2);
    spin->setSuffix(QStringLiteral(" пт"));
    spin->setKeyboardTracking(false);
    if (common)
        spin->setValue(value.toDouble());
    else
        spin->setSpecialValueText(QStringLiteral(" ")), spin->setValue(spin->minimum());
    connect(spin, &QDoubleSpinBox::valueChanged, this, [this, p](double v) { applyObjectProperty(p, v); });
    return spin;
}

QWidget* PropertyPanel::flagEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    auto* box = new QCheckBox;
    box->setTristate(!common);
    box->setCheckState(!common ? Qt::PartiallyChecked : value.toBool() ? Qt::Checked : Qt::Unchecked);
    connect(box, &QCheckBox::clicked, this, [this, p](bool on) { applyObjectProperty(p, on); });
    return box;
}

QWidget* PropertyPanel::formatEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    auto* combo = new QComboBox;
    combo->setEditable(true);
    combo->addItems(displayFormats());
    combo->setCurrentText(common ? value.toString() : QString());
    connect(combo->lineEdit(), &QLineEdit::editingFinished, this,
            [this, combo] { applyObjectProperty(ObjectProperty::DisplayFormat, combo->currentText()); });
    connect(combo, &QComboBox::activated, this,
            [this, combo] { applyObjectProperty(ObjectProperty::DisplayFormat, combo->currentText()); });
    return combo;
}

QWidget* PropertyPanel::fontEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    auto* button = new QPushButton(common ? fontText(value.value<engine::FontSpec>()) : QStringLiteral("…"));
    connect(button, &QPushButton::clicked, this, [this, value] {
        const auto font = value.value<engine::FontSpec>();
        QFont f(font.family);
        f.setPointSizeF(font.sizePt);
        f.setBold(font.bold);
        f.setItalic(font.italic);
        f.setUnderline(font.underline);
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, f, this, QStringLiteral("Шрифт"));
        if (!ok)
            return;
        engine::FontSpec out = font;
        out.family = chosen.family();
        out.sizePt = chosen.pointSizeF();
        out.bold = chosen.bold();
        out.italic = chosen.italic();
        out.underline = chosen.underline();
        applyObjectProperty(ObjectProperty::Font, QVariant::fromValue(out));
    });
    return button;
}

QWidget* PropertyPanel::colorEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto* button =
        new QPushButton(common && value.value<QColor>().isValid() ? colorText(value.value<QColor>())
                                                                  : QStringLiteral("Выбрать…"));
    button->setObjectName(name + QStringLiteral("Choose"));
    button->setAccessibleName(caption);
    connect(button, &QPushButton::clicked, this, [this, p, value] {
        const QColor c = QColorDialog::getColor(value.value<QColor>().isValid() ? value.value<QColor>()
                                                                                : QColor(Qt::white),
                                                this, objectPropertyCaption(p));
        if (c.isValid())
            applyObjectProperty(p, c);
    });
    row->addWidget(button, 1);
    if (p == ObjectProperty::Fill) {
        // A short caption: the value column is too narrow for both buttons at full length.
        auto* none = new QPushButton(QStringLiteral("Нет"));
        none->setObjectName(name + QStringLiteral("None"));
        none->setToolTip(QStringLiteral("Без заливки"));
        none->setAccessibleName(QStringLiteral("Без заливки"));
        connect(none, &QPushButton::clicked, this,
                [this] { applyObjectProperty(ObjectProperty::Fill, QColor()); });
        row->addWidget(none);
    }
    return box;
}

QWidget* PropertyPanel::frameSidesEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    const int sides = common ? value.toInt() : 0;
    const QList<std::pair<int, QString>> parts = {{engine::FrameLeft, QStringLiteral("Л")},
                                                  {engine::FrameTop, QStringLiteral("В")},
                                                  {engine::FrameRight, QStringLiteral("П")},
                                                  {engine::FrameBottom, QStringLiteral("Н")}};
    static const QStringList full = {QStringLiteral("Рамка слева"), QStringLiteral("Рамка сверху"),
                                     QStringLiteral("Рамка справа"), QStringLiteral("Рамка снизу")};
    static const QStringList keys = {QStringLiteral("Left"), QStringLiteral("Top"), QStringLiteral("Right"),
                                     QStringLiteral("Bottom")};
    for (int i = 0; i < parts.size(); ++i) {
        auto* check = new QCheckBox(parts[i].second);
        check->setObjectName(name + keys[i]);
        check->setAccessibleName(full[i]);
        check->setChecked(sides & parts[i].first);
        const int bit = parts[i].first;
        connect(check, &QCheckBox::clicked, this, [this, sides, bit](bool on) {
            applyObjectProperty(ObjectProperty::FrameSides, on ? (sides | bit) : (sides & ~bit));
        });
        row->addWidget(check);
    }
    return box;
}

QWidget* PropertyPanel::alignmentEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    auto* combo = new QComboBox;
    const QList<std::pair<int, QString>> choices = {
        {Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Слева сверху")},
        {Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("По центру сверху")},
        {Qt::AlignRight | Qt::AlignTop, QStringLiteral("Справа сверху")},
        {Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Слева посередине")},
        {Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("По центру посередине")},
        {Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Справа посередине")},
        {Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Слева снизу")},
        {Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("По центру снизу")},
        {Qt::AlignRight | Qt::AlignBottom, QStringLiteral("Справа снизу")},
    };
    if (!common)
        combo->addItem(QString(), -1);
    for (const auto& [a, text] : choices)
        combo->addItem(text, a);
    const int at = combo->findData(value.toInt());
    if (common && at < 0)
        combo->addItem(QStringLiteral("Другое (%1)").arg(value.toInt()), value.toInt());
    combo->setCurrentIndex(common ? combo->findData(value.toInt()) : 0);
    connect(combo, &QComboBox::activated, this, [this, combo] {
        if (combo->currentData().toInt() >= 0)
            applyObjectProperty(ObjectProperty::Alignment, combo->currentData().toInt());
    });
    return combo;
}

QWidget* PropertyPanel::chartKindEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    auto* combo = new QComboBox;
    if (!common)
        combo->addItem(QString(), -1);
    for (auto type : allChartTypes())
        combo->addItem(chartTypeCaption(type), int(type));
    combo->setCurrentIndex(common ? combo->findData(value.toInt()) : 0);
    connect(combo, &QComboBox::activated, this, [this, combo] {
        if (combo->currentData().toInt() >= 0)
            applyObjectProperty(ObjectProperty::ChartKind, combo->currentData().toInt());
    });
    return combo;
}

QWidget* PropertyPanel::choiceEditor(const ShownProperty& shown, const QStringList& choices) {
    const auto& [p, value, common, caption, name] = shown;
    auto* combo = new QComboBox;
    combo->setEditable(true);
    combo->addItems(choices);
    combo->setCurrentText(common ? value.toString() : QString());
    auto apply = [this, p, combo] { applyObjectProperty(p, combo->currentText()); };
    connect(combo->lineEdit(), &QLineEdit::editingFinished, this, apply);
    connect(combo, &QComboBox::activated, this, apply);
    return combo;
}

QWidget* PropertyPanel::pictureEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    auto* button = new QPushButton(value.toByteArray().isEmpty() ? QStringLiteral("Загрузить…")
                                                                 : QStringLiteral("Заменить…"));
    connect(button, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Рисунок"), QString(),
                                         QStringLiteral("Рисунки (*.png *.jpg *.jpeg *.bmp *.gif)"));
        if (path.isEmpty())
            return;
        QFile file(path);
        QImageReader reader(path);
        if (file.size() > PictureLimit) {
            QMessageBox::warning(
                this, QStringLiteral("Рисунок"),
                QStringLiteral("Файл %1 больше 4 МБ: такой рисунок не вставляется.").arg(path));
            return;
        }
        if (!reader.canRead() || !file.open(QIODevice::ReadOnly)) {
            QMessageBox::warning(
                this, QStringLiteral("Рисунок"),
                QStringLiteral("Файл %1 не является рисунком: %2").arg(path, reader.errorString()));
            return;
        }
        applyObjectProperty(ObjectProperty::Picture, file.readAll());
    });
    return button;
}

QWidget* PropertyPanel::textEditor(const ShownProperty& shown) {
    const auto& [p, value, common, caption, name] = shown;
    const QString text = value.metaType().id() == QMetaType::QStringList
                             ? value.toStringList().join(QStringLiteral(", "))
                             : value.toString();
    auto* edit = new QLineEdit(common ? text : QString());
    connect(edit, &QLineEdit::editingFinished, this,
            [this, p, edit] { applyObjectProperty(p, edit->text()); });
    return edit;
}

void PropertyPanel::showBand(int index) {
    const auto& t = document_.reportTemplate();
    if (index < 0 || index >= t.bands.size()) {
        title_->setText(QStringLiteral("Ничего не выбрано"));
        return;
    }
    const engine::Band band = t.bands[index];
    title_->setText(QStringLiteral("Полоса: %1").arg(bandKindCaption(band.kind)));
    auto apply = [this, index](const std::function<void(engine::Band&)>& change) {
        if (refreshing_)
            return;
        engine::Band b = document_.reportTemplate().bands[index];
        change(b);
        document_.push(setBandProperties(document_.reportTemplate(), index, b));
        scene_.sync();
    };
    auto* name = new QLineEdit(band.name);
    connect(name, &QLineEdit::editingFinished, this,
            [apply, name] { apply([&](auto& b) { b.name = name->text().trimmed(); }); });
    addRow(QStringLiteral("Имя"), name, QStringLiteral("BandName"));
    auto* height = new QDoubleSpinBox;
    height->setRange(0, 10000);
    height->setSuffix(QStringLiteral(" пт"));
    height->setKeyboardTracking(false);
    height->setValue(band.height);
    connect(height, &QDoubleSpinBox::valueChanged, this,
            [apply](double v) { apply([&](auto& b) { b.height = v; }); });
    addRow(QStringLiteral("Высота"), height, QStringLiteral("BandHeight"));
    if (isDataBand(band.kind)) {
        auto* dataset = new QComboBox;
        dataset->addItem(QString());
        for (const auto& d : t.datasets)
            dataset->addItem(d.name);
        if (dataset->findText(band.dataset) < 0)
            dataset->addItem(band.dataset);
        dataset->setCurrentText(band.dataset);
        connect(dataset, &QComboBox::activated, this,
                [apply, dataset] { apply([&](auto& b) { b.dataset = dataset->currentText(); }); });
        addRow(QStringLiteral("Набор данных"), dataset, QStringLiteral("BandDataset"));
    }
    if (band.kind == engine::BandKind::GroupHeader) {
        auto* condition = new QLineEdit(band.condition);
        connect(condition, &QLineEdit::editingFinished, this,
                [apply, condition] { apply([&](auto& b) { b.condition = condition->text(); }); });
        addRow(QStringLiteral("Условие группы"), condition, QStringLiteral("BandCondition"));
    }
    auto* child = new QComboBox;
    child->addItem(QString());
    for (const auto& b : t.bands)
        if (b.kind == engine::BandKind::Child && !b.name.isEmpty())
            child->addItem(b.name);
    if (child->findText(band.child) < 0)
        child->addItem(band.child);
    child->setCurrentText(band.child);
    connect(child, &QComboBox::activated, this,
            [apply, child] { apply([&](auto& b) { b.child = child->currentText(); }); });
    addRow(QStringLiteral("Дочерняя полоса"), child, QStringLiteral("BandChild"));
    const QList<std::tuple<QString, QString, bool engine::Band::*>> flags = {
        {QStringLiteral("Не разрывать"), QStringLiteral("BandKeepTogether"), &engine::Band::keepTogether},
        {QStringLiteral("Разрешить разрыв"), QStringLiteral("BandAllowSplit"), &engine::Band::allowSplit},
        {QStringLiteral("Новая страница после"), QStringLiteral("BandNewPageAfter"),
         &engine::Band::newPageAfter},
        {QStringLiteral("Повторять на новой странице"), QStringLiteral("BandRepeatOnNewPage"),
         &engine::Band::repeatOnNewPage},
        {QStringLiteral("Под заголовком страницы"), QStringLiteral("BandBelowPageHeader"),
         &engine::Band::belowPageHeader},
    };
    for (const auto& [caption, objectName, member] : flags) {
        if (member == &engine::Band::repeatOnNewPage && !repeats(band.kind))
            continue;
        if (member == &engine::Band::belowPageHeader && band.kind != engine::BandKind::ReportTitle)
            continue;
        auto* box = new QCheckBox;
        box->setChecked(band.*member);
        auto m = member;
        connect(box, &QCheckBox::clicked, this, [apply, m](bool on) { apply([&](auto& b) { b.*m = on; }); });
        addRow(caption, box, objectName);
    }
}

} // namespace svod::reports::designer
