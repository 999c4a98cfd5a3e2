#include "platform/MessageBox.h"

#include <gtk/gtk.h>

#include <atomic>
#include <condition_variable>
#include <thread>

#include "platform/posix/FileDescriptor.h"
#include "support/Mutex.h"

namespace platform {

namespace {

// Written by EnableMessageDialogs on the main thread before it sets
// g_dialogsEnabled (release); read by callers after they have seen the flag
// set (acquire), so they need no lock of their own.
std::thread::id g_mainThread;
unsigned g_dialogTimeoutMs = 0;
std::atomic<bool> g_dialogsEnabled{false};

// The self-dismissal timer of one dialog; lives on the main thread's stack.
struct DismissTimer {
    GtkDialog* dialog;
    guint sourceId;  // 0 once the timer has fired
};

gboolean DismissDialog(gpointer data) {
    auto* timer = static_cast<DismissTimer*>(data);
    timer->sourceId = 0;
    gtk_dialog_response(timer->dialog, GTK_RESPONSE_OK);
    return G_SOURCE_REMOVE;
}

// Main thread only: shows the dialog and returns when it is dismissed.
void RunDialog(const std::string& text, MessageIcon icon) {
    const GtkMessageType type =
        icon == MessageIcon::Information ? GTK_MESSAGE_INFO : GTK_MESSAGE_OTHER;
    GtkWidget* dialog =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type, GTK_BUTTONS_OK, "%s", text.c_str());
    const char* title = g_get_application_name();
    gtk_window_set_title(GTK_WINDOW(dialog), title ? title : "");
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);

    DismissTimer timer{GTK_DIALOG(dialog), 0};
    if (const unsigned timeoutMs = g_dialogTimeoutMs) {
        timer.sourceId = g_timeout_add(timeoutMs, DismissDialog, &timer);
    }
    gtk_dialog_run(GTK_DIALOG(dialog));
    if (timer.sourceId != 0) g_source_remove(timer.sourceId);
    gtk_widget_destroy(dialog);
}

// Guards every PostedBox. The box reaches the main thread through GLib's
// idle queue; a static mutex, rather than one inside the box, orders the
// box's construction before the main thread's first look at it without
// relying on that queue.
Mutex g_postedBoxMutex;

// A box requested by another thread, which waits until the main thread has
// shown and closed the dialog. Lives on the requesting thread's stack.
struct PostedBox {
    std::condition_variable_any dismissed;
    std::string text GUARDED_BY(g_postedBoxMutex);
    MessageIcon icon GUARDED_BY(g_postedBoxMutex) = MessageIcon::None;
    bool done GUARDED_BY(g_postedBoxMutex) = false;
};

gboolean ShowPostedBox(gpointer data) {
    auto* box = static_cast<PostedBox*>(data);
    std::string text;
    MessageIcon icon;
    {
        MutexLock lock(g_postedBoxMutex);
        text = box->text;
        icon = box->icon;
    }
    RunDialog(text, icon);
    // Notify under the lock: the requester may free the box as soon as it
    // can take the lock again.
    MutexLock lock(g_postedBoxMutex);
    box->done = true;
    box->dismissed.notify_one();
    return G_SOURCE_REMOVE;
}

}  // namespace

void ShowMessageBox(const std::string& text, MessageIcon icon) {
    WriteErrorLine(text);
    if (!g_dialogsEnabled.load(std::memory_order_acquire)) return;
    if (std::this_thread::get_id() == g_mainThread) {
        RunDialog(text, icon);
        return;
    }
    PostedBox box;
    MutexLock lock(g_postedBoxMutex);
    box.text = text;
    box.icon = icon;
    // g_idle_add, not g_main_context_invoke: when the main loop is not running
    // at this moment, invoke would run the callback on this thread, and GTK
    // must only be called from the main thread.
    g_idle_add(ShowPostedBox, &box);
    // The analysis cannot see that the wait holds the lock when it checks.
    box.dismissed.wait(lock, [&box]() NO_THREAD_SAFETY_ANALYSIS { return box.done; });
}

void EnableMessageDialogs(unsigned timeoutMs) {
    g_mainThread = std::this_thread::get_id();
    g_dialogTimeoutMs = timeoutMs;
    g_dialogsEnabled.store(true, std::memory_order_release);
}

}  // namespace platform
