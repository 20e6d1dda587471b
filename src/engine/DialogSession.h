#pragma once

#include <QDate>
#include <QJSEngine>
#include <QObject>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "db/Error.h"
#include "engine/Datasets.h"
#include "engine/Model.h"

namespace svod::engine {

class DialogSession;

// A value given for a control that the control cannot take (a date 31.02.2006, a key not in the
// list, a name the report does not have).
class AnswerError : public Error {
public:
    using Error::Error;
};

// What shows the dialog pages of a run: the desktop program with windows, svod-cli and tests with
// answers given beforehand.
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Shows page `index` until a button closes it; false when the user cancelled.
    virtual bool showPage(DialogSession& session, int index) = 0;
    // A message of a script or a control method (a box with OK).
    virtual void message(const QString& text) = 0;
};

// Answers every page at once: the given texts by control name, each other control keeping its
// default; then the page's OK button is pressed. Never waits.
class AnswerRunner : public DialogRunner {
public:
    explicit AnswerRunner(QMap<QString, QString> answers = {}) : answers_(std::move(answers)) {}
    bool showPage(DialogSession& session, int index) override;
    void message(const QString& text) override { messages_ << text; }
    const QStringList& messages() const { return messages_; }

private:
    QMap<QString, QString> answers_;
    QStringList messages_;
};

class ControlObject;

// Functions every dialog script may call.
class DialogHelpers : public QObject {
    Q_OBJECT
public:
    explicit DialogHelpers(DialogSession& session) : session_(session) {}
    Q_INVOKABLE void showMessage(const QString& text);
    // The first row's field of a template dataset (null when it has no rows).
    Q_INVOKABLE QVariant datasetValue(const QString& dataset, const QString& field);

private:
    DialogSession& session_;
};

// The item list of a list control, as scripts see it ("ITEMS.ADD").
class ControlItems : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Count READ count)
public:
    explicit ControlItems(ControlObject& owner);
    int count() const;
    Q_INVOKABLE void ADD(const QString& caption);
    Q_INVOKABLE void CLEAR();
    Q_INVOKABLE QString STRINGS(int index) const;

private:
    ControlObject& owner_;
};

// A control while its dialog runs: what scripts, expressions and dataset parameters read by the
// control's name. The check-list methods work on every list control.
class ControlObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name READ name CONSTANT)
    Q_PROPERTY(QString Kind READ kindName CONSTANT)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QString Text READ text WRITE setText)
    Q_PROPERTY(QDateTime Date READ dateTime WRITE setDateTime)
    Q_PROPERTY(bool Checked READ checked WRITE setChecked)
    Q_PROPERTY(int ItemIndex READ itemIndex WRITE setItemIndex)
    Q_PROPERTY(bool Enabled READ enabled WRITE setEnabled)
    Q_PROPERTY(QVariant Value READ value)
    Q_PROPERTY(QObject* ITEMS READ items CONSTANT)
    Q_PROPERTY(int Count READ count)
    Q_PROPERTY(QString GET_IN_STR READ inString)
public:
    ControlObject(DialogSession& session, const DialogControl& definition, int page);

    const DialogControl& definition() const { return definition_; }
    ControlKind kind() const { return definition_.kind; }
    int page() const { return page_; }
    QString name() const { return definition_.name; }
    QString kindName() const { return controlKindName(definition_.kind); }
    QString caption() const { return caption_; }
    void setCaption(const QString& text) { caption_ = text; }
    QString text() const;
    void setText(const QString& text);
    QDate date() const { return date_; }
    void setDate(const QDate& date);
    QDateTime dateTime() const { return QDateTime(date_, QTime(0, 0)); }
    void setDateTime(const QDateTime& value) { setDate(value.date()); }
    bool checked() const { return checked_; }
    void setChecked(bool on);
    int itemIndex() const { return itemIndex_; }
    void setItemIndex(int index);
    bool enabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }
    // What a dataset parameter of the control's name binds: the date, the text, the ticked keys ...
    QVariant value() const;
    QObject* items() { return &items_; }

    // --- the list -----------------------------------------------------------------------
    int count() const { return int(captions_.size()); }
    const QStringList& captions() const { return captions_; }
    const QStringList& keys() const { return keys_; }
    bool hasKeys() const { return keyed_; }
    bool isChecked(int index) const { return index >= 0 && index < states_.size() && states_[index]; }
    void addItem(const QString& caption, const QString& key, bool keyed);
    QStringList checkedKeys() const;
    // The ticked keys as SQL literals joined by ","; "''" when none; on a list without keys the
    // message of the method is shown and "''" returned.
    QString inString();

    // Called from C++: these throw svod::Error.
    void loadFromDataset(const QString& dataset, const QString& keyField, const QString& captionField);
    // Ticks exactly the items named by a text: "*" every item, else keys (captions on a list
    // without keys) separated by ","; throws AnswerError for one that is not in the list.
    void applyState(const QString& state);
    void setItemChecked(int index, bool on);
    QVariant indexProperty(int index, const QString& property) const;
    void setIndexProperty(int index, const QString& property, const QVariant& value);

    // Called from scripts: an error becomes the script's exception.
    Q_INVOKABLE void CLEAR();
    Q_INVOKABLE void ADDWITHID(const QString& caption, const QString& key);
    Q_INVOKABLE void LOADFROMDS(const QString& dataset, const QString& keyField, const QString& captionField);
    Q_INVOKABLE void SELECTALL();
    Q_INVOKABLE void DESELECTALL();
    Q_INVOKABLE void SAVESTATES();
    Q_INVOKABLE void RESTORESTATES();
    Q_INVOKABLE void APPLYSTATE(const QString& state);
    Q_INVOKABLE bool CHECKED(int index) const { return isChecked(index); }
    Q_INVOKABLE void CHECKED(int index, bool on);
    Q_INVOKABLE int STATE(int index) const { return isChecked(index) ? 1 : 0; }
    Q_INVOKABLE void STATE(int index, int state) { CHECKED(index, state != 0); }
    // Properties of one item: "Caption", "Key", "Checked".
    Q_INVOKABLE QVariant GETINDEXPROPERTY(int index, const QString& property) const;
    Q_INVOKABLE void SETINDEXPROPERTY(int index, const QString& property, const QVariant& value);

    // Takes a value given as text (a --set answer or a default): parsed as the kind needs.
    void answer(const QString& text);
    // Takes the value of a default expression.
    void applyDefault(const QJSValue& value);
    // The value as an answer would give it (for `report params`).
    QString answerText() const;

