#include "gui/picture_window.h"

#include <QPaintEvent>
#include <QPainter>

#include "app/main_frame.h"

namespace octile {

CDibWnd::CDibWnd() {
    setObjectName(QStringLiteral("pictureWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A picture turns up as the caret moves (a search hit, the next mark);
    // the window only shows it and takes no keys, not even when clicked.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
}

QSize CDibWnd::FitClientSize(QSize wanted, QSize room) const {
    const PixelSize fitted =
        ShrinkToFit({wanted.width(), wanted.height()}, {room.width(), room.height()});
    return QSize(fitted.w, fitted.h);
}

void CDibWnd::Rebuild() {
    if (dib_ == nullptr || dib_->Serial() == serial_) return;
    serial_ = dib_->Serial();
    // The core has checked the header against its block; Qt's own BMP reader
    // decodes every pixel format and compression. What it refuses is black.
    const std::vector<uint8_t> bytes = dib_->BitmapFileBytes();
    image_ = bytes.empty() ? QImage()
                           : QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "BMP");
}

void CDibWnd::ShowPicture(const CDib& dib) {
    dib_ = &dib;
    Rebuild();
    const PictureRect r = dib.GetPictureRect();
    ShowClientSize(QSize(r.Width(), r.Height()));
}

void CDibWnd::paintEvent(QPaintEvent* event) {
    Rebuild();
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    if (dib_ == nullptr || image_.isNull()) return;
    const auto target = dib_->PaintPicture({0, 0, width(), height()}, true);
    if (!target) return;
    painter.drawImage(QRect(target->left, target->top, target->Width(), target->Height()), image_);
}

}  // namespace octile
