#include "gui/dump_widget.h"

#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRawFont>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextLayout>
#include <QWheelEvent>
#include <algorithm>
#include <vector>

#include "gui/key_translate.h"
#include "gui/qt_text.h"
#include "gui/qt_ui_host.h"
#include "util/utf.h"
#include "view/view.h"

namespace octile {

namespace {

// Rows of a new window: the ruler and 32 lines.
constexpr int kDefaultRows = 33;

}  // namespace

DumpWidget::DumpWidget(COctileView& view, QtUiHost& host, QWidget* parent)
    : QAbstractScrollArea(parent), view_(view), host_(host) {
    setObjectName(QStringLiteral("dumpWidget"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Every pixel is painted by paintEvent.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_InputMethodEnabled);
    verticalScrollBar()->setObjectName(QStringLiteral("dumpScrollBar"));
    verticalScrollBar()->installEventFilter(this);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &DumpWidget::OnScrollAction);
    host_.SetDumpWidget(this);
    view_.OnCreate();
}

DumpWidget::~DumpWidget() { host_.SetDumpWidget(nullptr); }

QSize DumpWidget::sizeHint() const {
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return {view_.TextPixelWidth() + scrollBar, kDefaultRows * view_.LineHeight()};
}

void DumpWidget::SetScrollRange(int minimum, int maximum) {
    const QSignalBlocker block(verticalScrollBar());
    verticalScrollBar()->setRange(minimum, std::max(minimum, maximum));
    verticalScrollBar()->setValue(scrollPos_);
}

void DumpWidget::SetScrollPos(int position) {
    scrollPos_ = position;
    const QSignalBlocker block(verticalScrollBar());
    verticalScrollBar()->setValue(position);
}

void DumpWidget::ShowScrollBar(bool show) {
    setVerticalScrollBarPolicy(show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void DumpWidget::OnScrollAction(int action) {
    QScrollBar* bar = verticalScrollBar();
    const int requested = bar->sliderPosition();
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            view_.OnVScroll(COctileView::SB_LINEDOWN, 0);
            break;
        case QAbstractSlider::SliderSingleStepSub:
            view_.OnVScroll(COctileView::SB_LINEUP, 0);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            view_.OnVScroll(COctileView::SB_PAGEDOWN, 0);
            break;
        case QAbstractSlider::SliderPageStepSub:
            view_.OnVScroll(COctileView::SB_PAGEUP, 0);
            break;
        case QAbstractSlider::SliderToMinimum:
            view_.OnVScroll(COctileView::SB_TOP, 0);
            break;
        case QAbstractSlider::SliderToMaximum:
            view_.OnVScroll(COctileView::SB_BOTTOM, 0);
            break;
        case QAbstractSlider::SliderMove:
            view_.OnVScroll(COctileView::SB_THUMBTRACK, requested);
            break;
        default:
            break;
    }
    // The slider shows what the view set, not where Qt would have moved it.
    const QSignalBlocker block(bar);
    bar->setSliderPosition(scrollPos_);
}

const QFont& DumpWidget::PaintFont() {
    if (fontDescription_ != view_.Font()) {
        fontDescription_ = view_.Font();
        font_ = MakeViewFont(*fontDescription_);
        glyphs_.clear();
    }
    return font_;
}

void DumpWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), ToQColor(view_.BackColour()));
    if (!view_.IsFileOpen()) return;
    view_.BeginPaint();
    // Marks colour the cells under the text; later marks paint over earlier ones.
    for (const COctileView::ColourRect& mark : view_.MarkBackgrounds()) {
        const PixelRect& r = mark.rect;
        if (r.right <= r.left || r.bottom <= r.top) continue;
        painter.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                         ToQColor(mark.colour));
    }
    painter.setFont(PaintFont());
    painter.setPen(ToQColor(view_.TextColour()));
    PaintText(painter, event->rect());
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    for (const PixelRect& r : view_.InvertedSpans()) {
        if (r.right <= r.left || r.bottom <= r.top) continue;
        painter.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), Qt::white);
    }
}

