// A stand-in for the game, for the demo and the end-to-end tests: it shows the
// arguments and the working directory it was started with, and appends them
// to the file named by VORN_SAMPLE_GAME_RECORD. VORN_SAMPLE_GAME_SECONDS makes
// it close by itself. Without a display it prints them and ends.
#include <fcntl.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kTitle = "Quorvane 3D — sample game";

std::string CurrentDirectory() {
    char* cwd = getcwd(nullptr, 0);
    std::string text = cwd ? cwd : "?";
    free(cwd);
    return text;
}

// One block per start: "pid=", "cwd=", one "arg=" line per argument, then a
// blank line, so that a reader sees whole starts only.
std::string DescribeStart(int argc, char** argv) {
    std::string text = "pid=" + std::to_string(getpid()) + "\ncwd=" + CurrentDirectory() + "\n";
    for (int i = 1; i < argc; ++i) text += std::string("arg=") + argv[i] + "\n";
    return text + "\n";
}

// Appended with one write so that a reader never sees half a block.
void AppendRecord(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        perror(path);
        return;
    }
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) perror(path);
    close(fd);
}

gboolean CloseWindow(gpointer window) {
    gtk_widget_destroy(GTK_WIDGET(window));
    return G_SOURCE_REMOVE;
}

// What a person reads in the window: the same facts as the record.
std::string WindowText(int argc, char** argv) {
    gchar* folder = g_markup_escape_text(CurrentDirectory().c_str(), -1);
    std::string text = std::string("<big><b>") + kTitle +
                       "</b></big>\n\nWorking folder: " + folder + "\nArguments:";
    g_free(folder);
    if (argc < 2) text += " none";
    for (int i = 1; i < argc; ++i) {
        gchar* arg = g_markup_escape_text(argv[i], -1);
        text += std::string("\n    ") + arg;
        g_free(arg);
    }
    return text;
}

void ShowWindow(const std::string& markup) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), kTitle);
    gtk_window_set_default_size(GTK_WINDOW(window), 560, 240);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

    GtkWidget* label = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(label), markup.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_widget_set_margin_start(label, 24);
    gtk_widget_set_margin_end(label, 24);
    gtk_container_add(GTK_CONTAINER(window), label);

    if (const char* seconds = getenv("VORN_SAMPLE_GAME_SECONDS")) {
        g_timeout_add(static_cast<guint>(std::max(0.0, atof(seconds)) * 1000), CloseWindow, window);
    }
    gtk_widget_show_all(window);
    gtk_main();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string description = DescribeStart(argc, argv);
    fputs(description.c_str(), stdout);
    fflush(stdout);
    if (const char* record = getenv("VORN_SAMPLE_GAME_RECORD")) AppendRecord(record, description);
    if (gtk_init_check(&argc, &argv)) ShowWindow(WindowText(argc, argv));
    return 0;
}
