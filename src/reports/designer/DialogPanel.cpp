#include "reports/designer/DialogPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "engine/editing/DialogEditing.h"
#include "engine/editing/Operations.h"
#include "reports/designer/DesignerDocument.h"

namespace svod::reports::designer {

using namespace engine::editing;
using engine::ControlKind;

namespace {

// A script editor that reports its text when the focus leaves it.
class ScriptEdit final : public QPlainTextEdit {
public:
    ScriptEdit(const QString& text, std::function<void(const QString&)> done)
        : QPlainTextEdit(text), done_(std::move(done)) {
        setTabChangesFocus(true);
        setMaximumHeight(70);
    }

protected:
    void focusOutEvent(QFocusEvent* event) override {
        QPlainTextEdit::focusOutEvent(event);
        done_(toPlainText());
    }

private:
    std::function<void(const QString&)> done_;
};

QDoubleSpinBox* spin(double value, double min) {
    auto* s = new QDoubleSpinBox;
    s->setRange(min, 5000);
    s->setDecimals(1);
    s->setSuffix(QStringLiteral(" пт"));
    s->setKeyboardTracking(false);
    s->setValue(value);
    return s;
}

QStringList splitList(const QString& text) {
    QStringList out;
    for (const auto& part : text.split(u';'))
        if (!part.trimmed().isEmpty())
            out << part.trimmed();
    return out;
}

bool isList(ControlKind k) {
    return k == ControlKind::ComboBox || k == ControlKind::RadioGroup || k == ControlKind::CheckListBox;
}

bool hasCaption(ControlKind k) {
    return k == ControlKind::Label || k == ControlKind::CheckBox || k == ControlKind::Button ||
           k == ControlKind::RadioGroup;
}

// Replaces the form inside a box; the old one goes after the event that asked for it.
QFormLayout* freshForm(QWidget* box) {
    auto* layout = static_cast<QVBoxLayout*>(box->layout());
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    auto* content = new QWidget;
    auto* form = new QFormLayout(content);
    form->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    content->show();
    return form;
}

} // namespace

DialogPanel::DialogPanel(DesignerDocument& document, QWidget* parent) : QWidget(parent), document_(document) {
    setObjectName(QStringLiteral("DialogPanel"));
    setAccessibleName(QStringLiteral("Диалоговые формы"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("DialogScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);
    auto* inner = new QWidget;
    scroll->setWidget(inner);
    auto* layout = new QVBoxLayout(inner);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* pageRow = new QHBoxLayout;
    pages_ = new QListWidget;
    pages_->setObjectName(QStringLiteral("DialogPages"));
    pages_->setAccessibleName(QStringLiteral("Формы"));
    pages_->setMaximumHeight(70);
    auto* pageButtons = new QVBoxLayout;
    pageButtons->addWidget(commandButton(QStringLiteral("Добавить форму"), QStringLiteral("AddDialogPage"),
                                         [this] { addPage(); }));
    pageButtons->addWidget(commandButton(QStringLiteral("Удалить форму"), QStringLiteral("RemoveDialogPage"),
                                         [this] { removePage(); }));
    pageButtons->addStretch();
    pageRow->addWidget(pages_, 1);
    pageRow->addLayout(pageButtons);
    layout->addLayout(pageRow);
    pageBox_ = new QWidget;
    pageBox_->setObjectName(QStringLiteral("DialogPageProperties"));
    pageBox_->setLayout(new QVBoxLayout);
    pageBox_->layout()->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pageBox_);

    buildControlPalette();
    layout->addWidget(palette_);
    controls_ = new QListWidget;
    controls_->setObjectName(QStringLiteral("DialogControls"));
    controls_->setAccessibleName(QStringLiteral("Элементы формы"));
    controls_->setMinimumHeight(110);
    layout->addWidget(controls_);
    layout->addWidget(commandButton(QStringLiteral("Удалить элемент"), QStringLiteral("RemoveDialogControl"),
                                    [this] { removeControl(); }));
    controlBox_ = new QWidget;
    controlBox_->setObjectName(QStringLiteral("ControlProperties"));
    controlBox_->setLayout(new QVBoxLayout);
    controlBox_->layout()->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(controlBox_);
    layout->addStretch();

    connect(pages_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!refreshing_)
            selectPage(row);
    });
    connect(controls_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!refreshing_)
            selectControl(row);
    });
    // Rebuilt after the event that changed things: the editor that sent a change must outlive it.
    connect(&document_, &DesignerDocument::changed, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { refresh(); }, Qt::QueuedConnection);
    });
    refresh();
}

