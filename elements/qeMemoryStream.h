// MemoryStream: owns a memory stream and hands it out as a Stream value.
#pragma once

#include "elements/MemStream.h"
#include "runtime/Share.h"

#include <memory>

class TQeMemoryStream : public TQeElement {
public:
    // The owned stream; assigning a new one frees the old one.
    std::unique_ptr<TMemStream> Stream = std::make_unique<TMemStream>();

    // A Stream value referring to the element's own stream (not a copy; the
    // position is shared with everyone who reads it).
    void valStream(TData& d, uint16_t index);
};
