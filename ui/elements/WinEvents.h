// What a form (TQeSimpleWin) and a child control (TQeWin) do alike with
// their window's messages: the window events they fire, the mouse state they
// keep, and the hooks they install on their control object.
#pragma once

#include "runtime/Share.h"
#include "ui/toolkit/Control.h"

#include <cstdint>

struct TMouseState {
    int button = 0;
    uint32_t keys = 0;
    int16_t x = 0, y = 0;
};

inline TMouseState MouseStateOf(const TMouseEvent& m) {
    return {m.button, m.keys, m.x, m.y};
}

// The button held at the previous mouse event, as onMouseMove reports it.
int HeldButtonOf(uint32_t keys);

// The shared part of the message hook, before the element's own: onMove,
// onSetFocus, onKillFocus, and MouseEnter at every mouse message and at
// hover, MouseLeave when the mouse leaves.
template <class W> void FireWindowEvents(W& w, const TMessage& m) {
    switch (m.msg) {
    case WM_MOVE:
        FireNull(w.onMove);
        break;
    case WM_SETFOCUS:
        FireNull(w.onSetFocus);
        break;
    case WM_KILLFOCUS:
        FireNull(w.onKillFocus);
        break;
    case WM_MOUSEHOVER:
        w.MouseEnter();
        break;
    case WM_MOUSELEAVE:
        w.MouseLeave();
        break;
    default:
        if (m.msg >= WM_MOUSEFIRST && m.msg <= WM_MOUSELAST) w.MouseEnter();
        break;
    }
}

// The mouse operations both kinds share (their slots differ, their
// behaviour does not).
template <class W> void MouseDownOf(W& w, const TMouseEvent& m) {
    w.MouseState = MouseStateOf(m);
    FireInteger(w.onMouseDown, m.button - 1);
}
template <class W> void MouseUpOf(W& w, const TMouseEvent& m) {
    w.MouseState = MouseStateOf(m);
    FireInteger(w.onMouseUp, m.button - 1);
}
template <class W> void MouseWheelOf(W& w, const TMouseEvent& m) {
    w.MouseState = MouseStateOf(m);
    FireInteger(w.onMouseWheel, int16_t(m.keys >> 16));
}
template <class W> void MouseMoveOf(W& w, const TMouseEvent& m) {
    FireInteger(w.onMouseMove, HeldButtonOf(w.MouseState.keys));
    w.MouseState = MouseStateOf(m);
}

// Remembers the control's message hook as the chained one and installs the
// element's mouse, message, destroyed, resized and shown operations.
template <class W> void InstallWindowHooks(W& w) {
    w.ChainedHook = w.Control->hooks.message;
    TControlHooks& h = w.Control->hooks;
    h.mouseDown = [&w](const TMouseEvent& m) { w.MouseDown(m); };
    h.mouseMove = [&w](const TMouseEvent& m) { w.MouseMove(m); };
    h.mouseUp = [&w](const TMouseEvent& m) { w.MouseUp(m); };
    h.mouseWheel = [&w](const TMouseEvent& m) { w.MouseWheel(m); };
    h.dblClick = [&w](const TMouseEvent& m) { FireInteger(w.onDblClick, m.button - 1); };
    h.message = [&w](TMessage& m) { return w.Message(m); };
    h.destroyed = [&w] { w.Destroyed(); };
    h.resized = [&w] { w.Resized(); };
    h.shown = [&w] { w.Shown(); };
}
