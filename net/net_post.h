// net/net_post.h
// How a network-tool worker hands its result record to the window that asked for it.
// A plain IsWindow-then-PostMessage leaves a gap: a dialog that is being destroyed still
// exists when the worker posts, and destroying it then discards the queued message with
// the record inside. Here the post and the window's closing take one lock: a window that
// closed its mailbox receives nothing more, and whatever reached its queue before is
// drained (and freed) by the window itself.
#ifndef ZAN_NET_NET_POST_H
#define ZAN_NET_NET_POST_H

#include <windows.h>

// Posts (msg, wp, record) to `owner` unless the window is gone or closed its mailbox.
// False when nothing was posted: the caller still owns the record and frees it.
bool net_post_record(HWND owner, UINT msg, WPARAM wp, void* record);
// From now on net_post_record refuses `window`. Called by the receiver on its own thread
// before it drains its queue and is destroyed.
void net_mailbox_close(HWND window);
// Removes every queued `msg` of `window` and hands each record to `free_record`.
// Returns the count removed.
int net_mailbox_drain(HWND window, UINT msg, void (*free_record)(void* record));

#endif