private:
    template <typename F> void guarded(F f) const;
    void checkIndex(int index) const;
    QString stateKey() const;

    DialogSession& session_;
    DialogControl definition_;
    int page_;
    ControlItems items_;
    QString caption_;
    QString text_;
    QDate date_;
    bool checked_ = false;
    bool enabled_ = true;
    int itemIndex_ = -1;
    QStringList captions_;
    QStringList keys_;
    QList<bool> states_;
    bool keyed_ = false;
};

// One run of a report's dialog pages: their controls, the script engine their events run in, and
// the values the preparation reads afterwards.
class DialogSession {
public:
    // Runs a dataset of the template (lookups); its parameters come from the controls and the
    // engine-wide variables.
    using DatasetFetch = std::function<RowSet(const QString& dataset, const ParameterLookup& lookup)>;

    DialogSession(const ReportTemplate& report, const QString& reportName, DialogRunner& runner,
                  DatasetFetch fetch, const QVariantMap& variables);
    ~DialogSession();

    const ReportTemplate& reportTemplate() const { return report_; }
    const QString& reportName() const { return reportName_; }
    DialogRunner& runner() { return runner_; }
    int pageCount() const { return int(report_.dialogs.size()); }
    const DialogPage& page(int index) const { return report_.dialogs[index]; }
    QList<ControlObject*> controls(int page) const;
    QList<ControlObject*> controls() const;
    // By name, any letter case; null when there is none.
    ControlObject* control(const QString& name) const;

    // Fills the lookups and sets the defaults; throws Error naming the report, page and control.
    void initialise();
    // Shows the pages in order; false when one was cancelled.
    bool run();

    // Events, run by the runner. click returns the button's modal result.
    ModalResult click(ControlObject& button);
    void changed(ControlObject& control);
    // The values the preparation reads: each control by its name.
    QVariantMap values() const;

    RowSet fetch(const QString& dataset);
    // Longest time a script may run before it is stopped as looping.
    void setScriptTimeout(int milliseconds) { timeoutMs_ = milliseconds; }

    // Raises an exception in the running script.
    void throwScriptError(const QString& message) { scriptEngine_.throwError(message); }

    // States a user ticked, kept for later runs of the same report while the program runs.
    static QHash<QString, QHash<QString, bool>>& rememberedStates();

private:
    void runScript(const QString& script, int page, const QString& control, const QString& what);
    QJSValue evaluate(const QString& expression, int page, const QString& control, const QString& what);
    [[noreturn]] void failIn(int page, const QString& control, const QString& what,
                             const QString& error) const;
    bool lookupParameter(const QString& name, QVariant& value) const;

    const ReportTemplate& report_;
    QString reportName_;
    DialogRunner& runner_;
    DatasetFetch fetch_;
    QVariantMap variables_;
    QJSEngine scriptEngine_;
    std::vector<std::unique_ptr<ControlObject>> controls_;
    DialogHelpers helpers_{*this};
    int timeoutMs_ = 10000;
    bool initialised_ = false;
};

} // namespace svod::engine
