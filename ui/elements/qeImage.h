// TQeImage: a bitmap in a box, scaled to the box keeping its proportions;
// the rest of the box shows the background colour.
#pragma once

#include "ui/elements/Win.h"
#include "ui/toolkit/Bitmap.h"

#include <functional>

class TQeImage : public TQeWin {
public:
    explicit TQeImage(TControl* parentControl);

    TBitmap Bitmap;
    int32_t StretchMode = 0;
    // How a non-empty picture is painted; proportional drawing by default.
    std::function<void(TCanvas&)> DrawMode;
    bool AutoSize = false;
    TEventLink onClick;

    // A null handle is ignored; otherwise the element owns the bitmap.
    void SetBitmap(TBitmapHandle handle);
    void SetStretchMode(bool smooth);
    void DrawProportional(TCanvas& canvas, bool cover);

    void Init() override;

private:
    void Paint(TCanvas& canvas);
};

// The picture rectangle of a bw × bh picture in a w × h box (cover: the
// picture covers the box and overflows instead of leaving bands).
TRect ProportionalRect(int w, int h, int bw, int bh, bool cover);
