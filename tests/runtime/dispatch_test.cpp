#include "TestElements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

// Forwards an Integer one higher to the next element and records how deep the
// stack is when it runs.
class Forwarder : public TQeElement {
public:
    TEventLink onNext;
    static inline uintptr_t lowest = UINTPTR_MAX, highest = 0;

    void inStep(TData& d, uint16_t) {
        volatile char marker = 0;
        auto here = reinterpret_cast<uintptr_t>(&marker);
        lowest = std::min(lowest, here);
        highest = std::max(highest, here);
        ForwardInteger(d, onNext, ToInteger(d) + 1);
    }
};

// Forwards whatever value it is told to.
class ForwardTo : public TQeElement {
public:
    TEventLink out;
    TData value;
    void inGo(TData& d, uint16_t) { ForwardCopy(d, out, value); }
};

// An event value that is a list of two: 1, then "two".
struct TTwoValues {
    TData second = StrValue("two");
    TData Event() {
        TData ev = IntValue(1);
        ev.next = &second;
        return ev;
    }
};

} // namespace

TEST(Dispatch, ForwardingChainRunsAsALoopNotARecursion) {
    LiveDispatch live;
    constexpr int n = 100000;
    std::vector<std::unique_ptr<Forwarder>> chain;
    for (int i = 0; i < n; ++i)
        chain.push_back(std::make_unique<Forwarder>());
    Recorder end;
    for (int i = 0; i + 1 < n; ++i)
        chain[i]->onNext = MakeLink<&Forwarder::inStep>(0, chain[i + 1].get());
    chain.back()->onNext = end.Link();

    TData d = IntValue(0);
    Fire(MakeLink<&Forwarder::inStep>(0, chain[0].get()), d);
    ASSERT_EQ(end.events.size(), 1u);
    EXPECT_EQ(end.events[0].text, std::to_string(n));
    EXPECT_LT(Forwarder::highest - Forwarder::lowest, 1024u); // flat: every step at one depth
}

TEST(Dispatch, FireLeavesTheForwardedValueInTheCallersRecord) {
    LiveDispatch live;
    ForwardTo f;
    f.value = StrValue("result");
    Recorder r;
    f.out = r.Link();
    TData mine = IntValue(1);
    Fire(MakeLink<&ForwardTo::inGo>(0, &f), mine);
    EXPECT_EQ(mine.type, data_str); // flag removed, value overwritten
    EXPECT_EQ(ToString(mine), "result");
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.events[0].text, "result");

    TData kept = IntValue(1);
    FireCopy(MakeLink<&ForwardTo::inGo>(0, &f), kept);
    EXPECT_EQ(ToInteger(kept), 1);
}

TEST(Dispatch, ForwardingToAnUnconnectedOutputEndsQuietly) {
    LiveDispatch live;
    ForwardTo f;
    f.value = IntValue(8);
    TData d;
    Fire(MakeLink<&ForwardTo::inGo>(0, &f), d);
    EXPECT_EQ(d.type, data_int);
    EXPECT_EQ(d.idata, 8);
}

TEST(Dispatch, DisabledDispatchReachesNobody) {
    Recorder r;
    Source s;
    s.value = IntValue(5);
    DisableDispatch();
    FireInteger(r.Link(), 1);
    EXPECT_TRUE(r.events.empty());
    EXPECT_EQ(PullInteger(s.Link()), 0);
    TData ev;
    EXPECT_EQ(ReadInteger(ev, s.Link(), 7), 0); // connected: the untouched NULL, not the default
    EXPECT_EQ(ReadString(ev, s.Link(), "def"), "");
    EXPECT_EQ(s.pulls, 0);
    EXPECT_FALSE(DispatchEnabled());
    EnableDispatch();
    EXPECT_TRUE(DispatchEnabled());
    FireInteger(r.Link(), 1);
    EXPECT_EQ(r.events.size(), 1u);
    DisableDispatch();
}

TEST(Dispatch, UnconnectedLinks) {
    LiveDispatch live;
    TEventLink none;
    TData d = StrValue("x");
    d.idata = 3;
    Fire(none, d);
    EXPECT_EQ(ToString(d), "x");
    Pull(d, none);
    EXPECT_EQ(d.type, data_break);
    EXPECT_EQ(d.sdata, "x");
    EXPECT_EQ(d.idata, 3);
    EXPECT_EQ(PullInteger(none), 0);
    EXPECT_EQ(PullStream(none), nullptr);
}

