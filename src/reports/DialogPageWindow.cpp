#include "reports/DialogPageWindow.h"

#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidgetAction>

#include "db/Error.h"

namespace svod::reports {

using engine::ControlKind;
using engine::ControlObject;

namespace {

const QString DateFormat = QStringLiteral("dd.MM.yyyy");

// What a control is called for a screen reader when no label names it.
QString kindCaption(ControlKind kind) {
    switch (kind) {
    case ControlKind::Edit:
        return QStringLiteral("Поле ввода");
    case ControlKind::Memo:
        return QStringLiteral("Текст");
    case ControlKind::DateEdit:
        return QStringLiteral("Дата");
    case ControlKind::ComboBox:
        return QStringLiteral("Выбор из списка");
    case ControlKind::RadioGroup:
        return QStringLiteral("Выбор варианта");
    case ControlKind::CheckListBox:
        return QStringLiteral("Список с флажками");
    default:
        return QStringLiteral("Элемент диалога");
    }
}

QString withoutColon(QString text) {
    text = text.trimmed();
    if (text.endsWith(u':'))
        text.chop(1);
    return text.remove(u'&').trimmed();
}

QDate strictDate(const QString& text) {
    return QDate::fromString(text.trimmed(), DateFormat);
}

// Items are changed in place while their number stays, so the list keeps its scroll position.
void refreshCheckList(QTreeWidget& list, const ControlObject& c) {
    const bool keys = list.columnCount() == 2;
    if (list.topLevelItemCount() != c.count())
        list.clear();
    for (int i = 0; i < c.count(); ++i) {
        QTreeWidgetItem* item = list.topLevelItem(i);
        if (!item) {
            item = new QTreeWidgetItem(&list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        }
        if (keys)
            item->setText(0, c.keys().value(i));
        item->setText(keys ? 1 : 0, c.captions()[i]);
        item->setToolTip(keys ? 1 : 0, c.captions()[i]);
        item->setCheckState(0, c.isChecked(i) ? Qt::Checked : Qt::Unchecked);
    }
}

} // namespace

DialogPageWindow::DialogPageWindow(engine::DialogSession& session, int page, QWidget* parent)
    : QDialog(parent), session_(session), page_(page) {
    const engine::DialogPage& definition = session.page(page);
    setObjectName(definition.name);
    setWindowTitle(definition.caption);
    setAccessibleName(definition.caption);
    setFixedSize(definition.size.toSize());
    for (ControlObject* control : session.controls(page)) {
        QWidget* widget = makeWidget(*control);
        widget->setObjectName(control->name());
        widget->setGeometry(control->definition().rect.toRect());
        widget->setAccessibleName(accessibleNameOf(*control));
        bindings_ << Binding{control, widget};
    }
    // The calendar button sits inside the date field's right edge.
    for (auto* button : findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        if (auto* field = findChild<QLineEdit*>(button->property("field").toString())) {
            const QRect r = field->geometry();
            button->setGeometry(r.right() - r.height() + 2, r.top(), r.height(), r.height());
            field->setTextMargins(0, 0, r.height(), 0);
            button->raise();
        }
    refresh();
}

QWidget* DialogPageWindow::makeWidget(ControlObject& control) {
    switch (control.kind()) {
    case ControlKind::Label:
        return new QLabel(this);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(this);
        connect(edit, &QLineEdit::textEdited, this, [this, &control](const QString& text) {
            if (guarded([&] { control.setText(text); }))
                changed(control);
        });
        return edit;
    }
    case ControlKind::Memo: {
        auto* memo = new QPlainTextEdit(this);
        connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, &control] {
            if (!refreshing_ && guarded([&] { control.setText(memo->toPlainText()); }))
                changed(control);
        });
        return memo;
    }
    case ControlKind::DateEdit:
        return makeDateField(control);
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(this);
        connect(combo, &QComboBox::activated, this, [this, &control](int index) {
            control.setItemIndex(index);
            changed(control);
        });
        connect(combo, &QComboBox::editTextChanged, this, [this, &control](const QString& text) {
            if (!refreshing_ && guarded([&] { control.setText(text); }))
                changed(control);
        });
        return combo;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(this);
        connect(box, &QCheckBox::toggled, this, [this, &control](bool on) {
            control.setChecked(on);
            changed(control);
        });
        return box;
    }
    case ControlKind::RadioGroup:
        return makeRadioGroup(control);
    case ControlKind::Button: {
        auto* button = new QPushButton(this);
        button->setAutoDefault(false);
        button->setDefault(control.definition().modalResult == engine::ModalResult::Ok);
        connect(button, &QPushButton::clicked, this, [this, &control] { pressed(control); });
        return button;
    }
    case ControlKind::CheckListBox:
        return makeCheckList(control);
    }
    return new QWidget(this);
}

