// The limits the window benchmarks measure the program against: the least a
// program on the same libraries does to show a window, and, built with
// MINIMAL_WEB_VIEW, the same window with a web view of the browser box's
// size and settings showing a page read from a file.
//
//   minimal_gtk_window TITLE
//   minimal_webkit_window TITLE PAGE.html
//
// Started by bench_ui, which watches the display for the window's map.
#include <gtk/gtk.h>
#ifdef MINIMAL_WEB_VIEW
#include <webkit2/webkit2.h>
#endif

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), argc > 1 ? argv[1] : "minimal");
  gtk_window_set_default_size(GTK_WINDOW(window), 320, 336);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
#ifdef MINIMAL_WEB_VIEW
  GtkWidget* view = webkit_web_view_new();
  WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view));
  webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  webkit_settings_set_zoom_text_only(settings, TRUE);
  gtk_widget_set_size_request(view, 304, 320);
  gtk_container_add(GTK_CONTAINER(window), view);
  gchar* page = nullptr;
  if (argc > 2 && g_file_get_contents(argv[2], &page, nullptr, nullptr)) {
    webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), page, "about:blank");
    g_free(page);
  }
#endif
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
