#include "engine/DialogSession.h"

#include <QHash>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/FunctionLibrary.h"

namespace svod::engine {

namespace {

const QString InStrMessage =
    QStringLiteral("Метод GET_IN_STR можно применять при заполнении через LOADFROMDS или ADDWITHID");

bool isListKind(ControlKind kind) {
    return kind == ControlKind::ComboBox || kind == ControlKind::RadioGroup ||
           kind == ControlKind::CheckListBox;
}

QString sqlLiteral(const QString& text) {
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

// Strict: 31.02.2006 is no date.
QDate parseDate(const QString& text) {
    const QString t = text.trimmed();
    for (const QString& format :
         {QStringLiteral("dd.MM.yyyy"), QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-MM-dd HH:mm:ss"),
          QStringLiteral("yyyy-MM-ddTHH:mm:ss")}) {
        const QDate date = QDate::fromString(t, format);
        if (date.isValid())
            return date;
    }
    return {};
}

// Stops a script that runs longer than allowed: the engine is interrupted from a second thread.
class ScriptWatchdog {
public:
    ScriptWatchdog(QJSEngine& engine, int milliseconds)
        : thread_([this, &engine, milliseconds] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [this] { return finished_; })) {
                  fired_ = true;
                  engine.setInterrupted(true);
              }
          }) {}
    ~ScriptWatchdog() { stop(); }
    // True when the script was stopped.
    bool stop() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        if (thread_.joinable())
            thread_.join();
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    bool fired_ = false;
    std::thread thread_;
};

} // namespace

// --- AnswerRunner ---------------------------------------------------------------------------

bool AnswerRunner::showPage(DialogSession& session, int index) {
    for (ControlObject* control : session.controls(index))
        for (auto it = answers_.cbegin(); it != answers_.cend(); ++it)
            if (it.key().compare(control->name(), Qt::CaseInsensitive) == 0) {
                control->answer(it.value());
                session.changed(*control);
            }
    for (ControlObject* control : session.controls(index))
        if (control->kind() == ControlKind::Button && control->definition().modalResult == ModalResult::Ok)
            return session.click(*control) != ModalResult::Cancel;
    return true;
}

// --- ControlItems ---------------------------------------------------------------------------

ControlItems::ControlItems(ControlObject& owner) : owner_(owner) {}

int ControlItems::count() const {
    return owner_.count();
}

void ControlItems::ADD(const QString& caption) {
    owner_.addItem(caption, QString(), false);
}

void ControlItems::CLEAR() {
    owner_.CLEAR();
}

QString ControlItems::STRINGS(int index) const {
    return owner_.captions().value(index);
}

// --- ControlObject --------------------------------------------------------------------------

ControlObject::ControlObject(DialogSession& session, const DialogControl& definition, int page)
    : session_(session), definition_(definition), page_(page), items_(*this), caption_(definition.caption) {
    setObjectName(definition.name);
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    QJSEngine::setObjectOwnership(&items_, QJSEngine::CppOwnership);
    for (qsizetype i = 0; i < definition.items.size(); ++i)
        addItem(definition.items[i], definition.keys.value(i), !definition.keys.isEmpty());
    if (definition.kind == ControlKind::DateEdit)
        date_ = QDate::currentDate();
    if (definition.kind == ControlKind::ComboBox || definition.kind == ControlKind::RadioGroup)
        itemIndex_ = captions_.isEmpty() ? -1 : 0;
}

QString ControlObject::text() const {
    switch (definition_.kind) {
    case ControlKind::ComboBox:
    case ControlKind::RadioGroup:
        return itemIndex_ >= 0 ? captions_.value(itemIndex_) : text_;
    case ControlKind::DateEdit:
        return date_.toString(QStringLiteral("dd.MM.yyyy"));
    case ControlKind::Label:
    case ControlKind::Button:
    case ControlKind::CheckBox:
        return caption_;
    default:
        return text_;
    }
}

void ControlObject::setText(const QString& text) {
    if (definition_.kind == ControlKind::ComboBox) {
        itemIndex_ = int(captions_.indexOf(text));
        text_ = text;
    } else if (definition_.kind == ControlKind::DateEdit) {
        const QDate date = parseDate(text);
        if (!date.isValid())
            throw AnswerError(QStringLiteral("Неверная дата «%1» для %2").arg(text, name()));
        date_ = date;
    } else {
        text_ = text;
    }
}

