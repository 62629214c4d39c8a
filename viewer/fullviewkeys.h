#pragma once
// What a key or the wheel does on the full view, decided apart from the
// widgets: Page Up/Down step to the previous/next photo; Left/Right do too
// unless the picture is larger than the panel, when the four arrow keys pan
// it; Home/End go to the first/last photo; "+" and "-" (also with Ctrl, and
// Ctrl with the wheel) zoom; Escape goes back to the thumbnails. A key whose
// button is disabled does nothing, so the keys never go where the buttons
// can't.
#include <Qt>

enum class TFullViewAction {
    None,
    Previous, Next, First, Last,
    ZoomIn, ZoomOut,
    // Look further that way: PanLeft moves the picture to the right.
    PanLeft, PanRight, PanUp, PanDown,
    BackToThumbnails
};

// The page's state the keys depend on.
struct TFullViewKeyState {
    bool PreviousEnabled = false;  // also rules Home
    bool NextEnabled = false;      // also rules End
    bool ZoomInEnabled = false;
    bool ZoomOutEnabled = false;
    bool PictureLarger = false;    // wider or taller than the panel
};

TFullViewAction FullViewKeyAction(int key, Qt::KeyboardModifiers modifiers, const TFullViewKeyState& state);

// Ctrl with the wheel: one zoom step per notch (120 eighths of a degree),
// added up over the small steps of a touchpad. Forward zooms in. At most
// one step per event: each step runs an animation, and a fast spin must not
// queue up a dozen of them.
class TWheelZoom {
public:
    static constexpr int Notch = 120;
    TFullViewAction Wheel(int angleDeltaY, Qt::KeyboardModifiers modifiers, const TFullViewKeyState& state);
    void Reset() { FAccumulated = 0; }

private:
    int FAccumulated = 0;
};
