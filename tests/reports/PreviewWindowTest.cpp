#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "reports/PreviewWindow.h"

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
    void save(const QString&) const override {}

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

TEST(PreviewWindow, ZoomModes) {
    auto w = makePreview();
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
