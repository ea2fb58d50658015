#include "TestElements.h"
#include "runtime/qeCommutator.h"
#include "runtime/qeDoData.h"
#include "runtime/qeEventFromData.h"
#include "runtime/qeHub.h"
#include "runtime/qeOutcome.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {
// Changes the value it receives, to show that later receivers are unaffected.
class Spoiler : public TQeElement {
public:
    std::vector<std::string> seen;
    void inEvent(TData& d, uint16_t) {
        seen.push_back(ToString(d));
        SetString(d, "spoiled");
    }
};
} // namespace

TEST(Hub, EveryOutputGetsItsOwnCopyInOrder) {
    LiveDispatch live;
    TQeHub hub;
    hub.SetOutCount(3);
    Spoiler s;
    for (uint16_t k = 0; k < 3; ++k)
        hub.onEvent[k] = MakeLink<&Spoiler::inEvent>(k, &s);
    TData d = StrValue("v");
    Fire(MakeLink<&TQeHub::inSpread>(7, &hub), d);
    EXPECT_EQ(s.seen, (std::vector<std::string>{"v", "v", "v"}));
    EXPECT_EQ(ToString(d), "v");

    TQeHub empty;
    empty.SetOutCount(0);
    Fire(MakeLink<&TQeHub::inSpread>(0, &empty), d);
}

TEST(Commutator, SwitchesByItsThreeDataInputs) {
    LiveDispatch live;
    TQeCommutator c;
    c.SetOutCount(2);
    Recorder r;
    c.onEvent[0] = r.Link(0);
    c.onEvent[1] = r.Link(1);
    auto fire = [&](uint16_t input) {
        r.events.clear();
        TData d = StrValue("x");
        Fire(MakeLink<&TQeCommutator::inSwitch>(input, &c), d);
        std::vector<uint16_t> outs;
        for (auto& e : r.events)
            outs.push_back(e.index);
        return outs;
    };
    EXPECT_EQ(fire(0), (std::vector<uint16_t>{0, 1})); // nothing connected: all, ascending

    Source output;
    c.srcOutput = output.Link();
    output.value = IntValue(1);
    EXPECT_EQ(fire(0), (std::vector<uint16_t>{1}));
    output.value = IntValue(2);
    EXPECT_TRUE(fire(0).empty());
    output.value = IntValue(-1);

    Source input;
    c.srcInput = input.Link();
    input.value = IntValue(0);
    EXPECT_EQ(fire(0).size(), 2u);
    EXPECT_TRUE(fire(1).empty());

    Source enabled;
    c.srcEnabled = enabled.Link();
    enabled.writeNothing = true; // a source that writes nothing reads as 0
    output.pulls = input.pulls = 0;
    EXPECT_TRUE(fire(0).empty());
    EXPECT_EQ(output.pulls + input.pulls, 0); // not read when disabled

    c.SetOutCount(0); // zero keeps the array
    EXPECT_EQ(c.onEvent.size(), 2u);
    EXPECT_EQ(c.OutCount, 0);
}

TEST(DoData, EmitsItsDataOrThePulledValue) {
    LiveDispatch live;
    TQeDoData dd;
    Recorder r;
    dd.onEmit = r.Link();
    dd.Data = IntValue(1);
    TData d = StrValue("ignored");
    Fire(MakeLink<&TQeDoData::inEmit>(0, &dd), d);
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.events[0].type, data_int);
    EXPECT_EQ(r.events[0].text, "1");
    EXPECT_EQ(ToInteger(d), 1); // forwarded into the caller's record

    dd.Data = TData{};
    d = StrValue("ignored");
    Fire(MakeLink<&TQeDoData::inEmit>(0, &dd), d);
    EXPECT_EQ(r.events[1].type, data_null);

    Source s;
    s.value = StrValue("pulled");
    dd.srcData = s.Link();
    Fire(MakeLink<&TQeDoData::inEmit>(0, &dd), d);
    EXPECT_EQ(r.events[2].text, "pulled");
}

TEST(EventFromData, StoresDeepCopiesAndAnnouncesEveryPull) {
    LiveDispatch live;
    auto efd = std::make_unique<TQeEventFromData>();
    Recorder requests;
    efd->onRequest = requests.Link();
    TData second = StrValue("b");
    TData d = StrValue("a");
    d.next = &second;
    Fire(MakeLink<&TQeEventFromData::inStore>(0, efd.get()), d);
    EXPECT_EQ(d.type, data_null); // the incoming value was taken
    SetString(second, "changed");

    for (int i = 0; i < 2; ++i) {
        TData out;
        Pull(out, MakeLink<&TQeEventFromData::valStored>(0, efd.get()));
        EXPECT_EQ(ToString(out), "a");
        ASSERT_NE(out.next, nullptr);
        EXPECT_EQ(ToString(*out.next), "b");
    }
    EXPECT_EQ(requests.events.size(), 2u);

    Source s;
    s.value = IntValue(4);
    efd->srcValue = s.Link();
    TData any = StrValue("x");
    Fire(MakeLink<&TQeEventFromData::inStore>(0, efd.get()), any);
    EXPECT_EQ(ToString(any), "x");
    EXPECT_EQ(ToInteger(efd->Stored()), 4);
    EXPECT_EQ(efd->Stored().next, nullptr);
}

