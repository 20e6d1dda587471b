#include "reports/designer/DictionaryPanel.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QSyntaxHighlighter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <utility>

#include "db/Error.h"
#include "engine/editing/Operations.h"
#include "engine/editing/TemplateCheck.h"
#include "reports/designer/DesignerDocument.h"
#include "reports/designer/LazyPanel.h"

namespace svod::reports::designer {

using namespace engine::editing;

namespace {

// Key words, strings, numbers and ":PARAMETERS" of a query.
class SqlHighlighter final : public QSyntaxHighlighter {
public:
    explicit SqlHighlighter(QTextDocument* doc) : QSyntaxHighlighter(doc) {
        QTextCharFormat keyword;
        keyword.setForeground(QColor(0, 0, 160));
        keyword.setFontWeight(QFont::Bold);
        QTextCharFormat string;
        string.setForeground(QColor(160, 0, 0));
        QTextCharFormat parameter;
        parameter.setForeground(QColor(0, 120, 0));
        QTextCharFormat number;
        number.setForeground(QColor(120, 0, 120));
        rules_ = {
            {QRegularExpression(
                 QStringLiteral(
                     "\\b(SELECT|FROM|WHERE|AND|OR|NOT|IN|IS|NULL|JOIN|LEFT|RIGHT|INNER|OUTER|ON|GROUP|BY|"
                     "ORDER|HAVING|UNION|ALL|AS|CASE|WHEN|THEN|ELSE|END|SUM|COUNT|MIN|MAX|AVG|DISTINCT|"
                     "BETWEEN|LIKE|EXISTS|DESC|ASC|CAST|CONVERT)\\b"),
                 QRegularExpression::CaseInsensitiveOption),
             keyword},
            {QRegularExpression(QStringLiteral("\\b\\d+(\\.\\d+)?\\b")), number},
            {QRegularExpression(QStringLiteral(":[\\w]+"), QRegularExpression::UseUnicodePropertiesOption),
             parameter},
            {QRegularExpression(QStringLiteral("'[^']*'")), string},
        };
    }

protected:
    void highlightBlock(const QString& text) override {
        for (const auto& [re, format] : rules_)
            for (auto it = re.globalMatch(text); it.hasNext();) {
                const auto m = it.next();
                setFormat(int(m.capturedStart()), int(m.capturedLength()), format);
            }
    }

private:
    QList<std::pair<QRegularExpression, QTextCharFormat>> rules_;
};

// Fields dragged onto a band become text objects bound to them.
class FieldList final : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override {
        auto* data = new QMimeData;
        if (!items.isEmpty()) {
            data->setData(QStringLiteral("application/x-svod-field"), items.first()->text().toUtf8());
            data->setText(QStringLiteral("[%1]").arg(items.first()->text()));
        }
        return data;
    }
};

QPushButton* button(const QString& text, const QString& name) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    return b;
}

} // namespace

