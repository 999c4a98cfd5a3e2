// Dialog tests against a private X server (Xvfb).
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/MessageBox.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr int kServerStartMs = 10000;
// Observer ticks (20 ms each) before a box is dismissed by force.
constexpr int kForceDismissTicks = 500;

// Starts Xvfb on a free display and points DISPLAY at it.
class PrivateXServer {
public:
    bool Start() {
        int ready[2];
        if (access(kXvfb, X_OK) != 0 || pipe(ready) != 0) return false;
        m_pid = ForkChild([&] {
            close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            execl(kXvfb, kXvfb, "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten",
                  "tcp", static_cast<char*>(nullptr));
            return 127;
        });
        close(ready[1]);
        std::string display;
        pollfd wait{ready[0], POLLIN, 0};
        char c;
        while (poll(&wait, 1, kServerStartMs) == 1 && read(ready[0], &c, 1) == 1 && c != '\n') {
            display += c;
        }
        close(ready[0]);
        if (display.empty()) return false;
        setenv("DISPLAY", (":" + display).c_str(), 1);
        return true;
    }
    ~PrivateXServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            WaitStatus(m_pid);
        }
    }

private:
    pid_t m_pid = -1;
};

// Watches for a visible message dialog from the main loop, notes what it
// shows and dismisses it (unless told to leave that to the dialog itself).
struct DialogObserver {
    bool dismiss = true;
    bool seen = false;
    bool forced = false;
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    std::function<void()> onSeen;
    int ticks = 0;
    guint sourceId = 0;

    void Start() { sourceId = g_timeout_add(20, Tick, this); }
    void Stop() {
        if (sourceId) g_source_remove(sourceId);
        sourceId = 0;
    }

    static gboolean Tick(gpointer data) {
        auto* self = static_cast<DialogObserver*>(data);
        ++self->ticks;
        GList* windows = gtk_window_list_toplevels();
        for (GList* item = windows; item; item = item->next) {
            if (!GTK_IS_MESSAGE_DIALOG(item->data) ||
                !gtk_widget_get_visible(GTK_WIDGET(item->data))) {
                continue;
            }
            if (!self->seen) {
                gchar* text = nullptr;
                g_object_get(item->data, "text", &text, "message-type", &self->type, nullptr);
                self->text = text ? text : "";
                g_free(text);
                self->seen = true;
                if (self->onSeen) self->onSeen();
            }
            const bool force = self->ticks > kForceDismissTicks;
            if (self->dismiss || force) {
                self->forced = force && !self->dismiss;
                gtk_dialog_response(GTK_DIALOG(item->data), GTK_RESPONSE_OK);
            }
        }
        g_list_free(windows);
        return G_SOURCE_CONTINUE;
    }
};

class MessageBoxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // No accessibility bus in a private X session.
        setenv("NO_AT_BRIDGE", "1", 1);
        s_server = new PrivateXServer;
        s_ready = s_server->Start() && gtk_init_check(nullptr, nullptr);
        if (s_ready) EnableMessageDialogs();
    }
    static void TearDownTestSuite() {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override {
        if (!s_ready) GTEST_SKIP() << "no X server for dialogs";
        EnableMessageDialogs();  // without a time-out unless a test asks for one
    }

    static PrivateXServer* s_server;
    static bool s_ready;
    TempDir m_dir;
};

PrivateXServer* MessageBoxTest::s_server = nullptr;
bool MessageBoxTest::s_ready = false;

TEST_F(MessageBoxTest, TheMainThreadShowsAModalDialogUntilItIsDismissed) {
    struct Case {
        MessageIcon icon;
        GtkMessageType type;
    };
    for (const Case& c : {Case{MessageIcon::Information, GTK_MESSAGE_INFO},
                          Case{MessageIcon::None, GTK_MESSAGE_OTHER}}) {
        DialogObserver observer;
        observer.Start();
        CapturedStderr errors(m_dir / "stderr");
        ShowMessageBox("游戏正在下载安装中！", c.icon);
        const std::string line = errors.Text();
        observer.Stop();
        ASSERT_TRUE(observer.seen);
        EXPECT_EQ(observer.text, "游戏正在下载安装中！");
        EXPECT_EQ(observer.type, c.type);
        EXPECT_EQ(line, "游戏正在下载安装中！\n");
    }
}

TEST_F(MessageBoxTest, AnotherThreadWaitsUntilTheMainThreadsDialogIsDismissed) {
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    std::atomic<bool> workerReturned{false};
    bool workerWaitedWhileShown = false;

    DialogObserver observer;
    observer.onSeen = [&] { workerWaitedWhileShown = !workerReturned.load(); };
    observer.Start();
    std::thread worker([&] {
        ShowMessageBox("network failure");
        workerReturned = true;
        g_idle_add(
            [](gpointer data) {
                g_main_loop_quit(static_cast<GMainLoop*>(data));
                return G_SOURCE_REMOVE;
            },
            loop);
    });
    g_main_loop_run(loop);
    worker.join();
    observer.Stop();
    g_main_loop_unref(loop);

    EXPECT_TRUE(workerReturned);
    ASSERT_TRUE(observer.seen);
    EXPECT_EQ(observer.text, "network failure");
    EXPECT_TRUE(workerWaitedWhileShown);
}

TEST_F(MessageBoxTest, WithATimeoutTheDialogDismissesItself) {
    EnableMessageDialogs(200);
    DialogObserver observer;
    observer.dismiss = false;
    observer.Start();
    ShowMessageBox("closes by itself");
    observer.Stop();
    EXPECT_TRUE(observer.seen);
    EXPECT_FALSE(observer.forced);
}

}  // namespace
}  // namespace platform