void ControlObject::setDate(const QDate& date) {
    date_ = date;
}

void ControlObject::setChecked(bool on) {
    checked_ = on;
}

void ControlObject::setItemIndex(int index) {
    itemIndex_ = (index >= 0 && index < captions_.size()) ? index : -1;
}

QVariant ControlObject::value() const {
    switch (definition_.kind) {
    case ControlKind::DateEdit:
        return date_;
    case ControlKind::CheckBox:
        return checked_;
    case ControlKind::RadioGroup:
        return itemIndex_;
    case ControlKind::ComboBox:
        if (keyed_ && itemIndex_ >= 0)
            return keys_.value(itemIndex_);
        return text();
    case ControlKind::CheckListBox:
        return checkedKeys();
    default:
        return text();
    }
}

void ControlObject::addItem(const QString& caption, const QString& key, bool keyed) {
    if (captions_.isEmpty())
        keyed_ = keyed;
    else
        keyed_ = keyed_ && keyed;
    captions_ << caption;
    keys_ << key;
    states_ << false;
    if (itemIndex_ < 0 &&
        (definition_.kind == ControlKind::ComboBox || definition_.kind == ControlKind::RadioGroup))
        itemIndex_ = 0;
}

QStringList ControlObject::checkedKeys() const {
    QStringList list;
    for (qsizetype i = 0; i < captions_.size(); ++i)
        if (states_[i])
            list << (keyed_ ? keys_[i] : captions_[i]);
    return list;
}

QString ControlObject::inString() {
    if (!keyed_) {
        session_.runner().message(InStrMessage);
        return QStringLiteral("''");
    }
    QStringList quoted;
    for (const QString& key : checkedKeys())
        quoted << sqlLiteral(key);
    return quoted.isEmpty() ? QStringLiteral("''") : quoted.join(u',');
}

template <typename F> void ControlObject::guarded(F f) const {
    try {
        f();
    } catch (const Error& e) {
        session_.throwScriptError(e.message());
    }
}

void ControlObject::CLEAR() {
    captions_.clear();
    keys_.clear();
    states_.clear();
    keyed_ = false;
    if (definition_.kind != ControlKind::CheckListBox)
        itemIndex_ = -1;
}

void ControlObject::ADDWITHID(const QString& caption, const QString& key) {
    addItem(caption, key, true);
}

void ControlObject::LOADFROMDS(const QString& dataset, const QString& keyField, const QString& captionField) {
    guarded([&] { loadFromDataset(dataset, keyField, captionField); });
}

void ControlObject::loadFromDataset(const QString& dataset, const QString& keyField,
                                    const QString& captionField) {
    const RowSet rows = session_.fetch(dataset);
    const int key = rows.fieldIndex(keyField);
    const int caption = rows.fieldIndex(captionField);
    if (key < 0 || caption < 0)
        throw Error(
            QStringLiteral("В наборе данных %1 нет поля %2").arg(dataset, key < 0 ? keyField : captionField));
    CLEAR();
    for (qsizetype r = 0; r < rows.count(); ++r)
        addItem(rows.value(r, caption).toString().trimmed(), rows.value(r, key).toString().trimmed(), true);
}

void ControlObject::SELECTALL() {
    for (auto& s : states_)
        s = true;
}

void ControlObject::DESELECTALL() {
    for (auto& s : states_)
        s = false;
}

QString ControlObject::stateKey() const {
    return session_.reportName() + u'\n' + name().toUpper();
}

void ControlObject::SAVESTATES() {
    QHash<QString, bool> states;
    for (qsizetype i = 0; i < captions_.size(); ++i)
        states.insert(keyed_ ? keys_[i] : captions_[i], states_[i]);
    DialogSession::rememberedStates().insert(stateKey(), states);
}

void ControlObject::RESTORESTATES() {
    const auto it = DialogSession::rememberedStates().constFind(stateKey());
    if (it == DialogSession::rememberedStates().cend())
        return;
    for (qsizetype i = 0; i < captions_.size(); ++i) {
        const QString item = keyed_ ? keys_[i] : captions_[i];
        if (it->contains(item))
            states_[i] = it->value(item);
    }
}