const QList<QGlyphRun>& DumpWidget::GlyphsOf(std::u16string_view character) {
    const char32_t key = character.size() == 2 ? CombineSurrogates(character[0], character[1])
                                               : static_cast<char32_t>(character[0]);
    const auto found = glyphs_.find(key);
    if (found != glyphs_.end()) return found->second;
    const QString text =
        QString::fromUtf16(character.data(), static_cast<qsizetype>(character.size()));
    QTextLayout layout(text, font_);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    // A page holds a few thousand characters at most; binary data in the
    // Unicode column meets new ones page after page, so the kept glyphs
    // start over rather than grow without end.
    constexpr size_t kMostKept = 16384;
    if (glyphs_.size() >= kMostKept) glyphs_.clear();
    QList<QGlyphRun> runs = layout.glyphRuns();
    for (QGlyphRun& run : runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF& at : positions) at.ry() -= line.ascent();
        run.setPositions(positions);
    }
    return glyphs_.emplace(key, std::move(runs)).first->second;
}

// Draws the page cell by cell so that every character lands on its own
// column whatever the font's advances are. The glyphs of the page are
// gathered by font and drawn in one run each.
void DumpWidget::PaintText(QPainter& painter, const QRect& exposed) {
    const int cw = view_.CharWidth();
    const int lh = view_.LineHeight();
    if (cw <= 0 || lh <= 0) return;
    const int ascent = QFontMetrics(painter.font()).ascent();
    const std::u16string& text = view_.DumpText();
    const size_t n = text.size();
    const int lastRow = exposed.bottom() / lh;
    struct Batch {
        QRawFont font;
        QList<quint32> indexes;
        QList<QPointF> positions;
    };
    std::vector<Batch> batches;
    size_t start = 0;
    for (int row = 0; start < n && row <= lastRow; ++row) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = n;
        if ((row + 1) * lh > exposed.top()) {
            const int baseline = row * lh + ascent;
            const std::u16string_view line(text.data() + start, end - start);
            LayOutDumpLine(line, view_.GetCharCode(), [&](int column, size_t k, size_t units) {
                if (column * cw > exposed.right()) return false;
                const QPointF origin(column * cw, baseline);
                for (const QGlyphRun& run : GlyphsOf(line.substr(k, units))) {
                    const QRawFont font = run.rawFont();
                    auto batch = std::find_if(batches.begin(), batches.end(),
                                              [&](const Batch& b) { return b.font == font; });
                    if (batch == batches.end())
                        batch = batches.insert(batches.end(), {font, {}, {}});
                    batch->indexes.append(run.glyphIndexes());
                    for (const QPointF& at : run.positions()) batch->positions.append(origin + at);
                }
                return true;
            });
        }
        start = end + 1;
    }
    for (const Batch& batch : batches) {
        QGlyphRun run;
        run.setRawFont(batch.font);
        run.setGlyphIndexes(batch.indexes);
        run.setPositions(batch.positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
}

void DumpWidget::SendSize() { view_.OnSize(viewport()->height(), window()->isMinimized()); }

void DumpWidget::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    SendSize();
    // The reload may have changed the text area; the frame keeps its width to it.
    host_.RecalcFrameWidth();
}

void DumpWidget::mousePressEvent(QMouseEvent* event) {
    pointer_ = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        view_.OnLButtonDown(pointer_.x(), pointer_.y(),
                            (event->modifiers() & Qt::ShiftModifier) != 0);
    }
    event->accept();
}

void DumpWidget::mouseMoveEvent(QMouseEvent* event) {
    pointer_ = event->position().toPoint();
    view_.OnMouseMove(pointer_.x(), pointer_.y());
    event->accept();
}

void DumpWidget::mouseReleaseEvent(QMouseEvent* event) {
    pointer_ = event->position().toPoint();
    if (event->button() == Qt::LeftButton) view_.OnLButtonUp(pointer_.x(), pointer_.y());
    event->accept();
}

void DumpWidget::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta != 0) view_.OnMouseWheel(delta);
    event->accept();
}

// Keys that are no accelerator are typed over the dump: their text, control
// characters included (Backspace, Enter, Tab), as a character event would
// carry it. Alt combinations are menu keys and type nothing. The scroll
// area's own key handling never runs, so keys do not move the scroll bar.
void DumpWidget::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty() || AltOrMetaHeld(event->modifiers())) {
        event->ignore();
        return;
    }
    view_.OnText(ToU16(text));
    event->accept();
}

void DumpWidget::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty()) view_.OnText(ToU16(event->commitString()));
    event->accept();
}

// Tab stays in the dump.
bool DumpWidget::focusNextPrevChild(bool) { return false; }

// The view repaints itself when its window moves; the scroll bar's value
// never scrolls pixels.
void DumpWidget::scrollContentsBy(int, int) {}

bool DumpWidget::eventFilter(QObject* watched, QEvent* event) {
    // The wheel over the scroll bar scrolls like the wheel over the dump.
    if (watched == verticalScrollBar() && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

}  // namespace octile
