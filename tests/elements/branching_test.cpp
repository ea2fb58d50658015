#include "Probe.h"
#include "elements/qeCase.h"
#include "elements/qeConvertor.h"
#include "elements/qeCounter.h"
#include "elements/qeFor.h"
#include "elements/qeIf_else.h"

#include <gtest/gtest.h>

#include <thread>

#include <climits>

namespace {

TEST(Case, ComparesByTheIncomingType) {
    TQeCase el;
    TProbe match, next;
    el.onMatch = match.Link();
    el.onNext = next.Link();
    el.Value = Int(0);
    Send<&TQeCase::inCase>(el, Int(0));
    ASSERT_EQ(match.got.size(), 1u);
    EXPECT_EQ(match.got[0].type, data_null); // MatchData unset
    Send<&TQeCase::inCase>(el, Int(5));
    ASSERT_EQ(next.got.size(), 1u);
    EXPECT_EQ(next.Int(0), 5);
    Send<&TQeCase::inCase>(el, TData{});
    EXPECT_EQ(next.got.size(), 2u);
    EXPECT_EQ(next.got[1].type, data_null);
    Send<&TQeCase::inCase>(el, Str("0"));
    EXPECT_EQ(match.got.size(), 2u);
    el.MatchData = Str("hit");
    Send<&TQeCase::inCase>(el, Real(0.0));
    EXPECT_EQ(match.Str(2), "hit");
}

TEST(Case, OnNextCarriesTheWholeList) {
    TQeCase el;
    TProbe next;
    el.onNext = next.Link();
    el.Value = Int(1);
    TData second = Int(1);
    TData first = Int(2);
    first.next = &second;
    Send<&TQeCase::inCase>(el, first);
    ASSERT_EQ(next.got.size(), 1u);
    EXPECT_EQ(next.Int(), 2);
    EXPECT_EQ(next.got[0].next, &second);
}

TEST(ValueCompare, Relations) {
    TQeIf_else el;
    TProbe yes, no;
    el.onTrue = yes.Link();
    el.onFalse = no.Link();
    auto holds = [&](TData a, uint8_t r, TData b) {
        el.Op1 = a;
        el.Op2 = b;
        el.Compare = r;
        std::size_t before = yes.got.size();
        Send<&TQeIf_else::inCompare>(el, Str("event"));
        return yes.got.size() > before;
    };
    EXPECT_TRUE(holds(Int(2), 1, Int(3)));
    EXPECT_TRUE(holds(Int(-2), 1, Str("3")));
    EXPECT_FALSE(holds(Int(3), 2, Int(3)));
    EXPECT_TRUE(holds(Int(3), 3, Int(3)));
    EXPECT_TRUE(holds(Int(3), 4, Int(3)));
    EXPECT_TRUE(holds(Int(3), 5, Int(4)));
    EXPECT_FALSE(holds(Int(3), 6, Int(3)));
    EXPECT_TRUE(holds(Str("abc"), 1, Str("ABD")));
    EXPECT_FALSE(holds(Str("abc"), 0, Str("ABC")));
    EXPECT_TRUE(holds(Str("abc"), 3, Str("ABC")));
    EXPECT_TRUE(holds(Str("abc"), 5, Str("ABC")));
    EXPECT_TRUE(holds(Str("ab"), 1, Str("abc")));
    EXPECT_TRUE(holds(Str("12"), 0, Int(12)));
    EXPECT_TRUE(holds(Real(0.5), 1, Str("0.75")));
    EXPECT_TRUE(holds(Real(2), 0, Int(2)));
    EXPECT_TRUE(holds(Str("event"), 0, TData{})); // a NULL default takes the event value
    TData stream;
    stream.type = data_stream;
    EXPECT_FALSE(holds(stream, 0, stream));
    // the event value travels on, not an operand
    EXPECT_EQ(ToString(yes.got.back()), "event");
}

TEST(If_else, LinkedOperandAgainstDefault) {
    TQeCounter counter;
    counter.Max = 10;
    TQeIf_else el;
    TProbe yes, no;
    el.onTrue = yes.Link();
    el.onFalse = no.Link();
    el.srcOp1 = MakeLink<&TQeCounter::valCount>(0, &counter);
    el.Op2 = Int(3);
    for (int k = 0; k < 5; ++k) {
        Send<&TQeCounter::inNext>(counter, TData{});
        Send<&TQeIf_else::inCompare>(el, Int(100 + k));
    }
    ASSERT_EQ(yes.got.size(), 1u);
    EXPECT_EQ(yes.Int(), 102);
    EXPECT_EQ(no.got.size(), 4u);
}

TEST(If_else, NullOperandsTakeTheEventList) {
    TQeIf_else el;
    TProbe yes;
    el.onTrue = yes.Link();
    el.Compare = 1;
    TData second = Int(9);
    TData first = Int(4);
    first.next = &second;
    Send<&TQeIf_else::inCompare>(el, first);
    ASSERT_EQ(yes.got.size(), 1u); // 4 < 9
    EXPECT_EQ(yes.Int(), 4);
}

TEST(Counter, WrapsToTheOppositeBound) {
    TQeCounter c;
    TProbe out;
    c.onNext = out.Link();
    c.Max = 1;
    for (int k = 0; k < 4; ++k)
        Send<&TQeCounter::inNext>(c, TData{});
    EXPECT_EQ((std::vector<int>{out.Int(0), out.Int(1), out.Int(2), out.Int(3)}),
              (std::vector<int>{1, 0, 1, 0}));
    c.Max = 5;
    c.Step = 2;
    c.Value = 0;
    out.got.clear();
    for (int k = 0; k < 3; ++k)
        Send<&TQeCounter::inNext>(c, TData{});
    EXPECT_EQ((std::vector<int>{out.Int(0), out.Int(1), out.Int(2)}), (std::vector<int>{2, 4, 0}));

    c.Max = 507;
    c.Step = 1;
    c.Value = 0;
    for (int k = 0; k < 507; ++k)
        Send<&TQeCounter::inNext>(c, TData{});
    EXPECT_EQ(c.Value, 507);
    Send<&TQeCounter::inNext>(c, TData{});
    EXPECT_EQ(c.Value, 0);
}

TEST(Counter, StepsOnTwoThreadsAreNeverLost) {
    TQeCounter c;
    c.Max = 1000000;
    auto step = [&] {
        for (int k = 0; k < 20000; ++k) {
            TData d;
            c.inNext(d, 0);
        }
    };
    std::thread other(step);
    step();
    other.join();
    EXPECT_EQ(c.Value, 40000);
}

TEST(Counter, DownAndReset) {
    TQeCounter c;
    TProbe out;
    c.onNext = out.Link();
    c.Max = 3;
    c.Direction = 1;
    Send<&TQeCounter::inNext>(c, TData{});
    EXPECT_EQ(out.Int(), 3);
    Send<&TQeCounter::inNext>(c, TData{});
    EXPECT_EQ(out.Int(1), 2);
    Send<&TQeCounter::inReset>(c, TData{});
    EXPECT_EQ(c.Value, 3);
    c.Direction = 0;
    Send<&TQeCounter::inReset>(c, TData{});
    EXPECT_EQ(c.Value, 0);
    EXPECT_EQ(out.got.size(), 2u);
}

TEST(Counter, NoSignedOverflowAtTheEdges) {
    TQeCounter c;
    c.Min = INT_MIN;
    c.Max = INT_MAX;
    c.Value = INT_MAX;
    Send<&TQeCounter::inNext>(c, TData{});
    EXPECT_EQ(c.Value, INT_MIN);
    c.Direction = 1;
    Send<&TQeCounter::inNext>(c, TData{});
    EXPECT_EQ(c.Value, INT_MAX);
}

struct For : ::testing::Test {
    TQeFor el;
    TProbe step{el.onStep}, done{el.onDone};
    std::vector<int> Steps() {
        std::vector<int> v;
        for (std::size_t k = 0; k < step.got.size(); ++k)
            v.push_back(step.Int(k));
        return v;
    }
    using V = std::vector<int>;
};

TEST_F(For, BlockLoop) {
    el.End = 255;
    el.IncludeEnd = 1;
    Send<&TQeFor::inRun>(el, Str("ignored"));
    EXPECT_EQ(step.got.size(), 256u);
    EXPECT_EQ(step.Int(255), 255);
    EXPECT_EQ(done.Int(), 256);
}

TEST_F(For, Bounds) {
    el.Start = 1;
    el.End = 4;
    Send<&TQeFor::inRun>(el, TData{});
    EXPECT_EQ(Steps(), (V{1, 2, 3}));
    EXPECT_EQ(done.Int(), 4);
    step.got.clear();
    el.Step = -2;
    el.Start = 6;
    el.End = 1;
    el.IncludeEnd = 1;
    Send<&TQeFor::inRun>(el, TData{});
    EXPECT_EQ(Steps(), (V{6, 4, 2}));
    EXPECT_EQ(done.Int(1), 0);
    step.got.clear();
    el.Step = 0;
    el.Start = 7;
    Send<&TQeFor::inRun>(el, TData{});
    EXPECT_TRUE(step.got.empty());
    EXPECT_EQ(done.Int(2), 7);
    el.Step = 1;
    el.Start = 5;
    el.End = 3;
    Send<&TQeFor::inRun>(el, TData{});
    EXPECT_TRUE(step.got.empty());
    EXPECT_EQ(done.Int(3), 5);
}

TEST_F(For, KeepDataTakesOperandsFromTheEvent) {
    el.KeepData = 1;
    el.IncludeEnd = 1;
    TData end = Int(3);
    TData start = Int(2);
    start.next = &end;
    Send<&TQeFor::inRun>(el, start);
    EXPECT_EQ(Steps(), (V{2, 3}));
}

TEST_F(For, EndAtTheTopOfTheRangeStops) {
    el.Start = INT_MAX - 1;
    el.End = INT_MAX;
    el.IncludeEnd = 1;
    Send<&TQeFor::inRun>(el, TData{});
    EXPECT_EQ(Steps(), (V{INT_MAX - 1, INT_MAX}));
    EXPECT_EQ(done.got.size(), 1u);
}

TEST(Convertor, CharAndHex) {
    TQeConvertor el;
    TProbe out;
    el.onResult = out.Link();
    auto conv = [&](uint8_t mode, int32_t digits, int32_t n) {
        el.Mode = mode;
        el.Digits = digits;
        Send<&TQeConvertor::inConvert>(el, Int(n));
        return out.Str(out.got.size() - 1);
    };
    EXPECT_EQ(conv(4, 1, 65), "A");
    EXPECT_EQ(conv(4, 1, 256), std::string(1, '\0'));
    EXPECT_EQ(conv(4, 1, 0x1C1), std::string(1, char(0xC1)));
    EXPECT_EQ(conv(6, 1, 0), "0");
    EXPECT_EQ(conv(6, 1, 10), "A");
    EXPECT_EQ(conv(6, 1, 255), "FF");
    EXPECT_EQ(conv(6, 1, 4096), "1000");
    EXPECT_EQ(conv(6, 4, 10), "000A");
    EXPECT_EQ(conv(6, 0, 0), "0");
    EXPECT_EQ(conv(6, 1, -1), "FFFFFFFF");
    EXPECT_EQ(conv(6, 17, 10), "A");
    EXPECT_EQ(conv(6, 15, 10), "00000000000000A");
}

} // namespace
