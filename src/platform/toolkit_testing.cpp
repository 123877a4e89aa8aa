// Test drivers on GTK, XTest (through GDK) and WebKitGTK.
#include "platform/toolkit_testing.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/gtk_text.h"
#include "platform/window_internal.h"

void PumpWindowEvents() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    PumpWindowEvents();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_usleep(2000);
  }
}

void RepeatUntilDone(std::function<bool()> step, int intervalMs) {
  auto* owned = new std::function<bool()>(std::move(step));
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(intervalMs),
      [](gpointer data) -> gboolean { return (*static_cast<std::function<bool()>*>(data))() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE; },
      owned, [](gpointer data) { delete static_cast<std::function<bool()>*>(data); });
}

namespace {

// The widget that receives pointer input for a control.
GtkWidget* InputWidget(Control* control) { return control->widget != nullptr ? control->widget : control->outer; }

void SyncDisplay() {
  gdk_display_sync(gdk_display_get_default());
  PumpWindowEvents();
}

// Button releases the toolkit has taken in, so that a click can wait for its
// own: the server has queued the events once the display is synced, but the
// toolkit may read them a round of its loop later.
unsigned buttonReleasesSeen = 0;

void CountButtonReleases(GdkEvent* event, gpointer) {
  if (event->type == GDK_BUTTON_RELEASE) ++buttonReleasesSeen;
  gtk_main_do_event(event);
}

}  // namespace

void ClickAt(Control* control, int x, int y, int button) {
  GtkWidget* widget = InputWidget(control);
  int left = 0;
  int top = 0;
  if (control->kind == ControlKind::kList) {
    // The rows area, below the column titles.
    gdk_window_get_origin(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(widget)), &left, &top);
  } else {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    int tx = 0;
    int ty = 0;
    gtk_widget_translate_coordinates(widget, toplevel, 0, 0, &tx, &ty);
    gdk_window_get_origin(gtk_widget_get_window(toplevel), &left, &top);
    left += tx;
    top += ty;
  }
  // XTest input goes through the server like a real mouse's; events sent to
  // a window directly would bypass the toolkit's input devices.
  static const bool counting = (gdk_event_handler_set(CountButtonReleases, nullptr, nullptr), true);
  (void)counting;
  const unsigned releasesBefore = buttonReleasesSeen;
  Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
  // The toolkit counts in logical pixels, the server in device pixels.
  const int scale = gtk_widget_get_scale_factor(widget);
  XTestFakeMotionEvent(display, -1, (left + x) * scale, (top + y) * scale, CurrentTime);
  XFlush(display);
  SyncDisplay();
  // Press and release go out together, a quick click as a hand makes it:
  // a release that the server stamps more than half a second after its
  // press (a busy machine between the two) closes the menu the press
  // opened, as it does for a user who holds the button that long.
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), True, CurrentTime);
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), False, CurrentTime);
  XFlush(display);
  SyncDisplay();
  PumpUntil([&] { return buttonReleasesSeen != releasesBefore; }, 2000);
}

void ClickControl(Control* control, int button) {
  GtkAllocation area;
  gtk_widget_get_allocation(InputWidget(control), &area);
  ClickAt(control, area.width / 2, area.height / 2, button);
}

void PressButton(Control* button) { gtk_button_clicked(GTK_BUTTON(button->widget)); }

void PasteUtf8Text(Control* edit, std::string_view utf8) {
  const std::string text(utf8);
  gtk_entry_set_text(GTK_ENTRY(edit->widget), text.c_str());
}