void ControlObject::APPLYSTATE(const QString& state) {
    guarded([&] { applyState(state); });
}

void ControlObject::applyState(const QString& state) {
    const QString text = state.trimmed();
    if (text == u"*") {
        SELECTALL();
        return;
    }
    QList<bool> next(captions_.size(), false);
    if (!text.isEmpty())
        for (const QString& part : text.split(u',')) {
            const QString item = part.trimmed();
            const qsizetype at = keyed_ ? keys_.indexOf(item) : captions_.indexOf(item);
            if (at < 0)
                throw AnswerError(QStringLiteral("В списке %1 нет элемента «%2»").arg(name(), item));
            next[at] = true;
        }
    states_ = next;
}

void ControlObject::checkIndex(int index) const {
    if (index < 0 || index >= captions_.size())
        throw Error(QStringLiteral("Индекс списка %1 вне границ: %2").arg(name()).arg(index));
}

void ControlObject::CHECKED(int index, bool on) {
    guarded([&] { setItemChecked(index, on); });
}

void ControlObject::setItemChecked(int index, bool on) {
    checkIndex(index);
    states_[index] = on;
}

QVariant ControlObject::GETINDEXPROPERTY(int index, const QString& property) const {
    QVariant value;
    guarded([&] { value = indexProperty(index, property); });
    return value;
}

void ControlObject::SETINDEXPROPERTY(int index, const QString& property, const QVariant& value) {
    guarded([&] { setIndexProperty(index, property, value); });
}

QVariant ControlObject::indexProperty(int index, const QString& property) const {
    checkIndex(index);
    const QString p = property.toUpper();
    if (p == u"CAPTION")
        return captions_[index];
    if (p == u"KEY")
        return keys_[index];
    if (p == u"CHECKED")
        return bool(states_[index]);
    throw Error(QStringLiteral("Неизвестное свойство элемента списка %1: %2").arg(name(), property));
}

void ControlObject::setIndexProperty(int index, const QString& property, const QVariant& value) {
    checkIndex(index);
    const QString p = property.toUpper();
    if (p == u"CAPTION")
        captions_[index] = value.toString();
    else if (p == u"KEY")
        keys_[index] = value.toString();
    else if (p == u"CHECKED")
        states_[index] = value.toBool();
    else
        throw Error(QStringLiteral("Неизвестное свойство элемента списка %1: %2").arg(name(), property));
}

void ControlObject::answer(const QString& text) {
    switch (definition_.kind) {
    case ControlKind::DateEdit:
        setText(text);
        break;
    case ControlKind::CheckBox: {
        const QString t = text.trimmed().toLower();
        if (t == u"1" || t == u"true" || t == QStringLiteral("да"))
            checked_ = true;
        else if (t == u"0" || t == u"false" || t == QStringLiteral("нет") || t.isEmpty())
            checked_ = false;
        else
            throw AnswerError(
                QStringLiteral("Неверное значение «%1» для %2 (ожидается 1 или 0)").arg(text, name()));
        break;
    }
    case ControlKind::ComboBox:
    case ControlKind::RadioGroup: {
        qsizetype at = keyed_ ? keys_.indexOf(text) : -1;
        if (at < 0)
            at = captions_.indexOf(text);
        bool isNumber = false;
        const int number = text.toInt(&isNumber);
        if (at < 0 && definition_.kind == ControlKind::RadioGroup && isNumber && number >= 0 &&
            number < count())
            at = number;
        if (at >= 0)
            itemIndex_ = int(at);
        else if (definition_.kind == ControlKind::ComboBox && captions_.isEmpty())
            text_ = text;
        else
            throw AnswerError(QStringLiteral("В списке %1 нет элемента «%2»").arg(name(), text));
        break;
    }
    case ControlKind::CheckListBox:
        applyState(text);
        break;
    case ControlKind::Label:
    case ControlKind::Button:
        throw AnswerError(QStringLiteral("Элемент %1 не принимает значения").arg(name()));
    default:
        text_ = text;
    }
}

