#pragma once

#include <QList>
#include <QSet>
#include <QStringList>
#include <functional>

#include "engine/BandLayout.h"
#include "engine/Model.h"
#include "engine/PreparedPages.h"

namespace svod::engine {

class Aggregates;
class ExpressionScope;

// Puts laid-out bands on pages: page header and footer, column header and footer around data,
// headers repeated on a new page, bands moved whole or split where they do not fit. Nothing is
// placed outside the printable area: what would be is cut, and the run notes it.
class PageComposer {
public:
    // Takes each finished page; false cancels the run. The page's object list is reused for the next
    // page, so a sink copies or encodes what it keeps.
    using PageSink = std::function<bool(PreparedPage& page)>;

    PageComposer(const ReportTemplate& report, BandLayout& layout, ExpressionScope& scope,
                 Aggregates& aggregates, PageSink sink, int totalPages);

    // Opens the first page: the report titles that go above the page header, then the page header.
    void startReport();
    // Prints a band (with its child band, and a new page after it where the band asks).
    void print(int band);
    // Between the first and last row of a master band: column header and footer on every page.
    void enterData();
    void leaveData();
    // A header printed again at the top of every new page until released.
    void holdHeader(int band) { heldHeaders_ << band; }
    void releaseHeader(int band) { heldHeaders_.removeOne(band); }
    void finish();

    bool cancelled() const { return cancelled_; }
    int pageNumber() const { return pageNumber_; }
    const QStringList& warnings() const { return warnings_; }

private:
    void output(LaidOutBand laid);
    bool outputTallBand(LaidOutBand& laid, double available);
    void place(LaidOutBand&& laid);
    void startPage();
    void endPage();
    void breakPage();
    void takePendingBreak();
    void placeAll(BandKind kind);
    double footerHeight() const;
    double bottomLimit() const;
    QString bandLabel(int band) const;
    void warnOnce(int band, const QString& text);
    void updateCounters();

    const ReportTemplate& template_;
    BandLayout& layout_;
    ExpressionScope& scope_;
    Aggregates& aggregates_;
    PageSink sink_;
    int totalPages_;
    QRectF printable_; // the paper less its margins
    PreparedPage page_;
    QList<int> heldHeaders_;
    QStringList warnings_;
    QSet<int> warnedBands_;
    bool pageOpen_ = false;
    bool inData_ = false;
    bool cancelled_ = false;
    bool breakPending_ = false; // a band asked for a new page after it; taken when more follows
    double cursorY_ = 0;
    double pageTop_ = 0;
    int pageNumber_ = 0;
};

} // namespace svod::engine
