#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QSplitter;
class QStackedWidget;
class QTextBrowser;
class QToolButton;
class QTreeWidget;
class QVBoxLayout;

namespace svod::help {

// The help inside the program: contents and search on the left, the page on the right, with
// back, forward and home. Works without a browser.
class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QString directory, QWidget* parent = nullptr);

    // Shows a page of the help ("reception.html", "preview.html#find"); index.html when empty.
    void showPage(const QString& page);
    QString currentPage() const;
    // Lists the pages holding every word of `query`; returns how many.
    int search(const QString& query);

    QTextBrowser* browser() const { return browser_; }

private:
    struct NavigationButtons {
        QToolButton* back = nullptr;
        QToolButton* forward = nullptr;
        QToolButton* home = nullptr;
    };
    // Back, forward, home and the search field, in tab order.
    NavigationButtons buildSearchBar(QVBoxLayout* layout);
    // Contents or search results on the left, the page on the right.
    QSplitter* buildPanes();
    void connectNavigation(const NavigationButtons& buttons);
    void connectPanes();
    void buildContents();
    void selectInContents(const QString& page);

    QString directory_;
    QTextBrowser* browser_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    QListWidget* results_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QStackedWidget* leftPane_ = nullptr;
    QString lastQuery_;
};

// The one help window of the program, created on first use and raised on later ones, at `page`.
// `parent` keeps it above the main window; null makes a free window.
HelpWindow* showHelp(const QString& page, QWidget* parent = nullptr);

} // namespace svod::help