TEST(Read, IntegerAndStringFallbackOrder) {
    LiveDispatch live;
    TEventLink none;
    TData ev;
    EXPECT_EQ(ReadInteger(ev, none, 0), 0);
    ev = IntValue(5);
    EXPECT_EQ(ReadInteger(ev, none, 0), 5);
    EXPECT_EQ(ev.type, data_null);
    ev = IntValue(5);
    EXPECT_EQ(ReadInteger(ev, none, 7), 7);
    EXPECT_EQ(ToInteger(ev), 5); // untouched

    ev = StrValue("ev");
    EXPECT_EQ(ReadString(ev, none, "def"), "def");
    EXPECT_EQ(ToString(ev), "ev");
    EXPECT_EQ(ReadString(ev, none, ""), "ev");
    EXPECT_EQ(ev.type, data_null);

    Source s; // a connected link wins, Break falls back
    s.value = IntValue(11);
    ev = IntValue(5);
    EXPECT_EQ(ReadInteger(ev, s.Link(), 7), 11);
    s.value.type = data_break;
    EXPECT_EQ(ReadInteger(ev, s.Link(), 7), 7);
    EXPECT_EQ(ReadInteger(ev, s.Link(), 0), 5);
    s.writeNothing = true; // writes nothing: NULL converts to 0, not the default
    EXPECT_EQ(ReadInteger(ev, s.Link(), 7), 0);
    EXPECT_EQ(ReadString(ev, s.Link(), "def"), "");
}

TEST(Read, ValueListsAreConsumedFromTheFront) {
    LiveDispatch live;
    TEventLink none;
    TTwoValues list;
    TData ev = list.Event();
    EXPECT_EQ(ReadInteger(ev, none, 0), 1);
    EXPECT_EQ(ReadString(ev, none, ""), "two");
    EXPECT_EQ(ev.type, data_null);

    ev = list.Event();
    TData out;
    ReadFirst(ev, none, nullptr, out);
    EXPECT_EQ(ToInteger(out), 1);
    EXPECT_EQ(out.next, nullptr);
    ReadFirst(ev, none, nullptr, out);
    EXPECT_EQ(ToString(out), "two");
    EXPECT_EQ(ev.type, data_null);

    ev = list.Event();
    TakeFirst(ev, out);
    EXPECT_EQ(ToInteger(out), 1);
    EXPECT_EQ(ToString(ev), "two");
}

TEST(Read, ReadValueAndReadFirstWithDefaults) {
    LiveDispatch live;
    TEventLink none;
    TTwoValues list;
    TData ev = list.Event();
    TData def = StrValue("def");
    TData out;
    ReadValue(ev, none, &def, out);
    EXPECT_EQ(ToString(out), "def");
    EXPECT_EQ(ToInteger(ev), 1);

    ReadValue(ev, none, nullptr, out); // the whole list, event value cleared
    EXPECT_EQ(ToInteger(out), 1);
    EXPECT_EQ(out.next, &list.second);
    EXPECT_EQ(ev.type, data_null);
    EXPECT_EQ(ev.next, nullptr);

    TData nullDefault;
    ev = IntValue(3);
    ReadFirst(ev, none, &nullDefault, out); // a NULL default counts as none
    EXPECT_EQ(ToInteger(out), 3);

    Source s;
    s.value = IntValue(9);
    s.value.next = &list.second;
    ReadFirst(ev, s.Link(), &def, out);
    EXPECT_EQ(ToInteger(out), 9);
    EXPECT_EQ(out.next, nullptr);
    s.value.type = data_break;
    ReadValue(ev, s.Link(), &def, out);
    EXPECT_EQ(ToString(out), "def");
}

TEST(Chains, CopyChainMakesAnOwnedDeepCopyAndFreeChainReleasesIt) {
    TData c = StrValue("c"), b = IntValue(2), a = IntValue(1);
    a.next = &b;
    b.next = &c;
    TData copy;
    CopyChain(copy, a);
    ASSERT_NE(copy.next, nullptr);
    EXPECT_NE(copy.next, &b);
    ASSERT_NE(copy.next->next, nullptr);
    EXPECT_EQ(ToString(*copy.next->next), "c");
    EXPECT_EQ(copy.next->next->next, nullptr);
    SetInteger(b, 20); // the copy does not follow the source
    EXPECT_EQ(ToInteger(*copy.next), 2);
    FreeChain(copy);
    EXPECT_EQ(copy.next, nullptr);
    EXPECT_EQ(ToInteger(copy), 1);

    TData nullHead;
    nullHead.next = &b; // a NULL record ends the copy
    CopyChain(copy, nullHead);
    EXPECT_EQ(copy.next, nullptr);
}

TEST(Startup, HandlersRunInOrderIncludingThoseAddedDuringTheRun) {
    static std::vector<int> order;
    order.clear();
    StartupDone = false;
    AddStartHandler([](void*) { order.push_back(1); }, nullptr);
    AddStartHandler(
        [](void*) {
            order.push_back(2);
            AddStartHandler([](void*) { order.push_back(3); }, nullptr);
        },
        nullptr);
    RunStartHandlers();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(StartupDone);
    RunStartHandlers(); // the queue was emptied
    EXPECT_EQ(order.size(), 3u);
}
