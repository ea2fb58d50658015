#include "ui/toolkit/qt/QtBridge.h"

#include "ui/toolkit/Image.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

// This system has no colour scheme of Windows' kind: the classic one stands in.
uint32_t SysColor(int index) {
    return ClassicColor(index);
}

QFont ToQFont(const TFontRec& f) {
    QFont font;
    std::string name = f.Name.substr(0, 31);
    // The classic Windows faces are not on this system: a plain sans-serif
    // face of the same size stands in for them.
    if (name.empty() || name == "MS Sans Serif" || name == "Tahoma" || name == "Arial")
        font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    else
        font.setFamily(FromCp1251(name));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, -PointsToHeight(f.Size)));
    font.setBold(f.Style & fs_bold);
    font.setItalic(f.Style & fs_italic);
    font.setUnderline(f.Style & fs_underline);
    font.setStrikeOut(f.Style & fs_strikeout);
    return font;
}

void TQtCanvas::FillRect(const TRect& r, uint32_t color) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    painter_.fillRect(QRect(r.left, r.top, r.Width(), r.Height()), ToQColor(color));
}

void TQtCanvas::DrawBitmap(const TBitmap& bitmap, const TRect& r) {
    if (bitmap.Empty() || !bitmap.Handle() || r.Width() <= 0 || r.Height() <= 0) return;
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, stretchMode_ == HALFTONE);
    const TImage& image = bitmap.Handle()->image;
    const QImage view(reinterpret_cast<const uchar*>(image.argb.data()), image.width, image.height,
                      QImage::Format_RGB32);
    painter_.drawImage(QRect(r.left, r.top, r.Width(), r.Height()), view);
}

QIcon ToQIcon(TIconHandle icon) {
    QIcon result;
    if (!icon) return result;
    for (const TIconImage& entry : icon->images) {
        QImage image;
        if (!entry.png.empty())
            image = QImage::fromData(entry.png.data(), int(entry.png.size()), "PNG");
        else
            image = QImage(reinterpret_cast<const uchar*>(entry.image.argb.data()),
                           entry.image.width, entry.image.height, QImage::Format_ARGB32)
                        .copy();
        if (!image.isNull()) result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}