DictionaryPanel::DictionaryPanel(DesignerDocument& document, DatasetRunner runner, QWidget* parent)
    : QWidget(parent), document_(document), runner_(std::move(runner)) {
    setObjectName(QStringLiteral("DictionaryPanel"));
    setAccessibleName(QStringLiteral("Словарь данных"));
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("DictionaryTabs"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->addWidget(tabs);
    tabs->addTab(buildDatasetPage(), QStringLiteral("Наборы данных"));
    // The pages behind the first are built when first shown.
    tabs->addTab(new LazyPanel([this] {
                     QWidget* page = buildVariablePage();
                     showVariables();
                     return page;
                 }),
                 QStringLiteral("Переменные"));
    tabs->addTab(new LazyPanel([this] {
                     QWidget* page = buildScriptPage();
                     showScript();
                     return page;
                 }),
                 QStringLiteral("Сценарий"));
    connect(&document_, &DesignerDocument::changed, this, &DictionaryPanel::refresh);
    refresh();
}

QWidget* DictionaryPanel::buildDatasetPage() {
    auto* dsPage = new QWidget;
    auto* ds = new QVBoxLayout(dsPage);
    datasets_ = new QListWidget;
    datasets_->setObjectName(QStringLiteral("DatasetList"));
    datasets_->setAccessibleName(QStringLiteral("Наборы данных"));
    datasets_->setMaximumHeight(90);
    auto* dsButtons = new QHBoxLayout;
    auto* add = button(QStringLiteral("Добавить"), QStringLiteral("AddDataset"));
    auto* remove = button(QStringLiteral("Удалить"), QStringLiteral("RemoveDataset"));
    dsButtons->addWidget(add);
    dsButtons->addWidget(remove);
    auto* form = new QFormLayout;
    name_ = new QLineEdit;
    name_->setObjectName(QStringLiteral("DatasetName"));
    name_->setAccessibleName(QStringLiteral("Имя набора"));
    master_ = new QComboBox;
    master_->setObjectName(QStringLiteral("DatasetMaster"));
    master_->setAccessibleName(QStringLiteral("Главный набор"));
    form->addRow(QStringLiteral("Имя:"), name_);
    form->addRow(QStringLiteral("Главный набор:"), master_);
    sql_ = new QPlainTextEdit;
    sql_->setObjectName(QStringLiteral("DatasetSql"));
    sql_->setAccessibleName(QStringLiteral("Текст запроса"));
    sql_->setFont(QFont(QStringLiteral("Liberation Mono"), 9));
    new SqlHighlighter(sql_->document());
    auto* sqlButtons = new QHBoxLayout;
    auto* apply = button(QStringLiteral("Применить"), QStringLiteral("ApplyDataset"));
    auto* check = button(QStringLiteral("Проверить"), QStringLiteral("CheckDataset"));
    sqlButtons->addWidget(apply);
    sqlButtons->addWidget(check);
    message_ = new QLabel;
    message_->setObjectName(QStringLiteral("DatasetMessage"));
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fieldList_ = new FieldList;
    fieldList_->setObjectName(QStringLiteral("FieldList"));
    fieldList_->setAccessibleName(QStringLiteral("Поля набора"));
    fieldList_->setDragEnabled(true);
    fieldList_->setToolTip(QStringLiteral("Перетащите поле на полосу, чтобы создать текст с ним"));
    ds->addWidget(datasets_);
    ds->addLayout(dsButtons);
    ds->addLayout(form);
    ds->addWidget(sql_, 2);
    ds->addLayout(sqlButtons);
    ds->addWidget(message_);
    ds->addWidget(fieldList_, 1);

    connect(datasets_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!refreshing_)
            showDataset(row);
    });
    connect(add, &QPushButton::clicked, this, [this] {
        QSet<QString> taken;
        for (const auto& d : document_.reportTemplate().datasets)
            taken.insert(d.name);
        document_.push(addDataset(document_.reportTemplate(),
                                  {freeName(QStringLiteral("DATA"), taken), QStringLiteral("SELECT "), {}}));
        selectDataset(int(document_.reportTemplate().datasets.size()) - 1);
    });
    connect(remove, &QPushButton::clicked, this,
            [this] { document_.push(removeDataset(document_.reportTemplate(), datasets_->currentRow())); });
    connect(apply, &QPushButton::clicked, this, &DictionaryPanel::applyDataset);
    connect(check, &QPushButton::clicked, this, [this] {
        applyDataset();
        checkSelectedDataset();
    });
    return dsPage;
}

QWidget* DictionaryPanel::buildVariablePage() {
    auto* varPage = new QWidget;
    auto* vl = new QVBoxLayout(varPage);
    variables_ = new QTableWidget(0, 2);
    variables_->setObjectName(QStringLiteral("VariableTable"));
    variables_->setAccessibleName(QStringLiteral("Переменные"));
    variables_->setHorizontalHeaderLabels({QStringLiteral("Имя"), QStringLiteral("Выражение")});
    variables_->horizontalHeader()->setStretchLastSection(true);
    variables_->verticalHeader()->hide();
    auto* varButtons = new QHBoxLayout;
    auto* addVar = button(QStringLiteral("Добавить"), QStringLiteral("AddVariable"));
    auto* removeVar = button(QStringLiteral("Удалить"), QStringLiteral("RemoveVariable"));
    varButtons->addWidget(addVar);
    varButtons->addWidget(removeVar);
    vl->addWidget(variables_);
    vl->addLayout(varButtons);

    connect(addVar, &QPushButton::clicked, this, [this] {
        QSet<QString> taken(document_.reportTemplate().variables.keyBegin(),
                            document_.reportTemplate().variables.keyEnd());
        document_.push(
            setVariable(document_.reportTemplate(), freeName(QStringLiteral("VAR"), taken), QString()));
    });
    connect(removeVar, &QPushButton::clicked, this, [this] {
        if (auto* item = variables_->item(variables_->currentRow(), 0))
            document_.push(removeVariable(document_.reportTemplate(), item->data(Qt::UserRole).toString()));
    });
    connect(variables_, &QTableWidget::cellChanged, this, &DictionaryPanel::variableEdited);
    return varPage;
}

