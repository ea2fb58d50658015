// Helpers of the window tests: a recording element and a form schema.
#pragma once

#include "runtime/Share.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Records every event it receives; answers pulls with `answer`.
class TProbe : public TQeElement {
public:
    struct TSeen {
        uint16_t index;
        uint8_t type;
        int32_t i;
        std::string s;
        std::vector<TData> list; // the values after the first
    };
    std::vector<TSeen> seen;
    TData answer;
    std::function<void(TData&)> onEvent;

    void inEvent(TData& d, uint16_t index) {
        TSeen s{index, d.type, d.idata, d.sdata, {}};
        for (TData* n = d.next; n; n = n->next) {
            TData copy = *n;
            copy.next = nullptr;
            s.list.push_back(copy);
        }
        seen.push_back(s);
        if (onEvent) onEvent(d);
    }
    void valAnswer(TData& d, uint16_t) { d = answer; }
};

class TTestSchema : public TSchema {
public:
    using TSchema::Add;
};

// A control of kind T on the form, placed and on the form's colour.
template <class T> T* Place(TTestSchema* schema, TQeSimpleForm* form, int l, int t, int w, int h) {
    T* e = schema->Add<T>(form->Control);
    e->Left = l, e->Top = t, e->Width = w, e->Height = h;
    e->Color = 0xFF00000F;
    return e;
}

// A main form with its schema; the form is started by the test (or at the
// end, so the start-up queue never keeps a freed form).
class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        schema = new TTestSchema;
        form = schema->Add<TQeSimpleForm>();
        form->Left = 200, form->Top = 200, form->Width = 503, form->Height = 162;
        form->Color = 0xFF00000F;
        form->EdgeStyle = 1;
        form->Caption = "Varnomiksal bootloader";
        form->BorderStyle = 1;
        probe = schema->Add<TProbe>();
    }
    void TearDown() override {
        if (!started) Start();
        DisableDispatch();
        delete schema;
        Pump();
    }
    void Start() {
        started = true;
        form->Start();
        Pump();
    }
    static void Pump() {
        for (int i = 0; i < 3; ++i)
            TApplication::Instance().ProcessEvents();
    }
    TEventLink Link(uint16_t index) { return MakeLink<&TProbe::inEvent>(index, probe); }

    TTestSchema* schema = nullptr;
    TQeSimpleForm* form = nullptr;
    TProbe* probe = nullptr;
    bool started = false;
};