void ControlObject::applyDefault(const QJSValue& v) {
    if (v.isUndefined() || v.isNull())
        return;
    if (v.isDate()) {
        date_ = v.toDateTime().date();
        if (definition_.kind != ControlKind::DateEdit)
            answer(date_.toString(QStringLiteral("dd.MM.yyyy")));
        return;
    }
    if (v.isBool() && definition_.kind == ControlKind::CheckListBox) {
        v.toBool() ? SELECTALL() : DESELECTALL();
        return;
    }
    if (v.isBool()) {
        checked_ = v.toBool();
        return;
    }
    if (v.isArray()) {
        QStringList parts;
        const int n = v.property(QStringLiteral("length")).toInt();
        for (int i = 0; i < n; ++i)
            parts << v.property(quint32(i)).toString();
        answer(parts.join(u','));
        return;
    }
    if (v.isNumber() && definition_.kind == ControlKind::RadioGroup) {
        setItemIndex(v.toInt());
        return;
    }
    answer(v.toString());
}

QString ControlObject::answerText() const {
    switch (definition_.kind) {
    case ControlKind::DateEdit:
        return date_.toString(QStringLiteral("dd.MM.yyyy"));
    case ControlKind::CheckBox:
        return checked_ ? QStringLiteral("1") : QStringLiteral("0");
    case ControlKind::CheckListBox: {
        const QStringList list = checkedKeys();
        return !list.isEmpty() && list.size() == captions_.size() ? QStringLiteral("*") : list.join(u',');
    }
    case ControlKind::ComboBox:
        return keyed_ && itemIndex_ >= 0 ? keys_.value(itemIndex_) : text();
    default:
        return text();
    }
}

// --- DialogHelpers --------------------------------------------------------------------------

void DialogHelpers::showMessage(const QString& text) {
    session_.runner().message(text);
}

QVariant DialogHelpers::datasetValue(const QString& dataset, const QString& field) {
    try {
        const RowSet rows = session_.fetch(dataset);
        const int f = rows.fieldIndex(field);
        if (f < 0)
            throw Error(QStringLiteral("В наборе данных %1 нет поля %2").arg(dataset, field));
        return rows.count() == 0 ? QVariant() : rows.value(0, f);
    } catch (const Error& e) {
        session_.throwScriptError(e.message());
        return {};
    }
}

// --- DialogSession --------------------------------------------------------------------------

QHash<QString, QHash<QString, bool>>& DialogSession::rememberedStates() {
    static QHash<QString, QHash<QString, bool>> states;
    return states;
}

DialogSession::DialogSession(const ReportTemplate& report, const QString& reportName, DialogRunner& runner,
                             DatasetFetch fetch, const QVariantMap& variables)
    : report_(report), reportName_(reportName), runner_(runner), fetch_(std::move(fetch)),
      variables_(variables) {
    installFunctionLibrary(scriptEngine_);
    QJSValue global = scriptEngine_.globalObject();
    for (auto it = variables_.cbegin(); it != variables_.cend(); ++it)
        global.setProperty(it.key(), scriptEngine_.toScriptValue(it.value()));
    for (int p = 0; p < report_.dialogs.size(); ++p)
        for (const auto& c : report_.dialogs[p].controls) {
            if (c.name.isEmpty())
                continue;
            controls_.push_back(std::make_unique<ControlObject>(*this, c, p));
            global.setProperty(c.name, scriptEngine_.newQObject(controls_.back().get()));
        }
    // Helpers for scripts: a message box, and the first row's field of a dataset.
    QJSEngine::setObjectOwnership(&helpers_, QJSEngine::CppOwnership);
    global.setProperty(QStringLiteral("__session"), scriptEngine_.newQObject(&helpers_));
    scriptEngine_.evaluate(
        QStringLiteral("function ShowMessage(t) { __session.showMessage(String(t)); }\n"
                       "function DSVALUE(d, f) { return __session.datasetValue(String(d), String(f)); }"));
}

DialogSession::~DialogSession() = default;

QList<ControlObject*> DialogSession::controls(int page) const {
    QList<ControlObject*> list;
    for (const auto& c : controls_)
        if (c->page() == page)
            list << c.get();
    return list;
}

QList<ControlObject*> DialogSession::controls() const {
    QList<ControlObject*> list;
    for (const auto& c : controls_)
        list << c.get();
    return list;
}

