#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "help/HelpPages.h"
#include "help/HelpWindow.h"

using namespace svod::help;

namespace {
QString sourceHelp() {
    return QStringLiteral(SVOD_HELP_SOURCE_DIR);
}

void write(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}
} // namespace

TEST(HelpPages, EveryLinkResolvesToAFileOfTheHelp) {
    EXPECT_EQ(brokenHelpLinks(sourceHelp()), QStringList());
}

TEST(HelpPages, BrokenLinksAreFound) {
    QTemporaryDir dir;
    write(dir.filePath(QStringLiteral("index.html")),
          "<a href=\"a.html#x\">A</a> <a href=\"#top\">top</a> <a href=\"https://example.org/\">out</a>"
          "<img src=\"images/missing.png\"> <a href=\"gone.html\">gone</a>");
    write(dir.filePath(QStringLiteral("a.html")), "<p>a</p>");
    EXPECT_EQ(brokenHelpLinks(dir.path()), (QStringList{QStringLiteral("index.html: images/missing.png"),
                                                        QStringLiteral("index.html: gone.html")}));
}

TEST(HelpPages, ContentsCoverEveryPageAndEveryWindow) {
    const QList<HelpPage> contents = helpContents(sourceHelp());
    QStringList files;
    for (const HelpPage& page : contents) {
        files << page.file;
        EXPECT_FALSE(page.title.isEmpty()) << page.file.toStdString();
    }
    ASSERT_FALSE(files.isEmpty());
    EXPECT_EQ(files.front(), QStringLiteral("index.html"));
    // No page is left out of the contents.
    for (const QString& file : QDir(sourceHelp()).entryList({QStringLiteral("*.html")}, QDir::Files))
        EXPECT_TRUE(files.contains(file)) << file.toStdString() << " is not in the contents";
    // Each window and command of the program has its page: found by its caption.
    const QStringList captions = {"Прием данных",
                                  "Прием данных по инфляции",
                                  "Список филиалов",
                                  "Актуальность данных",
                                  "Протокол автоматического приема",
                                  "Переменные программы",
                                  "Открыть отчет",
                                  "Дизайнер отчетов",
                                  "Управление программой",
                                  "Протокол ошибок",
                                  "Текст не найден",
                                  "Ни одного",
                                  "Поле рядов",
                                  "Упорядочить",
                                  "pr_vt.ini"};
    QString allText;
    for (const HelpPage& page : contents)
        allText += pageText(QDir(sourceHelp()).filePath(page.file));
    for (const QString& caption : captions)
        EXPECT_TRUE(allText.contains(caption)) << caption.toStdString() << " is described nowhere";
}

TEST(HelpPages, SearchNeedsEveryWordAndIgnoresCase) {
    QTemporaryDir dir;
    write(dir.filePath(QStringLiteral("index.html")),
          "<title>Главная</title><ul class=\"contents\"><li><a href=\"a.html\">Первая</a></li>"
          "<li><a href=\"b.html\">Вторая</a></li></ul>");
    write(dir.filePath(QStringLiteral("a.html")), "<p>Прием <b>данных</b> филиала</p>");
    write(dir.filePath(QStringLiteral("b.html")), "<p>Печать отчета и прием</p>");
    const auto titles = [&](const QString& q) {
        QStringList t;
        for (const HelpPage& p : searchHelp(dir.path(), q))
            t << p.title;
        return t;
    };
    EXPECT_EQ(titles(QStringLiteral("ПРИЕМ")),
              (QStringList{QStringLiteral("Первая"), QStringLiteral("Вторая")}));
    // Markup between the words does not hide them.
    EXPECT_EQ(titles(QStringLiteral("прием данных")), QStringList{QStringLiteral("Первая")});
    EXPECT_TRUE(titles(QStringLiteral("прием архив")).isEmpty());
    EXPECT_TRUE(titles(QStringLiteral("  ")).isEmpty());
}

TEST(HelpPages, ViewerOnWindowsGetsTheFileAsOneArgument) {
    const HelpCommand command = helpViewerCommand(QStringLiteral("C:\\Program Files\\svod"));
    EXPECT_EQ(command.program, QStringLiteral("hh.exe"));
    EXPECT_EQ(command.arguments,
              QStringList{QStringLiteral("mk:@MSITStore:C:\\Program Files\\svod\\svod_mu.chm")});
}

TEST(HelpWindow, ContentsPagesAndSearch) {
    HelpWindow window(sourceHelp());
    auto* tree = window.findChild<QTreeWidget*>(QStringLiteral("ContentsTree"));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->topLevelItemCount(), helpContents(sourceHelp()).size());

    window.showPage(QStringLiteral("preview.html#find"));
    EXPECT_EQ(window.currentPage(), QStringLiteral("preview.html"));
    EXPECT_TRUE(window.browser()->toPlainText().contains(QStringLiteral("Текст не найден")));
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem()->data(0, Qt::UserRole).toString(), QStringLiteral("preview.html"));

    // Following a link inside the browser (relative to the page shown).
    window.showPage(QStringLiteral("main-window.html"));
    window.browser()->setSource(QUrl(QStringLiteral("reception.html")));
    EXPECT_EQ(window.currentPage(), QStringLiteral("reception.html"));

    EXPECT_GT(window.search(QStringLiteral("дооценки")), 0);
    auto* results = window.findChild<QListWidget*>(QStringLiteral("SearchResults"));
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(results->isVisibleTo(&window));
    EXPECT_EQ(window.search(QStringLiteral("несуществующееслово")), 0);
    ASSERT_EQ(results->count(), 1);
    EXPECT_EQ(results->item(0)->text(), QStringLiteral("Ничего не найдено"));
}

TEST(HelpWindow, MissingHelpFolderIsSaidInTheWindow) {
    HelpWindow window(QStringLiteral("/nonexistent/help"));
    window.showPage(QStringLiteral("index.html"));
    EXPECT_TRUE(window.browser()->toPlainText().contains(QStringLiteral("Файлы справки не найдены")));
}

TEST(HelpWindow, ControlsHaveRussianAccessibleNames) {
    HelpWindow window(sourceHelp());
    for (const char* name : {"BackButton", "ForwardButton", "HomeButton", "SearchEdit", "ContentsTree",
                             "SearchResults", "HelpBrowser"}) {
        auto* w = window.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_FALSE(w->accessibleName().isEmpty()) << name;
        EXPECT_FALSE(w->accessibleName().contains(QRegularExpression(QStringLiteral("[A-Za-z]")))) << name;
    }
}
