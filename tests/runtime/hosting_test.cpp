#include "TestElements.h"
#include "runtime/MultiElementEx.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> g_log; // destruction order across instances

// Counts the events it receives and sends the count outward.
class Counter : public TQeElement {
public:
    explicit Counter(std::string name) : name_(std::move(name)) {}
    ~Counter() override { g_log.push_back(name_); }
    TEventLink onCount;
    int count = 0;

    void inEvent(TData&, uint16_t) {
        TData n = IntValue(++count);
        Fire(onCount, n);
    }

private:
    std::string name_;
};

// A sub-schema: inPass[0] and inPass[1] land on a counter whose count goes
// out on onPass[0]; valPass[0] is wired to nothing inside.
class TestSub : public TClassMultiBase {
public:
    static inline int created = 0;
    TestSub(TQeMultiElementEx* host, void* parent, void* owner)
        : TClassMultiBase(host, parent, owner) {
        auto* side = Add<TQeEditMultiEx>();
        counter = Add<Counter>("instance" + std::to_string(created++));
        side->onPass.resize(2);
        side->srcPass.resize(1);
        side->onPass[0] = MakeLink<&Counter::inEvent>(0, counter);
        side->onPass[1] = MakeLink<&Counter::inEvent>(1, counter);
        counter->onCount = MakeLink<&TQeEditMultiEx::inPass>(0, side);
        side->host = host;
        side->schema = this;
        inner = side;
    }
    Counter* counter = nullptr;
};

struct HostFixture : ::testing::Test {
    LiveDispatch live;
    Recorder out;
    void SetUp() override {
        g_log.clear();
        TestSub::created = 0;
        StartupDone = true;
    }
    std::unique_ptr<TQeMultiElementEx> MakeHost(uint8_t mode) {
        auto host = std::make_unique<TQeMultiElementEx>(nullptr);
        host->Mode = mode;
        host->onPass.resize(1);
        host->srcPass.resize(1);
        host->onPass[0] = out.Link();
        host->SetCreationHook(&CreateSubSchema<TestSub>);
        return host;
    }
    void Send(TQeMultiElementEx& host, uint16_t k) {
        TData d = StrValue("e");
        Fire(MakeLink<&TQeMultiElementEx::inPass>(k, &host), d);
    }
};

} // namespace

TEST_F(HostFixture, Mode0KeepsOneStandingInstance) {
    auto host = MakeHost(0);
    EXPECT_EQ(host->InstanceCount(), 1u);
    Send(*host, 1);
    Send(*host, 0);
    ASSERT_EQ(out.events.size(), 2u);
    EXPECT_EQ(out.events[1].text, "2"); // the counter persisted
    EXPECT_EQ(TestSub::created, 1);
}

TEST_F(HostFixture, Mode1CreatesAndFreesATemporaryInstancePerCall) {
    auto host = MakeHost(1);
    EXPECT_EQ(host->InstanceCount(), 0u);
    Send(*host, 0);
    Send(*host, 0);
    EXPECT_EQ(out.Texts(), (std::vector<std::string>{"1", "1"})); // nothing persisted
    EXPECT_EQ(g_log, (std::vector<std::string>{"instance0", "instance1"}));
}

TEST_F(HostFixture, AnUnconnectedInnerSourceAnswersBreak) {
    auto host = MakeHost(0);
    TData ev;
    EXPECT_EQ(ReadInteger(ev, MakeLink<&TQeMultiElementEx::valPass>(0, host.get()), 5), 5);
    TData d = IntValue(1);
    Pull(d, MakeLink<&TQeMultiElementEx::valPass>(0, host.get()));
    EXPECT_EQ(d.type, data_break);
}

TEST_F(HostFixture, DestructionFreesInstancesLastFirstAndFiresNothing) {
    {
        auto host = MakeHost(0);
        // Two more instances, as a host that creates on demand would hold.
        host->Mode = 0;
        host->SetCreationHook(&CreateSubSchema<TestSub>);
        host->SetCreationHook(&CreateSubSchema<TestSub>);
        EXPECT_EQ(host->InstanceCount(), 3u);
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"instance2", "instance1", "instance0"}));
    EXPECT_TRUE(out.events.empty());
}

TEST_F(HostFixture, DestroyInstanceOutOfRangeDoesNothing) {
    auto host = MakeHost(0);
    TData d = IntValue(3);
    host->DestroyInstance(d, 0);
    d = IntValue(-1);
    host->DestroyInstance(d, 0);
    EXPECT_EQ(host->InstanceCount(), 1u);
    d = IntValue(0);
    host->DestroyInstance(d, 0); // fires onPass[0] of the instance first
    EXPECT_EQ(host->InstanceCount(), 0u);
    EXPECT_EQ(out.events.size(), 1u);
    EXPECT_EQ(host->Current(), nullptr);
    Send(*host, 0); // no current instance: a temporary one answers
    EXPECT_EQ(out.events.size(), 2u);
}

TEST_F(HostFixture, SelfDestructionIsRefusedWithAMessage) {
    static std::string shown;
    TRuntimeServices services;
    services.messageBox = [](const std::string& caption, const std::string& text) {
        shown = caption + "|" + text;
    };
    SetRuntimeServices(services);
    auto host = MakeHost(0);
    // The outward event of the instance asks the host to destroy that instance.
    struct Destroyer : TQeElement {
        TQeMultiElementEx* host;
        void inEvent(TData&, uint16_t) {
            TData zero = IntValue(0);
            host->DestroyInstance(zero, 65535);
        }
    } destroyer;
    destroyer.host = host.get();
    host->onPass[0] = MakeLink<&Destroyer::inEvent>(0, &destroyer);
    Send(*host, 0);
    SetRuntimeServices(TRuntimeServices{});
    EXPECT_EQ(shown, "String-Debug|Self destruction is not allowed !!!");
    EXPECT_EQ(host->InstanceCount(), 1u);
    // Outside the outward call the same request succeeds.
    TData zero = IntValue(0);
    host->DestroyInstance(zero, 65535);
    EXPECT_EQ(host->InstanceCount(), 0u);
}

TEST_F(HostFixture, CreationAfterStartRunsTheStartQueueAtOnce) {
    static int started = 0;
    started = 0;
    struct StartingSub : TClassMultiBase {
        StartingSub(TQeMultiElementEx* h, void* p, void* o) : TClassMultiBase(h, p, o) {
            auto* side = Add<TQeEditMultiEx>();
            EXPECT_FALSE(StartupDone);
            AddStartHandler([](void*) { ++started; }, nullptr);
            side->host = h;
            side->schema = this;
            inner = side;
        }
    };
    StartupDone = true;
    TQeMultiElementEx host(nullptr);
    host.SetCreationHook(&CreateSubSchema<StartingSub>);
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(StartupDone);

    StartupDone = false; // during the main schema's construction: waits
    TQeMultiElementEx early(nullptr);
    early.SetCreationHook(&CreateSubSchema<StartingSub>);
    EXPECT_EQ(started, 1);
    RunStartHandlers();
    EXPECT_EQ(started, 2);
}
