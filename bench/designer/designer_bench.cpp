// Opening a generated template of many objects in the designer to its first paint, and one drag
// step with many objects selected, against preparing the same template with the engine.
//
//   designer_bench [OBJECTS=2000] [SELECTED=200] [RUNS=5]   (SELECTED=0: opening alone, for a profiler)
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

#include "engine/Report.h"
#include "engine/editing/ObjectProperties.h"
#include "reports/designer/DesignScene.h"
#include "reports/designer/DesignView.h"
#include "reports/designer/DesignerDocument.h"
#include "reports/designer/DesignerWindow.h"

using namespace svod;

namespace {

constexpr int PerBand = 50;

engine::ReportTemplate generate(int objects) {
    engine::ReportTemplate t;
    t.page.landscape = true;
    t.datasets << engine::DatasetSpec{QStringLiteral("D"), {}, {}};
    const int bands = (objects + PerBand - 1) / PerBand;
    for (int b = 0; b < bands; ++b) {
        engine::Band band;
        band.kind = b == 0 ? engine::BandKind::ReportTitle : engine::BandKind::MasterData;
        band.dataset = b == 0 ? QString() : QStringLiteral("D");
        band.height = 14;
        for (int i = 0; i < PerBand && b * PerBand + i < objects; ++i) {
            engine::TemplateObject o =
                engine::editing::newObject(engine::ObjectKind::Text, QRectF(i * 15.5, 0, 15, 12));
            o.name = QStringLiteral("t%1_%2").arg(b).arg(i);
            o.text = (b > 0 && i % 2) ? QStringLiteral("[F%1]").arg(i % 5) : QStringLiteral("Т%1").arg(i);
            o.frame.sides = engine::FrameAll;
            o.font.sizePt = 6;
            band.objects << o;
        }
        t.bands << band;
    }
    return t;
}

// Notes the first paint of a widget.
class PaintWatch final : public QObject {
public:
    bool painted = false;
    // The paint goes on as usual; the caller's processEvents() returns when it is done.
    bool eventFilter(QObject*, QEvent* event) override {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int objects = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int selected = argc > 2 ? std::atoi(argv[2]) : 200;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const engine::ReportTemplate t = generate(objects);

    engine::RowSet rows;
    rows.fields = {QStringLiteral("F0"), QStringLiteral("F1"), QStringLiteral("F2"), QStringLiteral("F3"),
                   QStringLiteral("F4")};
    rows.rows << QVariantList{1.5, QStringLiteral("текст"), 3, 4, 5};

    QList<double> prepare, open, drag, full, drop;
    QList<double> phases[3]; // window made, template opened, shown
    int painted = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        engine::Report report;
        report.setTemplate(t);
        report.setMemoryDataset(QStringLiteral("D"), rows);
        if (!report.prepareReport())
            return 1;
        prepare << timer.nsecsElapsed() / 1e6;

        timer.restart();
        reports::designer::DesignerWindow window({});
        window.resize(1280, 860);
        phases[0] << timer.nsecsElapsed() / 1e6;
        window.openTemplate(t, QStringLiteral("bench.frf"));
        phases[1] << timer.nsecsElapsed() / 1e6;
        // Opened when the page has been painted once, as the window shows it.
        PaintWatch watch;
        window.view().viewport()->installEventFilter(&watch);
        window.show();
        phases[2] << timer.nsecsElapsed() / 1e6;
        while (!watch.painted)
            QCoreApplication::processEvents();
        open << timer.nsecsElapsed() / 1e6;
        window.view().viewport()->removeEventFilter(&watch);
        painted += window.view().viewport()->grab().isNull() ? 0 : 1;

        if (selected == 0) { // opening alone, for a profiler
            window.document().undoStack().setClean();
            continue;
        }
        // The first `selected` objects, dragged in steps of one grid cell.
        QList<engine::editing::ObjectRef> refs;
        for (auto* item : window.scene().objectItems())
            if (refs.size() < selected)
                refs << item->ref();
        window.scene().selectRefs(refs);
        auto& view = window.view();
        const QPointF from = window.scene().itemFor(refs.first())->scenePos();
        view.beginDrag(from);
        for (int step = 1; step <= 20; ++step) {
            timer.restart();
            view.dragTo(from + QPointF(4.0 * step, 0));
            QCoreApplication::processEvents(); // the scene's index and the changed region painted
            drag << timer.nsecsElapsed() / 1e6;
            timer.restart();
            view.dragTo(from + QPointF(4.0 * step, 2));
            QCoreApplication::processEvents();
            const QPixmap frame = view.viewport()->grab(); // and the whole view once more, as a bound
            full << timer.nsecsElapsed() / 1e6;
        }
        timer.restart();
        view.endDrag();
        QCoreApplication::processEvents();
        drop << timer.nsecsElapsed() / 1e6;
        window.document().undoStack().setClean();
    }
    if (selected == 0) {
        std::printf("prepare %.1f ms, open to first paint %.1f ms\n", median(prepare), median(open));
        return 0;
    }
    const double p = median(prepare), o = median(open), d = median(drag), f = median(full), r = median(drop);
    if (painted != runs)
        return 1;
    std::printf("objects %d, selected %d (medians of %d runs)\n", objects, selected, runs);
    std::printf("prepare with the engine:      %8.1f ms\n", p);
    std::printf("designer open to first paint: %8.1f ms  (%.2fx of preparing; goal <= 1x)\n", o, o / p);
    std::printf("  of which: window %.1f, template %.1f, shown %.1f, laid out and painted %.1f ms\n",
                median(phases[0]), median(phases[1]) - median(phases[0]),
                median(phases[2]) - median(phases[1]), o - median(phases[2]));
    std::printf("drag step, %d selected:       %8.2f ms  (goal < 16 ms)\n", selected, d);
    std::printf("drag step + whole view repaint:%7.2f ms\n", f);
    std::printf("drop (one undo step) + paint: %8.2f ms\n", r);
    return 0;
}
