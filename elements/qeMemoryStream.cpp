#include "elements/qeMemoryStream.h"

void TQeMemoryStream::valStream(TData& d, uint16_t) {
    SetStream(d, Stream.get());
}
