#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "reports/PreparedDocument.h"
#include "reports/PreviewIcons.h"
#include "reports/PreviewWindow.h"

using namespace svod;
using namespace svod::reports;

namespace {
// A4 landscape pages with a few lines of text each.
class FakeDocument final : public PreviewDocument {
public:
    explicit FakeDocument(QList<QStringList> pages) : pages_(std::move(pages)) {}
    int pageCount() const override { return static_cast<int>(pages_.size()); }
    QSizeF pageSize(int) const override { return {842, 595}; }
    void paintPage(int page, QPainter& painter, const QRectF& target) const override {
        painter.drawText(target.topLeft() + QPointF(10, 20), pages_[page].join(u' '));
    }
    QList<QRectF> findText(int page, const QString& text, Qt::CaseSensitivity cs) const override {
        QList<QRectF> hits;
        for (int line = 0; line < pages_[page].size(); ++line)
            if (pages_[page][line].contains(text, cs))
                hits << QRectF(20, 20 + line * 14, 200, 12);
        return hits;
    }
    QStringList saveFilters() const override { return {QStringLiteral("Подготовленный отчет (*.frp)")}; }
    void save(const QString&, const SaveOptions&) const override {}

private:
    QList<QStringList> pages_;
};

std::unique_ptr<PreviewWindow> makePreview() {
    QList<QStringList> pages;
    for (int i = 1; i <= 6; ++i)
        pages << QStringList{QStringLiteral("Страница %1").arg(i), QStringLiteral("Остаток")};
    pages[2] << QStringLiteral("Итого по филиалу") << QStringLiteral("итого по группе");
    pages[4] << QStringLiteral("Итого по филиалу");
    auto w = std::make_unique<PreviewWindow>(std::make_unique<FakeDocument>(pages));
    w->resize(900, 700);
    w->show();
    QCoreApplication::processEvents();
    return w;
}
} // namespace

TEST(PreviewWindow, StatusLineShowsWhatTheRunNoted) {
    auto preview = makePreview();
    auto* line = preview->findChild<QLabel*>(QStringLiteral("PreviewStatusLine"));
    ASSERT_NE(line, nullptr);
    preview->show();
    EXPECT_FALSE(line->isVisible());
    preview->setStatusText(QStringLiteral("Полоса «Данные» выше страницы и напечатана по частям"));
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), QStringLiteral("Полоса «Данные» выше страницы и напечатана по частям"));
    EXPECT_FALSE(line->accessibleName().isEmpty());
}

// The zoom a user chose is kept for the whole program; a test that chooses one gives the
// previous one back, so that the next test's preview opens as a user's first one would.
struct KeptZoomRestorer {
    QString before = PreviewWindow::lastZoom();
    ~KeptZoomRestorer() { PreviewWindow::setLastZoom(before); }
};

TEST(PreviewWindow, ZoomModes) {
    const KeptZoomRestorer restorer;
    auto w = makePreview();
    w->setThumbnailsVisible(false);
    w->resize(1200, 500);
    QCoreApplication::processEvents();
    w->setZoom(PreviewWindow::Zoom::PageWidth);
    const double pageWidth = w->scale();
    EXPECT_GT(pageWidth * 842, 1000);
    EXPECT_LT(pageWidth * 842, 1200);
    w->setZoom(PreviewWindow::Zoom::WholePage);
    EXPECT_LT(w->scale(), pageWidth);
    EXPECT_LE(w->scale() * 595, 500);
    w->setZoom(PreviewWindow::Zoom::Percent, 200);
    const double at200 = w->scale();
    w->setZoom(PreviewWindow::Zoom::Percent, 100);
    EXPECT_DOUBLE_EQ(at200, 2 * w->scale());
    // The combo box drives the same.
    auto* box = w->findChild<QComboBox*>(QStringLiteral("ZoomBox"));
    ASSERT_NE(box, nullptr);
    box->setCurrentIndex(2);
    Q_EMIT box->activated(2); // 25%
    EXPECT_DOUBLE_EQ(w->scale() * 4, at200 / 2);
}

