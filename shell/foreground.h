#pragma once
class QWidget;

// Brings Window's top-level window to the user: restored when minimised
// (keeping it maximised when it was), shown when hidden, raised and
// activated. On X11 the window manager is also asked directly with a
// _NET_ACTIVE_WINDOW request marked as coming from the user, as a task bar
// sends it: the user has just started the program again, and focus-stealing
// prevention would otherwise leave the window behind the others.
// Main thread only; a null Window does nothing.
void BringToFront(QWidget* window);
