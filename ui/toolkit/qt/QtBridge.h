// Conversions at the Qt boundary, shared by the toolkit's sources.
#pragma once

#include "platform/Text1251.h"
#include "runtime/Font.h"
#include "ui/toolkit/Bitmap.h"
#include "ui/toolkit/Colors.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QString>

#include <string>

inline QString FromCp1251(std::string_view s) {
    return QString::fromStdString(Cp1251ToUtf8(s));
}
inline std::string ToCp1251(const QString& s) {
    return Utf8ToCp1251(s.toStdString());
}
inline QColor ToQColor(uint32_t color) {
    uint32_t c = ResolveColor(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}
// A Qt font for a font setting, with the pixel height PointsToHeight gives.
QFont ToQFont(const TFontRec& f);

// A Qt icon of the icon's images; empty for a null handle.
QIcon ToQIcon(TIconHandle icon);

class QPainter;
// A canvas over a painter whose origin is the control's client area.
class TQtCanvas : public TCanvas {
public:
    explicit TQtCanvas(QPainter& painter) : painter_(painter) {}
    void FillRect(const TRect& r, uint32_t color) override;
    void DrawBitmap(const TBitmap& bitmap, const TRect& r) override;
    void SetStretchMode(int mode) override { stretchMode_ = mode; }

private:
    QPainter& painter_;
    int stretchMode_ = COLORONCOLOR;
};