namespace {

// Every toplevel window of the process, newest first.
std::vector<GtkWidget*> Toplevels() {
  std::vector<GtkWidget*> windows;
  GList* all = gtk_window_list_toplevels();
  for (GList* it = all; it != nullptr; it = it->next) windows.push_back(static_cast<GtkWidget*>(it->data));
  g_list_free(all);
  return windows;
}

std::vector<GtkWidget*> MessageBoxWidgets() {
  std::vector<GtkWidget*> boxes;
  for (GtkWidget* widget : Toplevels()) {
    // The program makes no message dialog but its message boxes.
    if (GTK_IS_MESSAGE_DIALOG(widget) && gtk_widget_get_visible(widget)) {
      boxes.push_back(widget);
    }
  }
  // Newest toplevels come first in GTK's list.
  return {boxes.rbegin(), boxes.rend()};
}

std::string BoxText(GtkWidget* box) {
  gchar* text = nullptr;
  g_object_get(box, "text", &text, nullptr);
  std::string out = text != nullptr ? text : "";
  g_free(text);
  return out;
}

}  // namespace

std::vector<MessageBoxInfo> OpenMessageBoxes() {
  std::vector<MessageBoxInfo> out;
  for (GtkWidget* box : MessageBoxWidgets()) {
    const char* title = gtk_window_get_title(GTK_WINDOW(box));
    out.push_back({Utf8ToGbk(title != nullptr ? title : ""), Utf8ToGbk(BoxText(box)),
                   gtk_window_get_modal(GTK_WINDOW(box)) != FALSE});
  }
  return out;
}

bool CloseMessageBox(std::string_view title) {
  std::string wanted = GbkToUtf8(title);
  for (GtkWidget* box : MessageBoxWidgets()) {
    const char* current = gtk_window_get_title(GTK_WINDOW(box));
    if (current != nullptr && wanted == current) {
      gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
      return true;
    }
  }
  return false;
}

bool WebViewLoaded(Control* view) {
  if (view->kind != ControlKind::kWebView || view->widget == nullptr) return false;
  WebKitWebView* web = WEBKIT_WEB_VIEW(view->widget);
  return !webkit_web_view_is_loading(web) && webkit_web_view_get_estimated_load_progress(web) >= 1.0;
}

namespace {

struct ScriptResult {
  bool done = false;
  std::string value;
};

void OnScriptDone(GObject* source, GAsyncResult* result, gpointer data) {
  auto* out = static_cast<ScriptResult*>(data);
  JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
  if (value != nullptr) {
    if (jsc_value_is_string(value)) {
      gchar* text = jsc_value_to_string(value);
      out->value = text;
      g_free(text);
    }
    g_object_unref(value);
  }
  out->done = true;
}

}  // namespace

std::string WebViewRunScript(Control* view, std::string_view script) {
  if (view->kind != ControlKind::kWebView || view->widget == nullptr) return {};
  const std::string source(script);
  ScriptResult result;
  webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(view->widget), source.c_str(), -1, nullptr, nullptr, nullptr,
                                      OnScriptDone, &result);
  PumpUntil([&] { return result.done; });
  return Utf8ToGbk(result.value);
}

bool WebViewLinkPoint(Control* view, int index, int& x, int& y) {
  if (!WebViewLoaded(view)) return false;
  std::string script = "(function(){var a=document.links[" + std::to_string(index) +
                       "]; if(!a) return ''; a.scrollIntoView({block:'center'});"
                       " var r=a.getBoundingClientRect();"
                       " return Math.round(r.left+r.width/2)+','+Math.round(r.top+r.height/2);})()";
  return std::sscanf(WebViewRunScript(view, script).c_str(), "%d,%d", &x, &y) == 2;
}

std::string WebViewAddress(Control* view) {
  if (view->kind != ControlKind::kWebView || view->widget == nullptr) return {};
  const char* uri = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(view->widget));
  return Utf8ToGbk(uri != nullptr ? uri : "");
}

namespace {

struct DownloadEnd {
  bool finished = false;
  bool failed = false;
};

}  // namespace

