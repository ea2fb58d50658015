// uishot <file.png>: builds a form with every control kind the program uses
// (button, edit, combo box, progress bar, labels, image) and writes a picture
// of it. Run with QT_QPA_PLATFORM=offscreen on a machine without a display.
#include "runtime/Share.h"
#include "ui/elements/qeButton.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeEdit.h"
#include "ui/elements/qeImage.h"
#include "ui/elements/qeLabel.h"
#include "ui/elements/qeProgressBar.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"

#include <cstdio>
#include <vector>

namespace {

class TShotSchema : public TSchema {
public:
    TShotSchema() {
        form = Add<TQeSimpleForm>();
        form->Left = 200, form->Top = 200, form->Width = 503, form->Height = 162;
        form->Color = 0xFF00000F;
        form->EdgeStyle = 1;
        form->Caption = "Varnomiksal bootloader";
        form->BorderStyle = 1;
        form->Icon = AppIcon();
        form->Init();

        auto* button = Place<TQeButton>(5, 50, 85, 30);
        button->Caption = Cp1251("Записать");
        button->Init();
        auto* status = Place<TQeEdit>(110, 10, 320, 25);
        status->Color = 0xFF000016;
        status->EdgeStyle = 0;
        status->ReadOnly = true;
        status->Text = Cp1251("Устройство: KMV-4   Текущая версия ПО: 8.3");
        status->Init();
        auto* combo = Place<TQeComboBox>(10, 10, 85, 24);
        combo->Color = 0xFF000005;
        combo->Editable = true;
        combo->SelectMode = 1;
        combo->Strings = "COM1\r\nCOM3\r\nCOM4";
        combo->Text = "COM3";
        combo->Init();
        auto* progress = Place<TQeProgressBar>(5, 90, 485, 30);
        progress->EdgeStyle = 0;
        progress->Max = 507;
        progress->Smooth = true;
        progress->BarColor = 0xFF000010;
        progress->Init();
        TData pos;
        SetInteger(pos, 254);
        progress->inSetPosition(pos, 0);
        auto* version = Place<TQeLabel>(110, 55, 272, 20);
        version->Caption = Cp1251("Версия ПО для обновления:8.4 (KMV-4)");
        version->AutoSize = true;
        version->Init();
        auto* error = Place<TQeLabel>(300, 62, 190, 20);
        error->Caption = Cp1251("Ошибка при передаче данных!");
        error->Alignment = 2;
        error->Init();
        auto* image = Place<TQeImage>(280, 62, 15, 14);
        image->SetBitmap(LoadBitmapResource("BITMAP0"));
        if (image->Bitmap.Empty()) image->SetBitmap(SamplePicture());
        image->SetStretchMode(true);
        image->Init();
    }

    TQeSimpleForm* form = nullptr;

private:
    template <class T> T* Place(int l, int t, int w, int h) {
        T* e = Add<T>(form->Control);
        e->Left = l, e->Top = t, e->Width = w, e->Height = h;
        e->Color = 0xFF00000F;
        e->EdgeStyle = 1;
        return e;
    }
    // A red disc on white, 32 × 32, for when the program's picture is absent.
    static TBitmapHandle SamplePicture() {
        const int n = 32;
        std::vector<unsigned char> b(40 + n * n * 4, 0);
        b[0] = 40, b[4] = n, b[8] = n, b[12] = 1, b[14] = 32;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                unsigned char* p = &b[40 + std::size_t(y * n + x) * 4];
                const int dx = x - n / 2, dy = y - n / 2;
                const bool disc = dx * dx + dy * dy < (n / 2 - 2) * (n / 2 - 2);
                p[0] = disc ? 0 : 255, p[1] = disc ? 0 : 255, p[2] = 255;
            }
        return DecodeDib(b.data(), b.size());
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: uishot <file.png>\n");
        return 2;
    }
    TApplication::Create(argv[0]);
    auto* schema = new TShotSchema;
    schema->form->Start();
    TApplication::Instance().ProcessEvents();
    const bool ok = schema->form->Control->SaveScreenshot(argv[1]);
    DisableDispatch();
    delete schema;
    if (!ok) {
        std::fprintf(stderr, "uishot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
