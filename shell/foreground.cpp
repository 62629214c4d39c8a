#include "shell/foreground.h"
#include <QGuiApplication>
#include <QWidget>

#ifdef LUMORA_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#endif

namespace {

#ifdef LUMORA_HAVE_XCB
struct TFreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using TReply = std::unique_ptr<T, TFreeReply>;

// The request a pager sends (source indication 2). Without a window manager
// nobody reads it, which is harmless.
void AskWindowManagerToActivate(QWidget* window) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return;
    const auto id = xcb_window_t(window->winId());
    TReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, id), nullptr));
    static const char name[] = "_NET_ACTIVE_WINDOW";
    TReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr));
    if (!tree || !atom) return;
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = atom->atom;
    event.data.data32[0] = 2;                 // from the user, through a pager
    event.data.data32[1] = XCB_CURRENT_TIME;
    event.data.data32[2] = 0;                 // no window of ours is active
    xcb_send_event(c, 0, tree->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}
#endif

} // namespace

void BringToFront(QWidget* window) {
    if (!window) return;
    window = window->window();
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    if (!window->isVisible()) window->show();
    window->raise();
    window->activateWindow();
#ifdef LUMORA_HAVE_XCB
    AskWindowManagerToActivate(window);
#endif
}