std::string DownloadInWebView(Control* view, std::string_view address) {
  if (view->kind != ControlKind::kWebView || view->widget == nullptr) return {};
  const std::string uri = GbkToUtf8(address);
  WebKitDownload* download = webkit_web_view_download_uri(WEBKIT_WEB_VIEW(view->widget), uri.c_str());
  DownloadEnd end;
  g_signal_connect(download, "failed", G_CALLBACK(+[](WebKitDownload*, GError*, gpointer data) {
                     static_cast<DownloadEnd*>(data)->failed = true;
                   }),
                   &end);
  // Emitted last, after a failure too.
  g_signal_connect(download, "finished",
                   G_CALLBACK(+[](WebKitDownload*, gpointer data) { static_cast<DownloadEnd*>(data)->finished = true; }),
                   &end);
  PumpUntil([&] { return end.finished; }, 30000);
  g_signal_handlers_disconnect_by_data(download, &end);
  std::string written;
  const char* destination = webkit_download_get_destination(download);
  if (end.finished && !end.failed && destination != nullptr) {
    // Older engines give the destination as a file URI.
    gchar* path = g_filename_from_uri(destination, nullptr, nullptr);
    written = path != nullptr ? path : destination;
    g_free(path);
  }
  g_object_unref(download);
  return written;
}

std::string DownloadFolder() {
  const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  return folder != nullptr ? folder : g_get_home_dir();
}

namespace {

// Toolkit menus shown on the screen, whoever made them.
std::vector<GtkMenuShell*> ShownMenus() {
  std::vector<GtkMenuShell*> menus;
  for (GtkWidget* window : Toplevels()) {
    GtkWidget* child = GTK_IS_BIN(window) ? gtk_bin_get_child(GTK_BIN(window)) : nullptr;
    if (child != nullptr && GTK_IS_MENU(child) && gtk_widget_get_mapped(child)) {
      menus.push_back(GTK_MENU_SHELL(child));
    }
  }
  return menus;
}

}  // namespace

std::vector<std::string> ShownMenuItems() {
  std::vector<std::string> labels;
  for (GtkMenuShell* menu : ShownMenus()) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* it = children; it != nullptr; it = it->next) {
      auto* item = static_cast<GtkWidget*>(it->data);
      if (!GTK_IS_MENU_ITEM(item) || GTK_IS_SEPARATOR_MENU_ITEM(item) || !gtk_widget_get_visible(item)) continue;
      const char* label = gtk_menu_item_get_label(GTK_MENU_ITEM(item));
      std::string text = label != nullptr ? label : "";
      // As shown: without the underscore that marks the access key.
      if (gtk_menu_item_get_use_underline(GTK_MENU_ITEM(item))) std::erase(text, '_');
      labels.push_back(Utf8ToGbk(text));
    }
    g_list_free(children);
  }
  return labels;
}

void CloseShownMenus() {
  for (GtkMenuShell* menu : ShownMenus()) gtk_menu_shell_cancel(menu);
}

bool FrameResizable(Frame* frame) { return gtk_window_get_resizable(GTK_WINDOW(frame->window)) != FALSE; }

