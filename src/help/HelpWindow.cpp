#include "help/HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "help/HelpPages.h"

namespace svod::help {

namespace {
QToolButton* toolButton(QWidget* parent, const QString& name, const QString& tip, const QIcon& icon) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setIcon(icon);
    b->setAutoRaise(true);
    return b;
}

QIcon themed(const QWidget* w, const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name), w->style()->standardIcon(fallback));
}
} // namespace

HelpWindow::HelpWindow(QString directory, QWidget* parent)
    : QWidget(parent, Qt::Window), directory_(std::move(directory)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Справка"));
    setAccessibleName(windowTitle());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    const NavigationButtons buttons = buildSearchBar(layout);
    layout->addWidget(buildPanes(), 1);
    connectNavigation(buttons);
    connectPanes();

    buildContents();
    buttons.back->setEnabled(false);
    buttons.forward->setEnabled(false);
    resize(900, 640);
}

HelpWindow::NavigationButtons HelpWindow::buildSearchBar(QVBoxLayout* layout) {
    auto* bar = new QHBoxLayout;
    NavigationButtons buttons;
    buttons.back = toolButton(this, QStringLiteral("BackButton"), QStringLiteral("Назад"),
                              themed(this, "go-previous", QStyle::SP_ArrowBack));
    buttons.forward = toolButton(this, QStringLiteral("ForwardButton"), QStringLiteral("Вперед"),
                                 themed(this, "go-next", QStyle::SP_ArrowForward));
    buttons.home = toolButton(this, QStringLiteral("HomeButton"), QStringLiteral("Содержание"),
                              themed(this, "go-home", QStyle::SP_DirHomeIcon));
    auto* searchLabel = new QLabel(QStringLiteral("Поиск:"), this);
    searchEdit_ = new QLineEdit(this);
    searchEdit_->setObjectName(QStringLiteral("SearchEdit"));
    searchEdit_->setAccessibleName(QStringLiteral("Поиск"));
    searchEdit_->setPlaceholderText(QStringLiteral("слова для поиска"));
    searchEdit_->setClearButtonEnabled(true);
    searchLabel->setBuddy(searchEdit_);
    bar->addWidget(buttons.back);
    bar->addWidget(buttons.forward);
    bar->addWidget(buttons.home);
    bar->addSpacing(12);
    bar->addWidget(searchLabel);
    bar->addWidget(searchEdit_, 1);
    layout->addLayout(bar);
    return buttons;
}

QSplitter* HelpWindow::buildPanes() {
    auto* splitter = new QSplitter(this);
    leftPane_ = new QStackedWidget(splitter);
    contents_ = new QTreeWidget(leftPane_);
    contents_->setObjectName(QStringLiteral("ContentsTree"));
    contents_->setAccessibleName(QStringLiteral("Содержание"));
    contents_->setHeaderLabel(QStringLiteral("Содержание"));
    contents_->setRootIsDecorated(false);
    results_ = new QListWidget(leftPane_);
    results_->setObjectName(QStringLiteral("SearchResults"));
    results_->setAccessibleName(QStringLiteral("Найденные разделы"));
    leftPane_->addWidget(contents_);
    leftPane_->addWidget(results_);
    browser_ = new QTextBrowser(splitter);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setAccessibleName(QStringLiteral("Текст справки"));
    browser_->setOpenExternalLinks(true);
    browser_->setSearchPaths({directory_});
    splitter->addWidget(leftPane_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({230, 670});
    return splitter;
}

void HelpWindow::connectNavigation(const NavigationButtons& buttons) {
    connect(buttons.back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(buttons.forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(buttons.home, &QToolButton::clicked, this, [this] {
        searchEdit_->clear();
        showPage(QStringLiteral("index.html"));
    });
    connect(browser_, &QTextBrowser::backwardAvailable, buttons.back, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, buttons.forward, &QWidget::setEnabled);
}

void HelpWindow::connectPanes() {
    // The browser's source() is updated only after this signal: the page comes with it.
    connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        selectInContents(QFileInfo(url.path()).fileName());
        if (!lastQuery_.isEmpty())
            browser_->find(lastQuery_.simplified().section(u' ', 0, 0));
    });
    connect(contents_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { showPage(item->data(0, Qt::UserRole).toString()); });
    connect(contents_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { showPage(item->data(0, Qt::UserRole).toString()); });
    connect(results_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { showPage(item->data(Qt::UserRole).toString()); });
    connect(results_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { showPage(item->data(Qt::UserRole).toString()); });
    connect(searchEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.trimmed().isEmpty()) {
            lastQuery_.clear();
            leftPane_->setCurrentWidget(contents_);
        }
    });
    connect(searchEdit_, &QLineEdit::returnPressed, this, [this] { search(searchEdit_->text()); });
}

void HelpWindow::buildContents() {
    contents_->clear();
    for (const HelpPage& page : helpContents(directory_)) {
        auto* item = new QTreeWidgetItem(contents_, {page.title});
        item->setData(0, Qt::UserRole, page.file);
    }
}

void HelpWindow::showPage(const QString& page) {
    const QString target = page.isEmpty() ? QStringLiteral("index.html") : page;
    const QString file = target.section(u'#', 0, 0);
    if (directory_.isEmpty() || !QFileInfo(QDir(directory_).filePath(file)).isFile()) {
        browser_->setHtml(
            QStringLiteral("<p>Файлы справки не найдены (ожидались в папке «%1»). "
                           "Переустановите программу.</p>")
                .arg((directory_.isEmpty() ? QStringLiteral("help") : directory_).toHtmlEscaped()));
        return;
    }
    QUrl url = QUrl::fromLocalFile(QDir(directory_).filePath(file));
    const QString anchor = target.section(u'#', 1);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    browser_->setSource(url);
}

QString HelpWindow::currentPage() const {
    return QFileInfo(browser_->source().path()).fileName();
}

void HelpWindow::selectInContents(const QString& page) {
    for (int i = 0; i < contents_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = contents_->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toString() == page) {
            contents_->setCurrentItem(item);
            return;
        }
    }
}

int HelpWindow::search(const QString& query) {
    lastQuery_ = query;
    results_->clear();
    const QList<HelpPage> found = searchHelp(directory_, query);
    for (const HelpPage& page : found) {
        auto* item = new QListWidgetItem(page.title, results_);
        item->setData(Qt::UserRole, page.file);
    }
    if (found.isEmpty())
        new QListWidgetItem(QStringLiteral("Ничего не найдено"), results_);
    leftPane_->setCurrentWidget(results_);
    if (!found.isEmpty())
        showPage(found.front().file);
    return static_cast<int>(found.size());
}

HelpWindow* showHelp(const QString& page, QWidget* parent) {
    static QPointer<HelpWindow> window;
    if (!window) {
        window = new HelpWindow(helpDirectory(), parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->showPage(page);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace svod::help