QPushButton* DialogPanel::commandButton(const QString& text, const QString& name,
                                        const std::function<void()>& run) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    b->setAccessibleName(text);
    connect(b, &QPushButton::clicked, this, run);
    return b;
}

// The palette: a button per control kind, in rows of two.
void DialogPanel::buildControlPalette() {
    palette_ = new QWidget;
    palette_->setObjectName(QStringLiteral("ControlPalette"));
    palette_->setAccessibleName(QStringLiteral("Элементы формы"));
    auto* grid = new QGridLayout(palette_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    for (ControlKind kind : allControlKinds()) {
        auto* a = new QAction(controlKindCaption(kind), this);
        a->setObjectName(QStringLiteral("Control_") + engine::controlKindName(kind));
        connect(a, &QAction::triggered, this, [this, kind] { addControl(kind); });
        auto* b = new QToolButton;
        b->setDefaultAction(a);
        b->setObjectName(QStringLiteral("ControlButton_") + engine::controlKindName(kind));
        b->setAccessibleName(controlKindCaption(kind));
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        const int n = grid->count();
        grid->addWidget(b, n / 2, n % 2);
    }
}

void DialogPanel::change(const QString& text, const std::function<void(QList<engine::DialogPage>&)>& change) {
    if (refreshing_)
        return;
    QList<engine::DialogPage> dialogs = document_.reportTemplate().dialogs;
    change(dialogs);
    document_.push(setDialogs(document_.reportTemplate(), dialogs, text));
}

void DialogPanel::changeControl(const std::function<void(engine::DialogControl&)>& edit) {
    const int page = page_, control = control_;
    change(QStringLiteral("Свойства элемента формы"), [&](QList<engine::DialogPage>& dialogs) {
        if (page >= 0 && page < dialogs.size() && control >= 0 && control < dialogs[page].controls.size())
            edit(dialogs[page].controls[control]);
    });
}

void DialogPanel::addPage() {
    const engine::DialogPage page = newDialogPage(document_.reportTemplate());
    change(QStringLiteral("Новая форма"), [&](QList<engine::DialogPage>& dialogs) { dialogs << page; });
    page_ = int(document_.reportTemplate().dialogs.size()) - 1;
    control_ = -1;
    refresh();
}

void DialogPanel::removePage() {
    const int page = page_;
    if (page < 0 || page >= document_.reportTemplate().dialogs.size())
        return;
    change(QStringLiteral("Удаление формы"),
           [&](QList<engine::DialogPage>& dialogs) { dialogs.removeAt(page); });
    page_ = std::min(page, int(document_.reportTemplate().dialogs.size()) - 1);
    control_ = -1;
    refresh();
}

void DialogPanel::addControl(ControlKind kind) {
    if (page_ < 0 || page_ >= document_.reportTemplate().dialogs.size())
        addPage();
    const int page = page_;
    const engine::DialogControl control = newControl(document_.reportTemplate(), page, kind);
    change(QStringLiteral("Новый элемент формы: ") + controlKindCaption(kind),
           [&](QList<engine::DialogPage>& dialogs) { dialogs[page].controls << control; });
    control_ = int(document_.reportTemplate().dialogs[page].controls.size()) - 1;
    refresh();
}

void DialogPanel::removeControl() {
    const auto& dialogs = document_.reportTemplate().dialogs;
    const int page = page_, control = control_;
    if (page < 0 || page >= dialogs.size() || control < 0 || control >= dialogs[page].controls.size())
        return;
    change(QStringLiteral("Удаление элемента формы"),
           [&](QList<engine::DialogPage>& all) { all[page].controls.removeAt(control); });
    control_ = std::min(control, int(document_.reportTemplate().dialogs[page].controls.size()) - 1);
    refresh();
}

void DialogPanel::selectPage(int page) {
    page_ = page;
    control_ = -1;
    refresh();
}

void DialogPanel::selectControl(int control) {
    control_ = control;
    refresh();
}

void DialogPanel::refresh() {
    refreshing_ = true;
    const auto& dialogs = document_.reportTemplate().dialogs;
    if (page_ >= dialogs.size())
        page_ = int(dialogs.size()) - 1;
    if (page_ < 0 && !dialogs.isEmpty())
        page_ = 0;
    const int controls = page_ >= 0 ? int(dialogs[page_].controls.size()) : 0;
    if (control_ >= controls)
        control_ = controls - 1;
    pages_->clear();
    for (const auto& p : dialogs)
        pages_->addItem(QStringLiteral("%1 — %2").arg(p.name, p.caption));
    pages_->setCurrentRow(page_);
    controls_->clear();
    if (page_ >= 0)
        for (const auto& c : dialogs[page_].controls)
            controls_->addItem(QStringLiteral("%1 (%2)").arg(c.name, controlKindCaption(c.kind)));
    controls_->setCurrentRow(control_);
    showPage();
    showControl();
    refreshing_ = false;
}

void DialogPanel::addField(QFormLayout* form, const QString& caption, QWidget* editor, const QString& name) {
    editor->setObjectName(name);
    editor->setAccessibleName(caption);
    form->addRow(caption + QStringLiteral(":"), editor);
}

void DialogPanel::showPage() {
    QFormLayout* form = freshForm(pageBox_);
    if (page_ < 0)
        return;
    const engine::DialogPage page = document_.reportTemplate().dialogs[page_];
    auto pageChange = [this](const std::function<void(engine::DialogPage&)>& edit) {
        const int at = page_;
        change(QStringLiteral("Свойства формы"),
               [&](QList<engine::DialogPage>& dialogs) { edit(dialogs[at]); });
    };
    auto* name = new QLineEdit(page.name);
    connect(name, &QLineEdit::editingFinished, this,
            [pageChange, name] { pageChange([&](auto& p) { p.name = name->text().trimmed(); }); });
    addField(form, QStringLiteral("Имя формы"), name, QStringLiteral("DialogPageName"));
    auto* caption = new QLineEdit(page.caption);
    connect(caption, &QLineEdit::editingFinished, this,
            [pageChange, caption] { pageChange([&](auto& p) { p.caption = caption->text(); }); });
    addField(form, QStringLiteral("Заголовок"), caption, QStringLiteral("DialogPageCaption"));
    auto* width = spin(page.size.width(), 40);
    connect(width, &QDoubleSpinBox::valueChanged, this,
            [pageChange](double v) { pageChange([&](auto& p) { p.size.setWidth(v); }); });
    addField(form, QStringLiteral("Ширина формы"), width, QStringLiteral("DialogPageWidth"));
    auto* height = spin(page.size.height(), 40);
    connect(height, &QDoubleSpinBox::valueChanged, this,
            [pageChange](double v) { pageChange([&](auto& p) { p.size.setHeight(v); }); });
    addField(form, QStringLiteral("Высота формы"), height, QStringLiteral("DialogPageHeight"));
    auto* onShow = new ScriptEdit(
        page.onShow, [pageChange](const QString& text) { pageChange([&](auto& p) { p.onShow = text; }); });
    addField(form, QStringLiteral("Сценарий при показе"), onShow, QStringLiteral("DialogPageOnShow"));
}

void DialogPanel::showControl() {
    QFormLayout* form = freshForm(controlBox_);
    if (page_ < 0 || control_ < 0)
        return;
    const engine::DialogControl c = document_.reportTemplate().dialogs[page_].controls[control_];
    addControlText(form, QStringLiteral("Имя"), QStringLiteral("ControlName"), c.name,
                   [](auto& control, const QString& v) { control.name = v.trimmed(); });
    addControlGeometry(form, c.rect);
    if (hasCaption(c.kind))
        addControlText(form, QStringLiteral("Надпись"), QStringLiteral("ControlCaption"), c.caption,
                       [](auto& control, const QString& v) { control.caption = v; });
    if (c.kind != ControlKind::Label && c.kind != ControlKind::Button)
        addControlText(form, QStringLiteral("Значение по умолчанию"), QStringLiteral("ControlDefault"),
                       c.defaultValue, [](auto& control, const QString& v) { control.defaultValue = v; });
    if (isList(c.kind))
        addListSource(form, c);
    addControlBehaviour(form, c);
}

void DialogPanel::addControlText(QFormLayout* form, const QString& caption, const QString& name,
                                 const QString& value,
                                 std::function<void(engine::DialogControl&, const QString&)> set) {
    auto* edit = new QLineEdit(value);
    connect(edit, &QLineEdit::editingFinished, this, [this, edit, set] {
        changeControl([&](engine::DialogControl& control) { set(control, edit->text()); });
    });
    addField(form, caption, edit, name);
}

void DialogPanel::addControlGeometry(QFormLayout* form, const QRectF& rect) {
    const QList<std::tuple<QString, QString, double, std::function<void(QRectF&, double)>>> geometry = {
        {QStringLiteral("Слева"), QStringLiteral("ControlX"), rect.x(),
         [](QRectF& r, double v) { r.moveLeft(v); }},
        {QStringLiteral("Сверху"), QStringLiteral("ControlY"), rect.y(),
         [](QRectF& r, double v) { r.moveTop(v); }},
        {QStringLiteral("Ширина"), QStringLiteral("ControlWidth"), rect.width(),
         [](QRectF& r, double v) { r.setWidth(v); }},
        {QStringLiteral("Высота"), QStringLiteral("ControlHeight"), rect.height(),
         [](QRectF& r, double v) { r.setHeight(v); }},
    };
    for (const auto& [caption, name, value, set] : geometry) {
        auto* s = spin(value, 0);
        auto apply = set;
        connect(s, &QDoubleSpinBox::valueChanged, this,
                [this, apply](double v) { changeControl([&](auto& control) { apply(control.rect, v); }); });
        addField(form, caption, s, name);
    }
}

// Items and keys typed in, or read from a dataset's key and caption fields.
void DialogPanel::addListSource(QFormLayout* form, const engine::DialogControl& c) {
    addControlText(form, QStringLiteral("Элементы (через ;)"), QStringLiteral("ControlItems"),
                   c.items.join(QStringLiteral("; ")),
                   [](auto& control, const QString& v) { control.items = splitList(v); });
    addControlText(form, QStringLiteral("Ключи (через ;)"), QStringLiteral("ControlKeys"),
                   c.keys.join(QStringLiteral("; ")),
                   [](auto& control, const QString& v) { control.keys = splitList(v); });
    auto* dataset = new QComboBox;
    dataset->setEditable(true);
    dataset->addItem(QString());
    for (const auto& d : document_.reportTemplate().datasets)
        dataset->addItem(d.name);
    dataset->setCurrentText(c.dataset);
    auto setDataset = [this, dataset] {
        changeControl([&](auto& control) { control.dataset = dataset->currentText().trimmed(); });
    };
    connect(dataset, &QComboBox::activated, this, setDataset);
    connect(dataset->lineEdit(), &QLineEdit::editingFinished, this, setDataset);
    addField(form, QStringLiteral("Набор данных списка"), dataset, QStringLiteral("ControlDataset"));
    addControlText(form, QStringLiteral("Поле ключа"), QStringLiteral("ControlKeyField"), c.keyField,
                   [](auto& control, const QString& v) { control.keyField = v.trimmed(); });
    addControlText(form, QStringLiteral("Поле надписи"), QStringLiteral("ControlCaptionField"),
                   c.captionField,
                   [](auto& control, const QString& v) { control.captionField = v.trimmed(); });
}

// What the control does: keys shown, the form closed by a button, the scripts.
void DialogPanel::addControlBehaviour(QFormLayout* form, const engine::DialogControl& c) {
    if (c.kind == ControlKind::CheckListBox) {
        auto* keys = new QCheckBox;
        keys->setChecked(c.showKeys);
        connect(keys, &QCheckBox::clicked, this,
                [this](bool on) { changeControl([&](auto& control) { control.showKeys = on; }); });
        addField(form, QStringLiteral("Показывать ключи"), keys, QStringLiteral("ControlShowKeys"));
    }
    if (c.kind == ControlKind::Button) {
        auto* result = new QComboBox;
        result->addItems({QStringLiteral("Нет"), QStringLiteral("ОК"), QStringLiteral("Отмена")});
        result->setCurrentIndex(int(c.modalResult));
        connect(result, &QComboBox::activated, this, [this](int i) {
            changeControl([&](auto& control) { control.modalResult = engine::ModalResult(i); });
        });
        addField(form, QStringLiteral("Закрывает форму"), result, QStringLiteral("ControlModalResult"));
        addField(form, QStringLiteral("Сценарий при нажатии"),
                 new ScriptEdit(c.onClick,
                                [this](const QString& v) {
                                    changeControl([&](auto& control) { control.onClick = v; });
                                }),
                 QStringLiteral("ControlOnClick"));
    } else if (c.kind != ControlKind::Label) {
        addField(form, QStringLiteral("Сценарий при изменении"),
                 new ScriptEdit(c.onChange,
                                [this](const QString& v) {
                                    changeControl([&](auto& control) { control.onChange = v; });
                                }),
                 QStringLiteral("ControlOnChange"));
    }
}

} // namespace svod::reports::designer