QWidget* DictionaryPanel::buildScriptPage() {
    auto* scriptPage = new QWidget;
    auto* sl = new QVBoxLayout(scriptPage);
    script_ = new QPlainTextEdit;
    script_->setObjectName(QStringLiteral("ScriptEdit"));
    script_->setAccessibleName(QStringLiteral("Сценарий отчета"));
    script_->setFont(QFont(QStringLiteral("Liberation Mono"), 9));
    scriptMessage_ = new QLabel;
    scriptMessage_->setObjectName(QStringLiteral("ScriptMessage"));
    scriptMessage_->setWordWrap(true);
    auto* applyScriptButton = button(QStringLiteral("Проверить и применить"), QStringLiteral("ApplyScript"));
    sl->addWidget(script_);
    sl->addWidget(scriptMessage_);
    sl->addWidget(applyScriptButton);

    connect(applyScriptButton, &QPushButton::clicked, this, &DictionaryPanel::applyScript);
    return scriptPage;
}

void DictionaryPanel::variableEdited(int row, int column) {
    if (refreshing_)
        return;
    const QString old = variables_->item(row, 0)->data(Qt::UserRole).toString();
    const QString name = variables_->item(row, 0)->text().trimmed();
    const QString expression = variables_->item(row, 1) ? variables_->item(row, 1)->text() : QString();
    if (column == 1) {
        const QString error = expressionSyntaxError(expression);
        if (!error.isEmpty() && !expression.trimmed().isEmpty())
            variables_->item(row, 1)->setToolTip(error);
    }
    // A renamed variable: one step that removes the old name and sets the new.
    const auto& t = document_.reportTemplate();
    engine::ReportTemplate after = t;
    after.variables.remove(old);
    if (!name.isEmpty())
        after.variables.insert(name, expression);
    if (after.variables != t.variables)
        document_.push(std::make_unique<SetDictionary>(QStringLiteral("Переменная %1").arg(name),
                                                       Dictionary::of(t), Dictionary::of(after)));
}

std::optional<QStringList> DictionaryPanel::knownFields(const QString& dataset) const {
    const auto it = fields_.constFind(dataset.toUpper());
    if (it == fields_.cend())
        return std::nullopt;
    return *it;
}

QString DictionaryPanel::lastMessage() const {
    return message_->text();
}

void DictionaryPanel::refresh() {
    refreshing_ = true;
    const auto& t = document_.reportTemplate();
    const int row = datasets_->currentRow();
    datasets_->clear();
    for (const auto& d : t.datasets)
        datasets_->addItem(d.name);
    datasets_->setCurrentRow(std::min(row < 0 ? 0 : row, int(t.datasets.size()) - 1));
    refreshing_ = false;
    showVariables();
    showScript();
    showDataset(datasets_->currentRow());
}

void DictionaryPanel::showVariables() {
    if (!variables_)
        return;
    const bool wasRefreshing = std::exchange(refreshing_, true);
    const auto& t = document_.reportTemplate();
    variables_->setRowCount(0);
    for (auto it = t.variables.cbegin(); it != t.variables.cend(); ++it) {
        const int r = variables_->rowCount();
        variables_->insertRow(r);
        auto* name = new QTableWidgetItem(it.key());
        name->setData(Qt::UserRole, it.key());
        variables_->setItem(r, 0, name);
        variables_->setItem(r, 1, new QTableWidgetItem(it.value()));
    }
    refreshing_ = wasRefreshing;
}

void DictionaryPanel::showScript() {
    if (script_ && script_->toPlainText() != document_.reportTemplate().script)
        script_->setPlainText(document_.reportTemplate().script);
}

void DictionaryPanel::selectDataset(int index) {
    datasets_->setCurrentRow(index);
}