namespace {
// Stores a new value in an event-from-data element whenever it is pulled.
class Refresher : public TQeElement {
public:
    TQeEventFromData* target = nullptr;
    int counter = 0;
    void inRequest(TData&, uint16_t) {
        TData v = IntValue(++counter);
        Fire(MakeLink<&TQeEventFromData::inStore>(0, target), v);
    }
};
} // namespace

TEST(EventFromData, APullReturnsWhatTheRequestHandlersLeftBehind) {
    LiveDispatch live;
    TQeEventFromData efd;
    Refresher refresher;
    refresher.target = &efd;
    efd.onRequest = MakeLink<&Refresher::inRequest>(0, &refresher);
    auto pull = MakeLink<&TQeEventFromData::valStored>(0, &efd);
    EXPECT_EQ(PullInteger(pull), 1);
    EXPECT_EQ(PullInteger(pull), 2);
}

namespace {
// Runs a given action for every event it receives.
class Action : public TQeElement {
public:
    std::function<void(TData&)> run;
    void inEvent(TData& d, uint16_t) { run(d); }
};
} // namespace

TEST(Outcome, TheFirstEndWinsAndClosesTheRun) {
    LiveDispatch live;
    TQeOutcome outcome;
    outcome.SetEndCount(2);
    Recorder passed, ends;
    outcome.onPass = passed.Link();
    outcome.onEnd[0] = ends.Link(0);
    outcome.onEnd[1] = ends.Link(1);
    auto pass = MakeLink<&TQeOutcome::inPass>(0, &outcome);
    TData a = StrValue("a");
    Fire(pass, a);
    TData failure = StrValue("fail");
    Fire(MakeLink<&TQeOutcome::inEnd>(1, &outcome), failure);
    EXPECT_EQ(outcome.Ended(), 1);
    TData b = StrValue("b"), success = StrValue("ok");
    Fire(pass, b);
    Fire(MakeLink<&TQeOutcome::inEnd>(0, &outcome), success);
    Fire(MakeLink<&TQeOutcome::inEnd>(1, &outcome), failure);
    ASSERT_EQ(passed.events.size(), 1u);
    EXPECT_EQ(passed.events[0].text, "a");
    ASSERT_EQ(ends.events.size(), 1u);
    EXPECT_EQ(ends.events[0].text, "fail");
    EXPECT_EQ(ends.events[0].index, 1);
}

// An end from another thread wins even while an event is passing (a pass may
// be stuck in a stalled write); the pass goes on, but what it checks is
// refused from then on.
TEST(Outcome, AnEndFromAnotherThreadWinsDuringAPassAndClosesTheGate) {
    LiveDispatch live;
    TQeOutcome outcome;
    outcome.SetEndCount(2);
    outcome.SetOpenCount(1);
    Recorder ends, checked;
    outcome.onEnd[0] = ends.Link(0);
    outcome.onEnd[1] = ends.Link(1);
    outcome.onOpen[0] = checked.Link(0);
    auto check = [&] {
        TData w = StrValue("w");
        Fire(MakeLink<&TQeOutcome::inCheck>(0, &outcome), w);
    };
    Action duringPass;
    duringPass.run = [&](TData&) {
        check();
        TData d = IntValue(3);
        std::thread other([&] { Fire(MakeLink<&TQeOutcome::inEnd>(1, &outcome), d); });
        other.join();
        check();
        TData ok = StrValue("ok"); // the pass's own end comes too late
        Fire(MakeLink<&TQeOutcome::inEnd>(0, &outcome), ok);
    };
    outcome.onPass = MakeLink<&Action::inEvent>(0, &duringPass);
    TData reply = StrValue("r");
    Fire(MakeLink<&TQeOutcome::inPass>(0, &outcome), reply);
    EXPECT_EQ(checked.events.size(), 1u);
    ASSERT_EQ(ends.events.size(), 1u);
    EXPECT_EQ(ends.events[0].index, 1);
    EXPECT_EQ(outcome.Ended(), 1);
    check();
    Fire(MakeLink<&TQeOutcome::inPass>(0, &outcome), reply);
    EXPECT_EQ(checked.events.size(), 1u);
    EXPECT_EQ(ends.events.size(), 1u);
}
