#include "elements/qeAckFrame.h"

#include "platform/Text1251.h"

namespace {

bool StartsWith(const std::string& whole, const std::string& part) {
    return whole.size() >= part.size() && whole.compare(0, part.size(), part) == 0;
}

} // namespace

void TQeAckFrame::inAdd(TData& d, uint16_t) {
    held_ += ToString(d);
    auto fold = [this](std::string s) { return IgnoreCase == 1 ? AnsiLowerCase1251(s) : s; };
    const std::string reply = fold(held_);
    const std::string finalAck = fold(ReadString(d, srcFinalAck, ""));
    const bool blocksLeft = ReadInteger(d, srcCount, 0) < LastBlock;
    const std::string blockAck = blocksLeft ? fold(ReadString(d, srcBlockAck, "")) : std::string();

    const bool whole = reply == finalAck || (blocksLeft && reply == blockAck);
    const bool partial = StartsWith(finalAck, reply) || (blocksLeft && StartsWith(blockAck, reply));
    if (!whole && partial) return; // wait for the rest
    std::string frame;
    frame.swap(held_);
    ForwardString(d, onFrame, std::move(frame));
}
