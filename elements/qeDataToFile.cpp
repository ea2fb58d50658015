#include "elements/qeDataToFile.h"

#include "elements/MemStream.h"

void TQeDataToFile::inGet(TData& d, uint16_t) {
    TMemStream* stream = PullStream(srcStream);
    if (!stream) return;
    unsigned char value = 0;
    stream->Read(&value, 1);
    TData item;
    SetInteger(item, value);
    ForwardCopy(d, onGet, item);
}
