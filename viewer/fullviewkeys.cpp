#include "viewer/fullviewkeys.h"

namespace {

// The keypad's own modifier says only where the key is.
Qt::KeyboardModifiers Significant(Qt::KeyboardModifiers modifiers) {
    return modifiers & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
}

TFullViewAction If(bool enabled, TFullViewAction action) {
    return enabled ? action : TFullViewAction::None;
}

} // namespace

TFullViewAction FullViewKeyAction(int key, Qt::KeyboardModifiers modifiers, const TFullViewKeyState& state) {
    const Qt::KeyboardModifiers mods = Significant(modifiers);
    // "+" is Shift with "=" on many keyboards, and Ctrl with "+"/"-" zooms
    // in most programs; other modifiers are left to shortcuts.
    const bool zoomModifiers = (mods & ~Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier)) == 0;
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return zoomModifiers ? If(state.ZoomInEnabled, TFullViewAction::ZoomIn) : TFullViewAction::None;
    case Qt::Key_Minus:
        return zoomModifiers ? If(state.ZoomOutEnabled, TFullViewAction::ZoomOut) : TFullViewAction::None;
    default:
        break;
    }
    if (mods != Qt::NoModifier) return TFullViewAction::None;
    switch (key) {
    case Qt::Key_PageUp: return If(state.PreviousEnabled, TFullViewAction::Previous);
    case Qt::Key_PageDown: return If(state.NextEnabled, TFullViewAction::Next);
    case Qt::Key_Home: return If(state.PreviousEnabled, TFullViewAction::First);
    case Qt::Key_End: return If(state.NextEnabled, TFullViewAction::Last);
    case Qt::Key_Left:
        return state.PictureLarger ? TFullViewAction::PanLeft : If(state.PreviousEnabled, TFullViewAction::Previous);
    case Qt::Key_Right:
        return state.PictureLarger ? TFullViewAction::PanRight : If(state.NextEnabled, TFullViewAction::Next);
    case Qt::Key_Up: return If(state.PictureLarger, TFullViewAction::PanUp);
    case Qt::Key_Down: return If(state.PictureLarger, TFullViewAction::PanDown);
    case Qt::Key_Escape: return TFullViewAction::BackToThumbnails;
    default: return TFullViewAction::None;
    }
}

TFullViewAction TWheelZoom::Wheel(int angleDeltaY, Qt::KeyboardModifiers modifiers,
                                  const TFullViewKeyState& state) {
    if (!(modifiers & Qt::ControlModifier) || angleDeltaY == 0) {
        // Without Ctrl the wheel is not ours, and counting starts afresh.
        if (!(modifiers & Qt::ControlModifier)) FAccumulated = 0;
        return TFullViewAction::None;
    }
    // Turning back throws away what was counted the other way.
    if ((FAccumulated > 0 && angleDeltaY < 0) || (FAccumulated < 0 && angleDeltaY > 0)) FAccumulated = 0;
    FAccumulated += angleDeltaY;
    if (FAccumulated >= Notch) {
        FAccumulated = 0;
        return If(state.ZoomInEnabled, TFullViewAction::ZoomIn);
    }
    if (FAccumulated <= -Notch) {
        FAccumulated = 0;
        return If(state.ZoomOutEnabled, TFullViewAction::ZoomOut);
    }
    return TFullViewAction::None;
}
