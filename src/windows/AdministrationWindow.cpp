#include "windows/AdministrationWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "db/Connection.h"
#include "directory/Administration.h"
#include "directory/QueryTable.h"
#include "reception/Interaction.h"
#include "widgets/DataGrid.h"

namespace svod::windows {

namespace {
QPushButton* button(const QString& caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}
} // namespace

AdministrationWindow::AdministrationWindow(db::Connection& connection, reception::Interaction& interaction,
                                           ErrorDisplay showError, QWidget* parent)
    : QWidget(parent), connection_(connection), interaction_(interaction), showError_(std::move(showError)),
      query_(std::make_unique<directory::QueryTable>()) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Управление программой"));
    resize(548, 341);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(pages_);

    // The command page: code 0.
    auto* command = new QWidget(pages_);
    command->setObjectName(QStringLiteral("TabSheet1"));
    auto* commandLayout = new QVBoxLayout(command);
    auto* prompt = new QLabel(QStringLiteral("Введите код команды"), command);
    prompt->setObjectName(QStringLiteral("Label1"));
    code_ = new QLineEdit(command);
    code_->setObjectName(QStringLiteral("Edit1"));
    code_->setAccessibleName(QStringLiteral("Введите код команды"));
    code_->setMaximumWidth(200);
    prompt->setBuddy(code_);
    QPushButton* go = button(QStringLiteral("Переход"), QStringLiteral("Button1"), command);
    connect(go, &QPushButton::clicked, this, [this] { goToTypedPage(); });
    connect(code_, &QLineEdit::returnPressed, this, [this] { goToTypedPage(); });
    auto* row = new QHBoxLayout;
    row->addWidget(code_);
    row->addWidget(go);
    row->addStretch(1);
    commandLayout->addWidget(prompt);
    commandLayout->addLayout(row);
    commandLayout->addStretch(1);

    // The table creation page.
    auto* creation = new QWidget(pages_);
    creation->setObjectName(QStringLiteral("TabSheet2"));
    auto* creationLayout = new QVBoxLayout(creation);
    for (const auto& [table, name] : {std::pair{QStringLiteral("INV_INFL"), QStringLiteral("Button2")},
                                      std::pair{QStringLiteral("INV_OST3"), QStringLiteral("Button3")}}) {
        QPushButton* create = button(QStringLiteral("Создать ") + table, name, creation);
        create->setMaximumWidth(220);
        connect(create, &QPushButton::clicked, this, [this, table] { createTable(table); });
        creationLayout->addWidget(create);
    }
    creationLayout->addStretch(1);

    // The query page.
    auto* queryPage = new QWidget(pages_);
    queryPage->setObjectName(QStringLiteral("TabSheet3"));
    auto* queryLayout = new QVBoxLayout(queryPage);
    text_ = new QPlainTextEdit(queryPage);
    text_->setObjectName(QStringLiteral("Memo1"));
    text_->setAccessibleName(QStringLiteral("Текст запроса"));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setMaximumHeight(110);
    QPushButton* run = button(QStringLiteral("Выполнить"), QStringLiteral("Button4"), queryPage);
    connect(run, &QPushButton::clicked, this, [this] { execute(); });
    grid_ = new widgets::DataGrid(queryPage);
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    grid_->setAccessibleName(QStringLiteral("Результат запроса"));
    grid_->setTitleMargin(4);
    grid_->setSourceModel(query_.get());
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(run);
    runRow->addStretch(1);
    queryLayout->addWidget(text_);
    queryLayout->addLayout(runRow);
    queryLayout->addWidget(grid_, 1);

    pages_->addWidget(command);
    pages_->addWidget(creation);
    pages_->addWidget(queryPage);
    pages_->setCurrentIndex(static_cast<int>(directory::AdminPage::Command));
}

AdministrationWindow::~AdministrationWindow() {
    grid_->setSourceModel(nullptr);
}

int AdministrationWindow::currentPage() const {
    return pages_->currentIndex();
}

void AdministrationWindow::goToTypedPage() {
    if (const auto page = directory::pageForCode(code_->text()))
        pages_->setCurrentIndex(static_cast<int>(*page));
}

void AdministrationWindow::createTable(const QString& table) {
    try {
        directory::createBalanceTable(connection_, table);
    } catch (const std::exception& e) {
        if (showError_)
            showError_(QString::fromUtf8(e.what()));
        return;
    }
    interaction_.message(reception::MessageKind::Plain, directory::CreatedMessage);
}

void AdministrationWindow::execute() {
    directory::AdminQueryResult result;
    try {
        result = directory::runAdminQuery(connection_, text_->toPlainText(), *query_);
    } catch (const std::exception& e) {
        if (showError_)
            showError_(QString::fromUtf8(e.what()));
        return;
    }
    if (result.hasRows) {
        grid_->setColumns({});
        return;
    }
    interaction_.message(reception::MessageKind::Plain, directory::rowsChangedMessage(result.rowsAffected));
}

} // namespace svod::windows