TEST(PreviewWindow, NavigationAndKeys) {
    auto w = makePreview();
    w->setZoom(PreviewWindow::Zoom::PageWidth);
    EXPECT_EQ(w->pageCount(), 6);
    EXPECT_EQ(w->currentPage(), 0);
    auto* label = w->findChild<QLabel*>(QStringLiteral("PageLabel"));
    EXPECT_EQ(label->text(), QStringLiteral("Страница 1 из 6"));
    w->findChild<QToolButton*>(QStringLiteral("NextPageButton"))->click();
    EXPECT_EQ(w->currentPage(), 1);
    w->findChild<QToolButton*>(QStringLiteral("LastPageButton"))->click();
    EXPECT_EQ(w->currentPage(), 5);
    EXPECT_EQ(label->text(), QStringLiteral("Страница 6 из 6"));
    w->goToPage(99);
    EXPECT_EQ(w->currentPage(), 5);
    QTest::keyClick(w.get(), Qt::Key_Home);
    EXPECT_EQ(w->currentPage(), 0);
    QTest::keyClick(w.get(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w->currentPage(), 1);
    QTest::keyClick(w.get(), Qt::Key_End);
    EXPECT_EQ(w->currentPage(), 5);
    // The load button exists only with a loader, as for error protocols.
    EXPECT_FALSE(w->findChild<QToolButton*>(QStringLiteral("LoadButton"))->isVisible());
}

TEST(PreviewWindow, FindAndFindNext) {
    auto w = makePreview();
    EXPECT_TRUE(w->find(QStringLiteral("итого")));
    EXPECT_EQ(w->foundPage(), 2);
    EXPECT_EQ(w->currentPage(), 2);
    // The second match on the same page, then the next page with one.
    EXPECT_TRUE(w->findNext());
    EXPECT_EQ(w->foundPage(), 2);
    EXPECT_TRUE(w->findNext());
    EXPECT_EQ(w->foundPage(), 4);
    EXPECT_FALSE(w->findNext());
    EXPECT_FALSE(w->find(QStringLiteral("нет такого текста")));
    EXPECT_EQ(w->foundPage(), -1);
}

namespace {
// A protocol of `rows` rows; row 100 holds a text found nowhere else.
engine::TableData longProtocol(int rows) {
    engine::TableData table;
    table.title = QStringLiteral("Данные не приняты\r\nОбнаружены позиции без балансовой стоимости");
    table.columns = {{QStringLiteral("ID"), QStringLiteral("id"), 12, false},
                     {QStringLiteral("NAME"), QStringLiteral("Наименование"), 40, false},
                     {QStringLiteral("SALDO"), QStringLiteral("Сумма"), 14, true}};
    for (int i = 1; i <= rows; ++i)
        table.rows << QStringList{QStringLiteral("%1").arg(i, 10, 10, QLatin1Char('0')),
                                  i == 100 ? QStringLiteral("Кран мостовой уникальный")
                                           : QStringLiteral("Станок %1").arg(i),
                                  QStringLiteral("%1,00").arg(i)};
    return table;
}

// Records where each page is painted, for the print scale.
class RecordingDocument final : public PreviewDocument {
public:
    mutable QList<QRectF> targets;
    int pageCount() const override { return 3; }
    QSizeF pageSize(int) const override { return {595, 842}; }
    void paintPage(int, QPainter& painter, const QRectF& target) const override {
        targets << target;
        painter.drawRect(target.adjusted(10, 10, -10, -10));
    }
    QList<QRectF> findText(int, const QString&, Qt::CaseSensitivity) const override { return {}; }
    QStringList saveFilters() const override { return {}; }
    void save(const QString&, const SaveOptions&) const override {}
};

// Page count and the size of the first page (points) of a PDF file written by Qt.
std::pair<int, QSizeF> pdfPages(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {0, {}};
    const QByteArray pdf = file.readAll();
    const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    const int count = int(QString::fromLatin1(pdf).count(page));
    const QRegularExpression box(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)"));
    const auto m = box.match(QString::fromLatin1(pdf));
    return {count, m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF()};
}
} // namespace

TEST(PreviewWindow, FindInAProtocolSaysWhenTheTextIsAbsent) {
    PreviewWindow w(makeComposedProtocols({longProtocol(400)}));
    w.resize(900, 700);
    w.show();
    QCoreApplication::processEvents();
    ASSERT_GE(w.pageCount(), 4);
    ASSERT_FALSE(w.document().findText(2, QStringLiteral("Кран мостовой"), Qt::CaseInsensitive).isEmpty())
        << "row 100 lies on the third page";
    EXPECT_FALSE(w.find(QStringLiteral("Экскаватор")));
    EXPECT_EQ(w.findStatus(), QStringLiteral("Текст не найден"));
    auto* status = w.findChild<QLabel*>(QStringLiteral("FindStatusLabel"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), QStringLiteral("Текст не найден"));

    // Typed into the find box and Enter pressed, as a user does.
    auto* edit = w.findChild<QLineEdit*>(QStringLiteral("FindEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("кран МОСТОВОЙ"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(w.foundPage(), 2);
    EXPECT_EQ(w.currentPage(), 2) << "the match is scrolled into view";
    EXPECT_EQ(w.findStatus(), QString());
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("PageLabel"))->text(),
              QStringLiteral("Страница 3 из %1").arg(w.pageCount()));
}

TEST(PreviewWindow, FindPreviousGoesBack) {
    auto w = makePreview();
    w->findChild<QLineEdit*>(QStringLiteral("FindEdit"))->setText(QStringLiteral("итого"));
    w->goToPage(5);
    EXPECT_TRUE(w->findPrevious());
    EXPECT_EQ(w->foundPage(), 4);
    EXPECT_TRUE(w->findPrevious());
    EXPECT_EQ(w->foundPage(), 2);
    EXPECT_TRUE(w->findPrevious());
    EXPECT_EQ(w->foundPage(), 2);
    EXPECT_FALSE(w->findPrevious());
    EXPECT_EQ(w->findStatus(), QStringLiteral("Текст не найден"));
    EXPECT_TRUE(w->findNext());
    EXPECT_EQ(w->foundPage(), 2);
}

TEST(PreviewWindow, ButtonsHaveIconsAndRussianNames) {
    auto w = makePreview();
    const QStringList names = {"ThumbnailsButton", "FirstPageButton", "PrevPageButton",     "NextPageButton",
                               "LastPageButton",   "FindButton",      "FindPreviousButton", "FindNextButton",
                               "LoadButton",       "SaveButton",      "PrintButton",        "HelpButton",
                               "CloseButton"};
    const QRegularExpression latin(QStringLiteral("[A-Za-z]{4,}"));
    for (const QString& name : names) {
        auto* b = w->findChild<QToolButton*>(name);
        ASSERT_NE(b, nullptr) << name.toStdString();
        EXPECT_FALSE(b->icon().isNull()) << name.toStdString();
        EXPECT_FALSE(b->accessibleName().isEmpty()) << name.toStdString();
        EXPECT_FALSE(b->accessibleName().contains(latin)) << b->accessibleName().toStdString();
        EXPECT_TRUE(b->toolTip().startsWith(b->accessibleName())) << name.toStdString();
    }
    // Our own print picture is not some other picture of the style (a check mark).
    EXPECT_FALSE(bundledPreviewIcon(PreviewIcon::Print).pixmap(16).toImage().isNull());
    for (const char* name : {"ZoomBox", "FindEdit", "PageLabel", "ThumbnailsPanel"})
        EXPECT_FALSE(w->findChild<QWidget*>(QString::fromLatin1(name))->accessibleName().isEmpty()) << name;
}

TEST(PreviewWindow, KeyboardCommands) {
    auto w = makePreview();
    QApplication::setActiveWindow(w.get());
    w->activateWindow();
    QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(w->findChild<QLineEdit*>(QStringLiteral("FindEdit"))->hasFocus());
    w->findChild<QLineEdit*>(QStringLiteral("FindEdit"))->setText(QStringLiteral("итого"));
    QTest::keyClick(w.get(), Qt::Key_F3);
    EXPECT_EQ(w->foundPage(), 2);
    QTest::keyClick(w.get(), Qt::Key_F3);
    QTest::keyClick(w.get(), Qt::Key_F3);
    EXPECT_EQ(w->foundPage(), 4);
    QTest::keyClick(w.get(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(w->foundPage(), 2);
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible()) << "Esc closes the preview";
}

TEST(PreviewWindow, ThumbnailsOpenPagesAndCanBeHidden) {
    auto w = makePreview();
    EXPECT_TRUE(w->thumbnailsVisible());
    auto* panel = w->findChild<QListView*>(QStringLiteral("ThumbnailsPanel"));
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->model()->rowCount(), 6);
    const QPixmap picture = panel->model()->index(3, 0).data(Qt::DecorationRole).value<QPixmap>();
    EXPECT_GT(picture.width(), 50);
    EXPECT_LT(picture.height(), picture.width()) << "the fake's pages are landscape";
    Q_EMIT panel->clicked(panel->model()->index(3, 0));
    EXPECT_EQ(w->currentPage(), 3);
    w->findChild<QToolButton*>(QStringLiteral("ThumbnailsButton"))->click();
    EXPECT_FALSE(w->thumbnailsVisible());
}

TEST(PreviewWindow, ZoomChosenLastOpensTheNextPreview) {
    const KeptZoomRestorer restorer;
    {
        auto w = makePreview();
        auto* box = w->findChild<QComboBox*>(QStringLiteral("ZoomBox"));
        box->setCurrentIndex(6);
        Q_EMIT box->activated(6); // 150%
    }
    EXPECT_EQ(PreviewWindow::lastZoom(), QStringLiteral("150"));
    auto next = makePreview();
    EXPECT_EQ(next->findChild<QComboBox*>(QStringLiteral("ZoomBox"))->currentText(), QStringLiteral("150%"));
    EXPECT_NEAR(next->scale(), 1.5 * next->logicalDpiX() / 72.0, 1e-9);
    PreviewWindow::setLastZoom(QStringLiteral("nonsense"));
    EXPECT_EQ(PreviewWindow::lastZoom(), QStringLiteral("150"));
}

TEST(PreviewWindow, PrintsToAPdfFileAtTrueScale) {
    QTemporaryDir dir;
    auto* document = new RecordingDocument;
    PreviewWindow w{std::unique_ptr<PreviewDocument>(document)};
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
    printer.setPageSize(QPageSize(QPageSize::A4));
    document->targets.clear(); // the thumbnails' drawings
    w.printPages(printer);
    const auto [pages, size] = pdfPages(dir.filePath(QStringLiteral("out.pdf")));
    EXPECT_EQ(pages, 3);
    EXPECT_NEAR(size.width(), 595.3, 1.0);
    EXPECT_NEAR(size.height(), 841.9, 1.0);
    // Each page painted at its own size in printer pixels: 595 points at 1200 dpi.
    ASSERT_EQ(document->targets.size(), 3);
    EXPECT_NEAR(document->targets[0].width(), 595.0 * printer.resolution() / 72.0, 1.0);
    EXPECT_EQ(document->targets[0].topLeft(), QPointF(0, 0));

    // A page range, and a paper smaller than the page: shrunk to fit.
    document->targets.clear();
    QPrinter small(QPrinter::HighResolution);
    small.setOutputFormat(QPrinter::PdfFormat);
    small.setOutputFileName(dir.filePath(QStringLiteral("a5.pdf")));
    small.setPageSize(QPageSize(QPageSize::A5));
    small.setPrintRange(QPrinter::PageRange);
    small.setFromTo(2, 3);
    w.printPages(small);
    EXPECT_EQ(pdfPages(dir.filePath(QStringLiteral("a5.pdf"))).first, 2);
    ASSERT_EQ(document->targets.size(), 2);
    EXPECT_LE(document->targets[0].height(),
              QPageSize(QPageSize::A5).sizePoints().height() * small.resolution() / 72.0 + 1);
}

namespace {
// Answers the export settings dialog the save opens: ticks `choice` and presses `button`.
void answerExportDialog(const char* choice, const char* button) {
    QTimer::singleShot(0, [choice, button] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), QStringLiteral("ExportOptionsDialog"));
        for (auto* b : dialog->findChildren<QAbstractButton*>())
            EXPECT_EQ(b->accessibleName(), b->text()) << b->objectName().toStdString();
        dialog->findChild<QRadioButton*>(QString::fromLatin1(choice))->setChecked(true);
        dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    });
}
} // namespace

TEST(PreviewWindow, SavingAsksTheCsvEncodingAndTheExcelSheets) {
    PreviewWindow w(makeComposedProtocols({longProtocol(120)}));
    w.show();
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("p.csv"));
    answerExportDialog("Windows1251Button", "SaveButton");
    ASSERT_TRUE(w.saveTo(csv));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(bytes.contains("\xD1\xF2\xE0\xED\xEE\xEA 1;")) << "\"Станок 1\" in Windows-1251";

    // The choice is kept for the next save; cancelling writes nothing.
    answerExportDialog("Windows1251Button", "CancelButton");
    EXPECT_FALSE(w.saveTo(dir.filePath(QStringLiteral("q.csv"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("q.csv"))));

    const QString xlsx = dir.filePath(QStringLiteral("p.xlsx"));
    answerExportDialog("SheetPerPageButton", "SaveButton");
    ASSERT_TRUE(w.saveTo(xlsx));
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), xlsx});
    ASSERT_TRUE(unzip.waitForFinished());
    const QString parts = QString::fromUtf8(unzip.readAllStandardOutput());
    EXPECT_TRUE(parts.contains(QStringLiteral("xl/worksheets/sheet%1.xml").arg(w.pageCount())))
        << parts.toStdString();
}
