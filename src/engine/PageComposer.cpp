#include "engine/PageComposer.h"

#include "engine/Aggregates.h"
#include "engine/ExpressionScope.h"

namespace svod::engine {

PageComposer::PageComposer(const ReportTemplate& report, BandLayout& layout, ExpressionScope& scope,
                           Aggregates& aggregates, PageSink sink, int totalPages)
    : template_(report), layout_(layout), scope_(scope), aggregates_(aggregates), sink_(std::move(sink)),
      totalPages_(totalPages) {
    const QSizeF size = report.page.orientedSize();
    const PageSetup& p = report.page;
    printable_ = QRectF(p.marginLeft, p.marginTop, size.width() - p.marginLeft - p.marginRight,
                        size.height() - p.marginTop - p.marginBottom);
}

QString PageComposer::bandLabel(int band) const {
    const Band& b = template_.bands[band];
    return b.name.isEmpty() ? QStringLiteral("%1 (%2-я в шаблоне)").arg(bandKindName(b.kind)).arg(band + 1)
                            : b.name;
}

void PageComposer::warnOnce(int band, const QString& text) {
    if (band < 0 || warnedBands_.contains(band))
        return;
    warnedBands_.insert(band);
    warnings_ << QStringLiteral("Полоса «%1» %2 (страница %3)").arg(bandLabel(band), text).arg(pageNumber_);
}

void PageComposer::updateCounters() {
    scope_.setPage(pageNumber_, totalPages_);
}

double PageComposer::footerHeight() const {
    double height = 0;
    for (const auto& b : template_.bands)
        if (b.kind == BandKind::PageFooter)
            height += b.height;
    return height;
}

double PageComposer::bottomLimit() const {
    double limit = printable_.bottom() - footerHeight();
    if (inData_)
        for (const auto& b : template_.bands)
            if (b.kind == BandKind::ColumnFooter)
                limit -= b.height;
    return limit;
}

void PageComposer::place(LaidOutBand&& laid) {
    for (auto& item : laid.objects) {
        PreparedObject& o = item.object;
        o.rect.translate(printable_.left(), cursorY_);
        if (!printable_.contains(o.rect.adjusted(0.01, 0.01, -0.01, -0.01))) {
            warnOnce(laid.band, QStringLiteral("выходит за поля страницы и обрезана по ним"));
            o.rect = o.rect.intersected(printable_);
            if (o.rect.isEmpty())
                continue;
        }
        page_.objects.append(std::move(o));
    }
    cursorY_ += laid.height;
}

void PageComposer::placeAll(BandKind kind) {
    for (int i = 0; i < template_.bands.size(); ++i)
        if (template_.bands[i].kind == kind)
            place(layout_.layOut(i));
}

void PageComposer::startPage() {
    page_.objects.clear(); // keeps its capacity: every page needs about as much
    page_.size = template_.page.size;
    page_.landscape = template_.page.landscape;
    pageOpen_ = true;
    ++pageNumber_;
    updateCounters();
    aggregates_.resetPage();
    cursorY_ = printable_.top();
    pageTop_ = cursorY_;
    if (pageNumber_ == 1)
        for (int i = 0; i < template_.bands.size(); ++i)
            if (template_.bands[i].kind == BandKind::ReportTitle && !template_.bands[i].belowPageHeader)
                print(i);
    placeAll(BandKind::PageHeader);
    if (inData_)
        placeAll(BandKind::ColumnHeader);
    for (int header : heldHeaders_)
        place(layout_.layOut(header));
    pageTop_ = cursorY_;
}

void PageComposer::endPage() {
    if (!pageOpen_)
        return;
    if (inData_)
        placeAll(BandKind::ColumnFooter);
    cursorY_ = printable_.bottom() - footerHeight();
    placeAll(BandKind::PageFooter);
    pageOpen_ = false;
    if (!sink_(page_))
        cancelled_ = true;
    page_.objects.clear();
}

void PageComposer::breakPage() {
    // The row that moves on counts on the page it moves to, not in the footers of this one.
    aggregates_.setStagedVisible(false);
    endPage();
    startPage();
    aggregates_.setStagedVisible(true);
}

void PageComposer::startReport() {
    startPage();
}

bool PageComposer::outputTallBand(LaidOutBand& laid, double available) {
    warnOnce(laid.band, QStringLiteral("выше страницы и напечатана по частям"));
    auto [first, rest] = splitBand(laid, available);
    if (rest.height >= laid.height - 0.01) { // not even a line fits: cut at the page's end
        place(std::move(first));
        return false;
    }
    place(std::move(first));
    if (rest.objects.isEmpty())
        return false;
    breakPage();
    laid = std::move(rest);
    return true;
}

void PageComposer::output(LaidOutBand laid) {
    if (!pageOpen_)
        startPage();
    bool whole = true;
    for (;;) {
        const double available = bottomLimit() - cursorY_;
        if (laid.height <= available + 0.01) {
            place(std::move(laid));
            return;
        }
        const Band& band = template_.bands[laid.band];
        if (band.allowSplit && laid.canSplitLines()) {
            auto [first, rest] = splitBand(laid, available);
            if (!first.objects.isEmpty() && rest.height < laid.height - 0.01) {
                place(std::move(first));
                breakPage();
                laid = std::move(rest);
                whole = false;
                continue;
            }
        }
        if (cursorY_ > pageTop_ + 0.01) { // moves whole to the next page, with the values it has there
            breakPage();
            if (whole && layout_.hasExpressions(laid.band))
                laid = layout_.layOut(laid.band);
            continue;
        }
        // Taller than a whole page: split anyway rather than lose or overprint anything.
        if (!outputTallBand(laid, available))
            return;
        whole = false;
    }
}

void PageComposer::print(int index) {
    if (cancelled_)
        return;
    const Band& band = template_.bands[index];
    takePendingBreak();
    output(layout_.layOut(index));
    aggregates_.commit();
    if (!band.child.isEmpty())
        for (int i = 0; i < template_.bands.size(); ++i)
            if (template_.bands[i].kind == BandKind::Child && template_.bands[i].name == band.child) {
                print(i);
                break;
            }
    // The new page is started when something is printed on it: a band that asks for one after
    // the report's last row must not leave an empty page behind.
    if (band.newPageAfter)
        breakPending_ = true;
}

void PageComposer::takePendingBreak() {
    if (!breakPending_)
        return;
    breakPending_ = false;
    if (pageOpen_)
        breakPage();
}

void PageComposer::enterData() {
    takePendingBreak();
    inData_ = true;
    if (!pageOpen_) {
        startPage();
        return;
    }
    for (int i = 0; i < template_.bands.size(); ++i)
        if (template_.bands[i].kind == BandKind::ColumnHeader)
            output(layout_.layOut(i));
}

void PageComposer::leaveData() {
    inData_ = false;
    if (pageOpen_)
        placeAll(BandKind::ColumnFooter);
}

void PageComposer::finish() {
    if (pageOpen_)
        endPage();
}

} // namespace svod::engine