void DictionaryPanel::showDataset(int index) {
    const auto& t = document_.reportTemplate();
    const bool valid = index >= 0 && index < t.datasets.size();
    const engine::DatasetSpec d = valid ? t.datasets[index] : engine::DatasetSpec{};
    if (index != shown_ || name_->text() != d.name) {
        fieldList_->clear();
        message_->clear();
        if (auto f = knownFields(d.name))
            fieldList_->addItems(*f);
    }
    shown_ = index;
    name_->setText(d.name);
    master_->clear();
    master_->addItem(QString());
    for (const auto& other : t.datasets)
        if (other.name != d.name)
            master_->addItem(other.name);
    master_->setCurrentText(d.master);
    if (sql_->toPlainText() != d.sql)
        sql_->setPlainText(d.sql);
    for (QWidget* w :
         {static_cast<QWidget*>(name_), static_cast<QWidget*>(master_), static_cast<QWidget*>(sql_)})
        w->setEnabled(valid);
}

void DictionaryPanel::applyDataset() {
    const int index = datasets_->currentRow();
    const auto& t = document_.reportTemplate();
    if (index < 0 || index >= t.datasets.size())
        return;
    engine::DatasetSpec d{name_->text().trimmed(), sql_->toPlainText(), master_->currentText()};
    if (d.name.isEmpty()) {
        message_->setText(QStringLiteral("Укажите имя набора данных."));
        return;
    }
    const QString oldName = t.datasets[index].name;
    if (oldName == d.name) {
        document_.push(setDataset(t, index, d));
        return;
    }
    // A renamed dataset: bands and masters that named it follow, in one step.
    engine::ReportTemplate after = t;
    after.datasets[index] = d;
    auto seq = std::make_unique<Sequence>(QStringLiteral("Изменение набора данных"));
    engine::ReportTemplate scratch = t;
    seq->add(scratch, std::make_unique<SetDictionary>(seq->text(), Dictionary::of(t), Dictionary::of(after)));
    for (int b = 0; b < t.bands.size(); ++b)
        if (t.bands[b].dataset.compare(oldName, Qt::CaseInsensitive) == 0) {
            engine::Band band = t.bands[b];
            band.dataset = d.name;
            if (auto e = setBandProperties(scratch, b, band))
                seq->add(scratch, std::move(e));
        }
    for (auto& other : after.datasets)
        if (other.master.compare(oldName, Qt::CaseInsensitive) == 0)
            other.master = d.name;
    if (Dictionary::of(after) != Dictionary::of(scratch))
        seq->add(scratch, std::make_unique<SetDictionary>(seq->text(), Dictionary::of(scratch),
                                                          Dictionary::of(after)));
    document_.push(std::move(seq));
}

bool DictionaryPanel::checkSelectedDataset() {
    const int index = datasets_->currentRow();
    const auto& t = document_.reportTemplate();
    if (index < 0 || index >= t.datasets.size())
        return false;
    const engine::DatasetSpec d = t.datasets[index];
    fieldList_->clear();
    if (!runner_) {
        message_->setText(QStringLiteral("Нет соединения с базой данных: запрос не проверен."));
        return false;
    }
    try {
        const engine::RowSet rows = runner_(d);
        fields_.insert(d.name.toUpper(), rows.fields);
        fieldList_->addItems(rows.fields);
        message_->setText(QStringLiteral("Запрос выполнен: полей %1, строк %2.")
                              .arg(rows.fields.size())
                              .arg(rows.rows.size()));
        return true;
    } catch (const Error& e) {
        fields_.remove(d.name.toUpper());
        message_->setText(QStringLiteral("Ошибка запроса: ") + e.message());
        return false;
    }
}

void DictionaryPanel::applyScript() {
    if (!script_)
        return; // never shown: nothing typed
    const QString script = script_->toPlainText();
    const QString error = scriptSyntaxError(script);
    if (!error.isEmpty() && !script.trimmed().isEmpty()) {
        scriptMessage_->setText(QStringLiteral("Сценарий не сохранен: ") + error);
        return;
    }
    scriptMessage_->setText(QStringLiteral("Сценарий без ошибок."));
    document_.push(setScript(document_.reportTemplate(), script));
}

} // namespace svod::reports::designer