// Typed as dd.mm.yyyy: a date that is no calendar date (31.02.2006) is refused when the page is
// closed with OK. The button beside it opens a calendar.
QWidget* DialogPageWindow::makeDateField(ControlObject& control) {
    auto* edit = new QLineEdit(this);
    edit->setInputMask(QStringLiteral("00.00.0000"));
    connect(edit, &QLineEdit::textEdited, this, [this, edit, &control](const QString& text) {
        const QDate date = strictDate(text);
        if (date.isValid() && date != control.date()) {
            edit->setProperty("shownDate", date);
            control.setDate(date);
            changed(control);
        }
    });
    auto* button = new QToolButton(this);
    button->setObjectName(control.name() + QStringLiteral("Calendar"));
    button->setProperty("field", control.name());
    button->setText(QStringLiteral("…"));
    button->setToolTip(QStringLiteral("Календарь"));
    button->setAccessibleName(QStringLiteral("Календарь"));
    button->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(button);
    auto* calendar = new QCalendarWidget(menu);
    calendar->setObjectName(control.name() + QStringLiteral("CalendarWidget"));
    auto* action = new QWidgetAction(menu);
    action->setDefaultWidget(calendar);
    menu->addAction(action);
    button->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, calendar,
            [calendar, &control] { calendar->setSelectedDate(control.date()); });
    connect(calendar, &QCalendarWidget::clicked, this, [this, menu, &control](QDate date) {
        menu->close();
        control.setDate(date);
        changed(control);
    });
    return edit;
}