WindowClassHint FrameWindowClass(Frame* frame) {
  WindowClassHint out;
  GdkWindow* shown = gtk_widget_get_window(frame->window);
  if (shown == nullptr || !GDK_IS_X11_WINDOW(shown)) return out;
  XClassHint hint{};
  if (XGetClassHint(GDK_WINDOW_XDISPLAY(shown), GDK_WINDOW_XID(shown), &hint) != 0) {
    out.instance = hint.res_name != nullptr ? hint.res_name : "";
    out.className = hint.res_class != nullptr ? hint.res_class : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  return out;
}

int FrameScaleFactor(Frame* frame) { return gtk_widget_get_scale_factor(frame->window); }

std::string DefaultIconName() {
  const char* name = gtk_window_get_default_icon_name();
  return name != nullptr ? name : "";
}

std::string FrameTitleButtons(Frame* frame) {
  const char* layout = gtk_header_bar_get_decoration_layout(GTK_HEADER_BAR(frame->header));
  return layout != nullptr ? layout : "";
}

bool FrameShown(Frame* frame) { return gtk_widget_get_mapped(frame->window) != FALSE; }

std::string FrameTitle(Frame* frame) {
  const char* title = gtk_window_get_title(GTK_WINDOW(frame->window));
  return Utf8ToGbk(title != nullptr ? title : "");
}

void CloseFrame(Frame* frame) { gtk_window_close(GTK_WINDOW(frame->window)); }

bool FrameBlockedByModalBox(Frame* frame) {
  GtkWidget* grab = gtk_window_group_get_current_grab(gtk_window_get_group(GTK_WINDOW(frame->window)));
  return grab != nullptr && gtk_widget_get_toplevel(grab) != frame->window;
}

void MenuScreenOrigin(Menu* menu, int& x, int& y) {
  GtkWidget* top = gtk_widget_get_toplevel(menu->menu);
  x = y = 0;
  GdkWindow* shown = gtk_widget_get_window(top);
  if (shown != nullptr) gdk_window_get_origin(shown, &x, &y);
}

std::vector<ListColumnInfo> ListColumns(Control* list) {
  std::vector<ListColumnInfo> out;
  GList* columns = gtk_tree_view_get_columns(GTK_TREE_VIEW(list->widget));
  for (GList* it = columns; it != nullptr; it = it->next) {
    auto* column = GTK_TREE_VIEW_COLUMN(it->data);
    out.push_back({Utf8ToGbk(gtk_tree_view_column_get_title(column)), gtk_tree_view_column_get_fixed_width(column)});
  }
  g_list_free(columns);
  return out;
}

void FrameClientOrigin(Frame* frame, int& x, int& y) {
  int wx = 0;
  int wy = 0;
  gdk_window_get_origin(gtk_widget_get_window(frame->window), &wx, &wy);
  int cx = 0;
  int cy = 0;
  gtk_widget_translate_coordinates(frame->client, frame->window, 0, 0, &cx, &cy);
  x = wx + cx;
  y = wy + cy;
}

namespace {

PangoFontDescription* FontOf(Control* control) {
  PangoFontDescription* font = nullptr;
  GtkStyleContext* style = gtk_widget_get_style_context(control->widget);
  gtk_style_context_get(style, gtk_style_context_get_state(style), "font", &font, nullptr);
  return font;
}

}  // namespace

std::string ControlFontFace(Control* control) {
  PangoFontDescription* wanted = FontOf(control);
  PangoContext* context = gtk_widget_get_pango_context(control->widget);
  PangoFont* font = pango_context_load_font(context, wanted);
  std::string face;
  if (font != nullptr) {
    PangoFontDescription* actual = pango_font_describe(font);
    const char* family = pango_font_description_get_family(actual);
    face = family != nullptr ? family : "";
    pango_font_description_free(actual);
    g_object_unref(font);
  }
  pango_font_description_free(wanted);
  return face;
}

int ControlFontPixels(Control* control) {
  PangoFontDescription* font = FontOf(control);
  double size = pango_font_description_get_size(font) / static_cast<double>(PANGO_SCALE);
  bool absolute = pango_font_description_get_size_is_absolute(font) != FALSE;
  pango_font_description_free(font);
  double dpi = gdk_screen_get_resolution(gdk_screen_get_default());
  if (dpi <= 0) dpi = 96.0;
  return static_cast<int>(std::lround(absolute ? size : size * dpi / 72.0));
}

std::string ClipboardText() {
  gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
  std::string out = text != nullptr ? text : "";
  g_free(text);
  return Utf8ToGbk(out);
}

bool SaveScreenshot(const char* path) {
  GdkWindow* root = gdk_get_default_root_window();
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root), gdk_window_get_height(root));
  if (shot == nullptr) return false;
  gboolean ok = gdk_pixbuf_save(shot, path, "png", nullptr, nullptr);
  g_object_unref(shot);
  return ok != FALSE;
}
