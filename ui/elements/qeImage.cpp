#include "ui/elements/qeImage.h"

#include <cmath>

TQeImage::TQeImage(TControl* parentControl) : TQeWin(parentControl) {
    DrawMode = [this](TCanvas& canvas) { DrawProportional(canvas, false); };
}

void TQeImage::SetBitmap(TBitmapHandle handle) {
    if (!handle) return;
    Bitmap.Clear();
    int w = 0, h = 0;
    if (!BitmapSize(handle, w, h)) return;
    Bitmap.Take(handle, w, h);
    if (Control) Control->Invalidate();
}

// Every system this runs on draws smoothly (the NT class of Windows).
void TQeImage::SetStretchMode(bool smooth) {
    StretchMode = smooth ? HALFTONE : COLORONCOLOR;
}

TRect ProportionalRect(int w, int h, int bw, int bh, bool cover) {
    const double k = double(bh) / double(bw);
    bool fitWidth = h >= w * k;
    if (cover) fitWidth = !fitWidth;
    // nearbyint rounds halves to even, as the processor does by default.
    if (fitWidth) {
        const int d = int(std::nearbyint((h - w * k) / 2));
        return {0, d, w, h - d};
    }
    const int d = int(std::nearbyint((w - h / k) / 2));
    return {d, 0, w - d, h};
}

void TQeImage::DrawProportional(TCanvas& canvas, bool cover) {
    const TRect client = Control->ClientRect();
    const int w = client.Width(), h = client.Height();
    const TRect pic = ProportionalRect(w, h, Bitmap.Width, Bitmap.Height, cover);
    const uint32_t bg = Control->Color();
    if (pic.left == 0) {
        canvas.FillRect({0, 0, w, pic.top}, bg);
        canvas.FillRect({0, pic.bottom, w, h}, bg);
    } else {
        canvas.FillRect({0, 0, pic.left, h}, bg);
        canvas.FillRect({pic.right, 0, w, h}, bg);
    }
    canvas.SetStretchMode(StretchMode);
    canvas.DrawBitmap(Bitmap, pic);
}

void TQeImage::Paint(TCanvas& canvas) {
    if (Bitmap.Empty())
        canvas.FillRect(Control->ClientRect(), Control->Color());
    else if (DrawMode)
        DrawMode(canvas);
}

void TQeImage::Init() {
    Control = new TControl(TControlKind::Picture, ParentControl);
    InitWin();
    Control->hooks.click = [this] { FireNull(onClick); };
    Control->hooks.paint = [this](TCanvas& canvas) { Paint(canvas); };
    Control->SetColor(Color);
    if (!Bitmap.Empty() && AutoSize) Control->SetSize(Bitmap.Width, Bitmap.Height);
}
