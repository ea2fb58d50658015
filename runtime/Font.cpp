#include "runtime/Font.h"

#include "runtime/Services.h"

#include <atomic>

TFontRec MakeFontRec(std::string name, uint8_t size, uint8_t style, uint32_t color,
                     uint8_t charset) {
    TFontRec f;
    f.Name = std::move(name);
    f.Size = size;
    f.Style = style;
    f.Color = color;
    f.CharSet = charset;
    return f;
}

int PointsToHeight(int points) {
    static std::atomic<int> resolution{0};
    int r = resolution.load();
    if (r == 0) {
        const TRuntimeServices& services = RuntimeServices();
        r = services.screenLogPixelsY ? services.screenLogPixelsY() : 96;
        if (r <= 0) r = 96;
        resolution.store(r);
    }
    return (points * r + 36) / -72;
}
