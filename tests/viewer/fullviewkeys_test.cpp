// The full view's keys and wheel: what each does in which state.
#include "viewer/fullviewkeys.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

using A = TFullViewAction;

TFullViewKeyState State(bool previous, bool next, bool larger, bool zoomIn = true, bool zoomOut = true) {
    TFullViewKeyState s;
    s.PreviousEnabled = previous;
    s.NextEnabled = next;
    s.PictureLarger = larger;
    s.ZoomInEnabled = zoomIn;
    s.ZoomOutEnabled = zoomOut;
    return s;
}

} // namespace

TEST(FullViewKeys, EachKeyInEachState) {
    const TFullViewKeyState middle = State(true, true, false);
    const TFullViewKeyState first = State(false, true, false);
    const TFullViewKeyState last = State(true, false, false);
    const TFullViewKeyState zoomed = State(true, true, true);
    const TFullViewKeyState zoomedAtFirst = State(false, true, true);
    const TFullViewKeyState atZoomEnds = State(true, true, true, false, false);
    struct Case {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        TFullViewKeyState State;
        A Action;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const std::vector<Case> cases = {
        // Page Up/Down step whatever the picture's size.
        {Qt::Key_PageUp, none, middle, A::Previous},
        {Qt::Key_PageDown, none, middle, A::Next},
        {Qt::Key_PageUp, none, zoomed, A::Previous},
        {Qt::Key_PageDown, none, zoomed, A::Next},
        {Qt::Key_PageUp, none, first, A::None},  // the button is disabled
        {Qt::Key_PageDown, none, last, A::None},
        // Left/Right step while the picture fits, pan once it is larger.
        {Qt::Key_Left, none, middle, A::Previous},
        {Qt::Key_Right, none, middle, A::Next},
        {Qt::Key_Left, none, first, A::None},
        {Qt::Key_Right, none, last, A::None},
        {Qt::Key_Left, none, zoomed, A::PanLeft},
        {Qt::Key_Right, none, zoomed, A::PanRight},
        {Qt::Key_Left, none, zoomedAtFirst, A::PanLeft},
        {Qt::Key_Up, none, zoomed, A::PanUp},
        {Qt::Key_Down, none, zoomed, A::PanDown},
        {Qt::Key_Up, none, middle, A::None},
        {Qt::Key_Down, none, middle, A::None},
        // The keypad's arrows are arrows.
        {Qt::Key_Left, Qt::KeypadModifier, middle, A::Previous},
        // Home and End follow the previous and next buttons.
        {Qt::Key_Home, none, middle, A::First},
        {Qt::Key_End, none, middle, A::Last},
        {Qt::Key_Home, none, first, A::None},
        {Qt::Key_End, none, last, A::None},
        {Qt::Key_Home, none, zoomed, A::First},
        // Zoom keys, as typed with or without Shift, with Ctrl, on the keypad.
        {Qt::Key_Plus, none, middle, A::ZoomIn},
        {Qt::Key_Plus, Qt::ShiftModifier, middle, A::ZoomIn},
        {Qt::Key_Equal, none, middle, A::ZoomIn},
        {Qt::Key_Plus, Qt::KeypadModifier, middle, A::ZoomIn},
        {Qt::Key_Plus, Qt::ControlModifier, middle, A::ZoomIn},
        {Qt::Key_Minus, none, middle, A::ZoomOut},
        {Qt::Key_Minus, Qt::KeypadModifier, middle, A::ZoomOut},
        {Qt::Key_Minus, Qt::ControlModifier, zoomed, A::ZoomOut},
        {Qt::Key_Plus, none, atZoomEnds, A::None},
        {Qt::Key_Minus, none, atZoomEnds, A::None},
        {Qt::Key_Plus, Qt::AltModifier, middle, A::None},
        // Escape goes back, in any state.
        {Qt::Key_Escape, none, middle, A::BackToThumbnails},
        {Qt::Key_Escape, none, atZoomEnds, A::BackToThumbnails},
        // Modified navigation keys are left to shortcuts.
        {Qt::Key_Right, Qt::ControlModifier, middle, A::None},
        {Qt::Key_PageDown, Qt::ShiftModifier, middle, A::None},
        {Qt::Key_Left, Qt::AltModifier, zoomed, A::None},
        {Qt::Key_Escape, Qt::ControlModifier, middle, A::None},
        // Keys that are not ours.
        {Qt::Key_A, none, middle, A::None},
        {Qt::Key_Space, none, middle, A::None},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(FullViewKeyAction(c.Key, c.Modifiers, c.State), c.Action);
    }
}

TEST(FullViewKeys, CtrlWheelZoomsOneStepPerNotchAddingUpSmallSteps) {
    const TFullViewKeyState state = State(true, true, false);
    TWheelZoom wheel;
    EXPECT_EQ(wheel.Wheel(120, Qt::ControlModifier, state), A::ZoomIn);
    EXPECT_EQ(wheel.Wheel(-120, Qt::ControlModifier, state), A::ZoomOut);
    // A touchpad's small steps add up to a notch.
    EXPECT_EQ(wheel.Wheel(40, Qt::ControlModifier, state), A::None);
    EXPECT_EQ(wheel.Wheel(40, Qt::ControlModifier, state), A::None);
    EXPECT_EQ(wheel.Wheel(40, Qt::ControlModifier, state), A::ZoomIn);
    // Turning back forgets what was counted the other way.
    EXPECT_EQ(wheel.Wheel(100, Qt::ControlModifier, state), A::None);
    EXPECT_EQ(wheel.Wheel(-100, Qt::ControlModifier, state), A::None);
    EXPECT_EQ(wheel.Wheel(-20, Qt::ControlModifier, state), A::ZoomOut);
    // A fast spin is one step per event, not a queue of them.
    EXPECT_EQ(wheel.Wheel(600, Qt::ControlModifier, state), A::ZoomIn);
    EXPECT_EQ(wheel.Wheel(60, Qt::ControlModifier, state), A::None);
    // Without Ctrl the wheel does not zoom, and the count starts again.
    EXPECT_EQ(wheel.Wheel(120, Qt::NoModifier, state), A::None);
    EXPECT_EQ(wheel.Wheel(60, Qt::ControlModifier, state), A::None);
    // A disabled button rules the wheel too.
    EXPECT_EQ(wheel.Wheel(120, Qt::ControlModifier, State(true, true, true, false, true)), A::None);
    EXPECT_EQ(wheel.Wheel(-120, Qt::ControlModifier, State(true, true, true, true, false)), A::None);
}
