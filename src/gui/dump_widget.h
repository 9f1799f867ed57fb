#pragma once
// DumpWidget: the window of the dump view. It paints the page text and the
// inverted spans that COctileView computed, and hands typed text, mouse,
// wheel, size and scroll-bar input to it.
#include <QAbstractScrollArea>
#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QPoint>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "host/ui_host.h"

namespace octile {

class COctileView;
class QtUiHost;

class DumpWidget : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // Registers itself with the host and runs the view's window creation.
    DumpWidget(COctileView& view, QtUiHost& host, QWidget* parent = nullptr);
    ~DumpWidget() override;

    COctileView& view() { return view_; }

    // The scroll bar as the core sets it; the user's actions never move it.
    void SetScrollRange(int minimum, int maximum);
    void SetScrollPos(int position);
    void ShowScrollBar(bool show);

    // Where the pointer was last seen over the dump, in viewport
    // coordinates. While the button is held every move reaches this widget,
    // so during a drag this is where the pointer is.
    QPoint PointerPosition() const { return pointer_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnScrollAction(int action);
    const QFont& PaintFont();
    void PaintText(QPainter& painter, const QRect& exposed);
    void SendSize();

    COctileView& view_;
    QtUiHost& host_;
    QPoint pointer_;
    int scrollPos_ = 0;
    QFont font_;
    std::optional<ViewFont> fontDescription_;  // what font_ was made from
    // The glyphs of each character painted so far, laid out alone in font_
    // (fallback fonts included), placed with the baseline at y 0: the text
    // engine shapes each character once, not at every paint.
    const QList<QGlyphRun>& GlyphsOf(std::u16string_view character);
    std::unordered_map<char32_t, QList<QGlyphRun>> glyphs_;
};

}  // namespace octile