ControlObject* DialogSession::control(const QString& name) const {
    for (const auto& c : controls_)
        if (c->name().compare(name, Qt::CaseInsensitive) == 0)
            return c.get();
    return nullptr;
}

bool DialogSession::lookupParameter(const QString& name, QVariant& value) const {
    if (const ControlObject* c = control(name)) {
        value = c->value();
        return true;
    }
    for (auto it = variables_.cbegin(); it != variables_.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
            value = parameterValue(it.value());
            return true;
        }
    return false;
}

RowSet DialogSession::fetch(const QString& dataset) {
    if (!fetch_)
        throw Error(QStringLiteral("Нет соединения с базой данных для набора данных ") + dataset);
    return fetch_(dataset,
                  [this](const QString& name, QVariant& value) { return lookupParameter(name, value); });
}

void DialogSession::failIn(int page, const QString& control, const QString& what,
                           const QString& error) const {
    QString where =
        QStringLiteral("Отчет «%1», диалог «%2»").arg(reportName_, report_.dialogs.value(page).name);
    if (!control.isEmpty())
        where += QStringLiteral(", элемент «%1»").arg(control);
    throw Error(where + QStringLiteral(": ") + what + QStringLiteral(": ") + error);
}

QJSValue DialogSession::evaluate(const QString& expression, int page, const QString& control,
                                 const QString& what) {
    scriptEngine_.setInterrupted(false);
    ScriptWatchdog watchdog(scriptEngine_, timeoutMs_);
    QJSValue result;
    try {
        result = scriptEngine_.evaluate(expression);
    } catch (const Error& e) {
        watchdog.stop();
        failIn(page, control, what, e.message());
    }
    if (watchdog.stop()) {
        scriptEngine_.setInterrupted(false);
        failIn(page, control, what, QStringLiteral("сценарий выполняется слишком долго и прерван"));
    }
    if (result.isError())
        failIn(page, control, what,
               QStringLiteral("%1 (строка %2)")
                   .arg(result.toString())
                   .arg(result.property(QStringLiteral("lineNumber")).toInt()));
    return result;
}

void DialogSession::runScript(const QString& script, int page, const QString& control, const QString& what) {
    if (!script.trimmed().isEmpty())
        evaluate(script, page, control, what);
}

void DialogSession::initialise() {
    if (initialised_)
        return;
    initialised_ = true;
    for (const auto& c : controls_) {
        const DialogControl& d = c->definition();
        if (!d.dataset.isEmpty() && isListKind(d.kind)) {
            try {
                c->loadFromDataset(d.dataset, d.keyField.isEmpty() ? d.captionField : d.keyField,
                                   d.captionField);
            } catch (const Error& e) {
                failIn(c->page(), c->name(), QStringLiteral("ошибка в наборе данных %1").arg(d.dataset),
                       e.message());
            }
        }
        if (!d.defaultValue.trimmed().isEmpty()) {
            const QJSValue v =
                evaluate(d.defaultValue, c->page(), c->name(), QStringLiteral("значение по умолчанию"));
            try {
                c->applyDefault(v);
            } catch (const Error& e) {
                failIn(c->page(), c->name(), QStringLiteral("значение по умолчанию"), e.message());
            }
        }
        if (d.kind == ControlKind::CheckListBox)
            c->RESTORESTATES();
    }
}

bool DialogSession::run() {
    initialise();
    for (int p = 0; p < pageCount(); ++p) {
        runScript(page(p).onShow, p, {}, QStringLiteral("сценарий при показе"));
        if (!runner_.showPage(*this, p))
            return false;
        for (ControlObject* c : controls(p))
            if (c->kind() == ControlKind::CheckListBox)
                c->SAVESTATES();
    }
    return true;
}

ModalResult DialogSession::click(ControlObject& button) {
    runScript(button.definition().onClick, button.page(), button.name(), QStringLiteral("сценарий нажатия"));
    return button.definition().modalResult;
}

void DialogSession::changed(ControlObject& control) {
    runScript(control.definition().onChange, control.page(), control.name(),
              QStringLiteral("сценарий изменения"));
}

QVariantMap DialogSession::values() const {
    QVariantMap map;
    for (const auto& c : controls_)
        map.insert(c->name(), QVariant::fromValue<QObject*>(c.get()));
    return map;
}

} // namespace svod::engine