QWidget* DialogPageWindow::makeRadioGroup(ControlObject& control) {
    auto* box = new QGroupBox(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(0);
    auto* group = new QButtonGroup(box);
    for (int i = 0; i < control.count(); ++i) {
        auto* radio = new QRadioButton(control.captions()[i], box);
        radio->setObjectName(control.name() + QString::number(i));
        radio->setAccessibleName(control.captions()[i]);
        group->addButton(radio, i);
        layout->addWidget(radio);
    }
    connect(group, &QButtonGroup::idClicked, this, [this, &control](int index) {
        control.setItemIndex(index);
        changed(control);
    });
    return box;
}

// The plain style is a list of captions; the second style has a column of keys beside them.
QWidget* DialogPageWindow::makeCheckList(ControlObject& control) {
    auto* list = new QTreeWidget(this);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    if (control.definition().showKeys) {
        list->setColumnCount(2);
        list->setHeaderLabels({QStringLiteral("Код"), QStringLiteral("Наименование")});
    } else {
        list->setColumnCount(1);
        list->setHeaderHidden(true);
    }
    // Long captions scroll sideways rather than being cut.
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(list, &QTreeWidget::itemChanged, this, [this, list, &control](QTreeWidgetItem* item) {
        if (refreshing_)
            return;
        const int index = list->indexOfTopLevelItem(item);
        if (guarded([&] { control.setItemChecked(index, item->checkState(0) == Qt::Checked); }))
            changed(control);
    });
    return list;
}

void DialogPageWindow::refresh() {
    refreshing_ = true;
    for (const Binding& b : bindings_)
        refreshOne(b);
    refreshing_ = false;
}

void DialogPageWindow::refreshOne(const Binding& b) {
    const QSignalBlocker block(b.widget);
    ControlObject& c = *b.control;
    b.widget->setEnabled(c.enabled());
    if (auto* label = qobject_cast<QLabel*>(b.widget)) {
        label->setText(c.caption());
    } else if (auto* button = qobject_cast<QAbstractButton*>(b.widget)) {
        button->setText(c.caption());
        if (auto* box = qobject_cast<QCheckBox*>(b.widget))
            box->setChecked(c.checked());
    } else if (auto* edit = qobject_cast<QLineEdit*>(b.widget)) {
        // A date field keeps what is being typed until the control's date itself changes.
        if (c.kind() != ControlKind::DateEdit) {
            if (edit->text() != c.text())
                edit->setText(c.text());
        } else if (edit->property("shownDate").toDate() != c.date()) {
            edit->setText(c.date().toString(DateFormat));
            edit->setProperty("shownDate", c.date());
        }
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(b.widget)) {
        if (memo->toPlainText() != c.text())
            memo->setPlainText(c.text());
    } else if (auto* combo = qobject_cast<QComboBox*>(b.widget)) {
        combo->clear();
        combo->addItems(c.captions());
        combo->setEditable(c.captions().isEmpty());
        combo->setCurrentIndex(c.itemIndex());
        if (c.captions().isEmpty())
            combo->setEditText(c.text());
    } else if (auto* box = qobject_cast<QGroupBox*>(b.widget)) {
        box->setTitle(c.caption());
        const auto radios = box->findChildren<QRadioButton*>();
        for (int i = 0; i < radios.size(); ++i)
            radios[i]->setChecked(i == c.itemIndex());
    } else if (auto* list = qobject_cast<QTreeWidget*>(b.widget)) {
        refreshCheckList(*list, c);
    }
}

// A field is named by the label on its left or just above it.
QString DialogPageWindow::accessibleNameOf(const ControlObject& control) const {
    const QRectF r = control.definition().rect;
    switch (control.kind()) {
    case ControlKind::Label:
    case ControlKind::Button:
    case ControlKind::CheckBox:
        return withoutColon(control.caption());
    case ControlKind::RadioGroup:
        if (!control.caption().trimmed().isEmpty())
            return withoutColon(control.caption());
        break;
    default:
        break;
    }
    for (const ControlObject* other : session_.controls(page_)) {
        if (other->kind() != ControlKind::Label)
            continue;
        const QRectF l = other->definition().rect;
        const bool leftOf = l.right() <= r.left() + 2 && l.bottom() > r.top() && l.top() < r.bottom();
        const bool above = l.bottom() <= r.top() + 2 && r.top() - l.bottom() < 12 && l.left() < r.right() &&
                           l.right() > r.left();
        if (leftOf || above)
            return withoutColon(other->caption());
    }
    return kindCaption(control.kind());
}

bool DialogPageWindow::guarded(const std::function<void()>& call) {
    try {
        call();
        return true;
    } catch (const Error& e) {
        if (error_.isEmpty())
            error_ = e.message();
        reject();
        return false;
    }
}

void DialogPageWindow::changed(ControlObject& control) {
    if (refreshing_)
        return;
    if (guarded([&] { session_.changed(control); }))
        refresh();
}

void DialogPageWindow::pressed(ControlObject& button) {
    if (button.definition().modalResult == engine::ModalResult::Ok && !datesValid())
        return;
    engine::ModalResult result = engine::ModalResult::None;
    if (!guarded([&] { result = session_.click(button); }))
        return;
    refresh();
    if (result == engine::ModalResult::Cancel)
        reject();
    else if (result == engine::ModalResult::Ok)
        accept();
}

bool DialogPageWindow::datesValid() {
    for (const Binding& b : bindings_) {
        auto* edit = qobject_cast<QLineEdit*>(b.widget);
        if (b.control->kind() != ControlKind::DateEdit || !edit || strictDate(edit->text()).isValid())
            continue;
        session_.runner().message(QStringLiteral("«%1» — неверная дата").arg(edit->text()));
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    return true;
}

// --- DialogWindowRunner ---------------------------------------------------------------------

DialogWindowRunner::DialogWindowRunner(QWidget* parent, MessageSink messages)
    : parent_(parent), messages_(std::move(messages)) {}

bool DialogWindowRunner::showPage(engine::DialogSession& session, int index) {
    DialogPageWindow window(session, index, parent_);
    const bool ok = window.exec() == QDialog::Accepted;
    if (!window.error().isEmpty())
        throw Error(window.error());
    return ok;
}

void DialogWindowRunner::message(const QString& text) {
    if (messages_) {
        messages_(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Сообщение"), text, QMessageBox::Ok, parent_);
    box.exec();
}

} // namespace svod::reports
