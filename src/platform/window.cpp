// The window stand-in on GTK 3 and WebKitGTK.
//
// Layout: the frame is a non-resizable GtkWindow whose title bar is a
// compact GtkHeaderBar with only a close button. Below it sits a GtkLayout,
// the client area, with a thin margin on the left, right and bottom as the
// frame's border. A GtkLayout does not ask for the size of its children, so
// its size request alone sets the window's width: the web view may lie
// beyond the right edge, out of sight, until the program widens the frame.
#include "platform/window.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gtk_text.h"
#include "platform/shell.h"
#include "platform/toolkit.h"
#include "platform/web_view_module.h"
#include "platform/window_internal.h"

namespace {

constexpr int kBorder = 3;  // left, right and bottom edge of the frame

constexpr char kStyle[] = R"(
window.quorvane-frame decoration { margin: 0; padding: 0; border: none; border-radius: 0; box-shadow: none; }
window.quorvane-frame headerbar { min-height: 24px; padding: 0 2px 0 6px; margin: 0; border-radius: 0; }
window.quorvane-frame headerbar .title { font-weight: bold; font-size: 9pt; }
window.quorvane-frame headerbar button.titlebutton { min-height: 18px; min-width: 18px; padding: 0; margin: 0; border: none; }
.quorvane-client { font-size: 9pt; }
.quorvane-client button { min-height: 0; min-width: 0; padding: 0 2px; }
.quorvane-client entry { min-height: 0; padding-top: 0; padding-bottom: 0; color: black; background-color: white; }
.quorvane-client checkbutton { min-height: 0; padding: 0; }
.quorvane-client check { margin: 0 4px 0 0; }
.quorvane-client label.quorvane-label { color: black; }
)";

void InstallStyleOnce() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, kStyle, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
  // The title bar offers no way to minimise or maximise: its clicks do
  // nothing beyond moving the window and its close button.
  g_object_set(gtk_settings_get_default(), "gtk-titlebar-double-click", "none", "gtk-titlebar-middle-click", "none",
               "gtk-titlebar-right-click", "none", nullptr);
}

// Tells a window manager, if there is one, to offer only moving and closing.
void OnFrameRealize(GtkWidget* window, gpointer) {
  gdk_window_set_functions(gtk_widget_get_window(window), GdkWMFunction(GDK_FUNC_MOVE | GDK_FUNC_CLOSE));
}

}  // namespace

namespace {

gboolean OnFrameDelete(GtkWidget* window, GdkEvent*, gpointer data) {
  auto* frame = static_cast<Frame*>(data);
  gtk_widget_hide(window);
  if (frame->onClose) frame->onClose();
  return TRUE;
}

int ClientWidthFor(int outerWidth) { return std::max(1, outerWidth - 2 * kBorder); }

// --- web view ---------------------------------------------------------------

// Where the view sends what it does not show itself.
void OpenElsewhere(void* owner, const char* address, bool newWindow) {
  auto* control = static_cast<Control*>(owner);
  std::string gbk = Utf8ToGbk(address);
  std::optional<bool> answer;
  if (newWindow && control->onNewWindow) answer = control->onNewWindow(gbk);
  if (answer.value_or(true)) ShellExecuteA(nullptr, "open", gbk.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

constexpr WebViewHost kWebViewHost{OpenElsewhere};

// Without the module the box stays an empty area of the window; everything
// else works as before.
void StartWebView(Control* control, const WebViewOps* ops) {
  if (ops == nullptr) return;
  GtkWidget* view = ops->create(&kWebViewHost, control, control->html.c_str());
  gtk_widget_set_hexpand(view, TRUE);
  gtk_widget_set_vexpand(view, TRUE);
  gtk_container_add(GTK_CONTAINER(control->outer), view);
  control->widget = view;
}

gboolean StartWebViews(gpointer data) {
  auto* frame = static_cast<Frame*>(data);
  for (auto& control : frame->controls) {
    if (control->kind == ControlKind::kWebView && control->widget == nullptr) {
      StartWebView(control.get(), LoadWebViewModule());
    }
  }
  return G_SOURCE_REMOVE;
}

// The web engine's libraries are loaded, and its helper processes started,
// when the first view is made; wait until the frame has been drawn once so
// that its appearance never waits for them.
gboolean OnFirstDraw(GtkWidget* window, cairo_t*, gpointer data) {
  auto* frame = static_cast<Frame*>(data);
  g_signal_handler_disconnect(window, frame->drawHandler);
  frame->drawHandler = 0;
  if (!frame->webViewsStarted) {
    frame->webViewsStarted = true;
    g_idle_add_full(G_PRIORITY_LOW, StartWebViews, frame, nullptr);
  }
  return FALSE;
}

// --- list -------------------------------------------------------------------

gboolean OnListButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer data) {
  if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_SECONDARY) return FALSE;
  auto* control = static_cast<Control*>(data);
  GtkTreeView* view = GTK_TREE_VIEW(widget);
  GtkTreePath* path = nullptr;
  if (event->window == gtk_tree_view_get_bin_window(view) &&
      gtk_tree_view_get_path_at_pos(view, static_cast<int>(event->x), static_cast<int>(event->y), &path, nullptr,
                                    nullptr, nullptr)) {
    gtk_tree_selection_select_path(gtk_tree_view_get_selection(view), path);
    gtk_tree_path_free(path);
  }
  if (control->onRightClick) control->onRightClick();
  return TRUE;
}

void OnMenuItemActivate(GtkMenuItem* item, gpointer data) {
  auto* menu = static_cast<Menu*>(data);
  for (size_t i = 0; i < menu->items.size(); ++i) {
    if (menu->items[i] == GTK_WIDGET(item) && menu->onChosen[i]) menu->onChosen[i]();
  }
}

Control* Place(Frame* frame, std::unique_ptr<Control> control, ControlRect rect) {
  gtk_widget_set_size_request(control->outer, rect.width, rect.height);
  gtk_layout_put(GTK_LAYOUT(frame->client), control->outer, rect.left, rect.top);
  control->frame = frame;
  frame->controls.push_back(std::move(control));
  return frame->controls.back().get();
}

void Style(GtkWidget* widget, const std::string& css) {
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
  g_object_unref(provider);
}

}  // namespace

// --- frame ------------------------------------------------------------------

Frame* CreateFrame(const FrameOptions& options) {
  InstallStyleOnce();
  auto* frame = new Frame;
  frame->onClose = options.onClose;
  frame->outerWidth = options.outerWidth;
  frame->outerHeight = options.outerHeight;

  frame->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(frame->window);
  gtk_style_context_add_class(gtk_widget_get_style_context(frame->window), "quorvane-frame");
  std::string title = GbkToUtf8(options.title);
  gtk_window_set_title(window, title.c_str());
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_position(window, GTK_WIN_POS_CENTER);

  frame->header = gtk_header_bar_new();
  gtk_header_bar_set_title(GTK_HEADER_BAR(frame->header), title.c_str());
  gtk_header_bar_set_has_subtitle(GTK_HEADER_BAR(frame->header), FALSE);
  gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(frame->header), TRUE);
  gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(frame->header), ":close");
  gtk_window_set_titlebar(window, frame->header);
  gtk_widget_show_all(frame->header);

  frame->client = gtk_layout_new(nullptr, nullptr);
  gtk_style_context_add_class(gtk_widget_get_style_context(frame->client), "quorvane-client");
  gtk_widget_set_margin_start(frame->client, kBorder);
  gtk_widget_set_margin_end(frame->client, kBorder);
  gtk_widget_set_margin_bottom(frame->client, kBorder);
  gtk_container_add(GTK_CONTAINER(frame->window), frame->client);

  int minimum = 0;
  int natural = 0;
  gtk_widget_get_preferred_height(frame->header, &minimum, &natural);
  frame->clientHeight = std::max(1, options.outerHeight - natural - kBorder);
  gtk_widget_set_size_request(frame->client, ClientWidthFor(options.outerWidth), frame->clientHeight);

  g_signal_connect(frame->window, "delete-event", G_CALLBACK(OnFrameDelete), frame);
  g_signal_connect(frame->window, "realize", G_CALLBACK(OnFrameRealize), nullptr);
  frame->drawHandler = g_signal_connect_after(frame->window, "draw", G_CALLBACK(OnFirstDraw), frame);
  return frame;
}

void DestroyFrame(Frame* frame) {
  if (frame == nullptr) return;
  OnUi([&] {
    // A web view still waiting to start must not start on a freed frame.
    g_idle_remove_by_data(frame);
    if (frame->drawHandler != 0) g_signal_handler_disconnect(frame->window, frame->drawHandler);
    gtk_widget_destroy(frame->window);
  });
  delete frame;
}

void ShowFrame(Frame* frame) {
  OnUi([&] { gtk_widget_show_all(frame->window); });
}

void SetFrameOuterWidth(Frame* frame, int outerWidth) {
  OnUi([&] {
    frame->outerWidth = outerWidth;
    gtk_widget_set_size_request(frame->client, ClientWidthFor(outerWidth), frame->clientHeight);
    gtk_window_resize(GTK_WINDOW(frame->window), outerWidth, frame->outerHeight);
  });
}

// --- controls ---------------------------------------------------------------

Control* AddLabel(Frame* frame, ControlRect rect, std::string_view text, const LabelOptions& options) {
  auto control = std::make_unique<Control>();
  control->kind = ControlKind::kLabel;
  control->widget = gtk_label_new(GbkToUtf8(text).c_str());
  // A label keeps its place even when its text is wider: the layout around
  // it clips the text instead of letting it push the label's size.
  control->outer = gtk_layout_new(nullptr, nullptr);
  gtk_widget_set_size_request(control->widget, rect.width, rect.height);
  gtk_layout_put(GTK_LAYOUT(control->outer), control->widget, 0, 0);
  GtkLabel* label = GTK_LABEL(control->widget);
  gtk_label_set_xalign(label, options.centered ? 0.5f : 0.0f);
  gtk_label_set_yalign(label, 0.5f);
  gtk_label_set_single_line_mode(label, TRUE);
  gtk_style_context_add_class(gtk_widget_get_style_context(control->widget), "quorvane-label");
  std::string family = GbkToUtf8(options.fontFamily != nullptr ? options.fontFamily : "");
  if (!family.empty() || options.fontPixels > 0) {
    std::string css = "label {";
    if (!family.empty()) css += " font-family: \"" + family + "\";";
    if (options.fontPixels > 0) css += " font-size: " + std::to_string(options.fontPixels) + "px;";
    css += " font-weight: 400; font-style: normal; text-decoration-line: none; }";
    Style(control->widget, css);
  }
  return Place(frame, std::move(control), rect);
}

Control* AddEdit(Frame* frame, ControlRect rect) {
  auto control = std::make_unique<Control>();
  control->kind = ControlKind::kEdit;
  control->widget = control->outer = gtk_entry_new();
  gtk_entry_set_width_chars(GTK_ENTRY(control->widget), 1);
  return Place(frame, std::move(control), rect);
}

Control* AddButton(Frame* frame, ControlRect rect, std::string_view text, std::function<void()> onClick) {
  auto control = std::make_unique<Control>();
  control->kind = ControlKind::kButton;
  control->onClick = std::move(onClick);
  control->widget = control->outer = gtk_button_new_with_label(GbkToUtf8(text).c_str());
  Control* placed = Place(frame, std::move(control), rect);
  g_signal_connect(placed->widget, "clicked", G_CALLBACK(+[](GtkButton*, gpointer data) {
                     auto* c = static_cast<Control*>(data);
                     if (c->onClick) c->onClick();
                   }),
                   placed);
  return placed;
}

Control* AddCheckBox(Frame* frame, ControlRect rect, std::string_view text) {
  auto control = std::make_unique<Control>();
  control->kind = ControlKind::kCheckBox;
  control->widget = control->outer = gtk_check_button_new_with_label(GbkToUtf8(text).c_str());
  return Place(frame, std::move(control), rect);
}

Control* AddListView(Frame* frame, ControlRect rect, const std::vector<ListColumn>& columns,
                     std::function<void()> onRightClick) {
  auto control = std::make_unique<Control>();
  control->kind = ControlKind::kList;
  control->onRightClick = std::move(onRightClick);
  control->columns = static_cast<int>(columns.size());
  std::vector<GType> types(columns.size(), G_TYPE_STRING);
  control->rows = gtk_list_store_newv(control->columns, types.data());

  GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(control->rows));
  g_object_unref(control->rows);  // the view holds it
  GtkTreeView* tree = GTK_TREE_VIEW(view);
  gtk_tree_view_set_grid_lines(tree, GTK_TREE_VIEW_GRID_LINES_BOTH);
  gtk_tree_view_set_headers_visible(tree, TRUE);
  gtk_tree_view_set_enable_search(tree, FALSE);
  gtk_tree_view_set_reorderable(tree, FALSE);
  gtk_tree_selection_set_mode(gtk_tree_view_get_selection(tree), GTK_SELECTION_SINGLE);
  for (int i = 0; i < control->columns; ++i) {
    GtkCellRenderer* cell = gtk_cell_renderer_text_new();
    g_object_set(cell, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    GtkTreeViewColumn* column = gtk_tree_view_column_new_with_attributes(
        GbkToUtf8(columns[static_cast<size_t>(i)].title).c_str(), cell, "text", i, nullptr);
    gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
    gtk_tree_view_column_set_fixed_width(column, columns[static_cast<size_t>(i)].width);
    gtk_tree_view_column_set_resizable(column, TRUE);
    gtk_tree_view_column_set_alignment(column, 0.0f);
    gtk_tree_view_append_column(tree, column);
  }
  // Every column has a fixed width and one line of text: rows need not be
  // measured one by one, which keeps appending many rows cheap.
  gtk_tree_view_set_fixed_height_mode(tree, TRUE);
  gtk_tree_view_set_headers_clickable(tree, FALSE);

  control->outer = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(control->outer), GTK_SHADOW_IN);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(control->outer), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
  gtk_container_add(GTK_CONTAINER(control->outer), view);
  control->widget = view;
  Control* placed = Place(frame, std::move(control), rect);
  g_signal_connect(view, "button-press-event", G_CALLBACK(OnListButtonPress), placed);
  return placed;
}

Control* AddWebView(Frame* frame, ControlRect rect, std::string_view html, NewWindowHandler onNewWindow) {
  auto control = std::make_unique<Control>();
  control->kind = ControlKind::kWebView;
  control->onNewWindow = std::move(onNewWindow);
  control->html = GbkToUtf8(html);
  control->outer = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  return Place(frame, std::move(control), rect);
}

void SetControlText(Control* control, std::string_view text) {
  std::string utf8 = GbkToUtf8(text);
  OnUi([&] {
    switch (control->kind) {
      case ControlKind::kLabel:
        gtk_label_set_text(GTK_LABEL(control->widget), utf8.c_str());
        break;
      case ControlKind::kEdit:
        gtk_entry_set_text(GTK_ENTRY(control->widget), utf8.c_str());
        break;
      case ControlKind::kButton:
      case ControlKind::kCheckBox:
        gtk_button_set_label(GTK_BUTTON(control->widget), utf8.c_str());
        break;
      default:
        break;
    }
  });
}

std::string ControlText(Control* control) {
  std::string utf8 = OnUi([&]() -> std::string {
    switch (control->kind) {
      case ControlKind::kLabel:
        return gtk_label_get_text(GTK_LABEL(control->widget));
      case ControlKind::kEdit:
        return gtk_entry_get_text(GTK_ENTRY(control->widget));
      case ControlKind::kButton:
      case ControlKind::kCheckBox:
        return gtk_button_get_label(GTK_BUTTON(control->widget));
      default:
        return {};
    }
  });
  return Utf8ToGbk(utf8);
}

void SetControlEnabled(Control* control, bool enabled) {
  OnUi([&] { gtk_widget_set_sensitive(control->outer, enabled); });
}

bool CheckBoxChecked(Control* control) {
  return OnUi([&] { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control->widget)) != FALSE; });
}

// --- list rows --------------------------------------------------------------

void ListDeleteAllRows(Control* list) {
  OnUi([&] { gtk_list_store_clear(list->rows); });
}

ListRow::ListRow(std::initializer_list<std::string_view> cells) {
  toolkitTexts.reserve(cells.size());
  for (std::string_view cell : cells) toolkitTexts.push_back(GbkToUtf8(cell));
}

int ListAppendRow(Control* list, const ListRow& row) {
  return OnUi([&] {
    // One insert with every cell: the view hears of the row once, whole,
    // instead of once for the row and again for each cell written into it.
    const int cells = std::min(list->columns, static_cast<int>(row.toolkitTexts.size()));
    std::vector<gint> columns(static_cast<size_t>(cells));
    std::vector<GValue> values(static_cast<size_t>(cells), GValue G_VALUE_INIT);
    for (int i = 0; i < cells; ++i) {
      columns[static_cast<size_t>(i)] = i;
      g_value_init(&values[static_cast<size_t>(i)], G_TYPE_STRING);
      // The store copies the text; the value only lends it.
      g_value_set_static_string(&values[static_cast<size_t>(i)], row.toolkitTexts[static_cast<size_t>(i)].c_str());
    }
    GtkTreeIter iter;
    gtk_list_store_insert_with_valuesv(list->rows, &iter, -1, columns.data(), values.data(), cells);
    for (GValue& value : values) g_value_unset(&value);
    return gtk_tree_model_iter_n_children(GTK_TREE_MODEL(list->rows), nullptr) - 1;
  });
}

std::string ListCellText(Control* list, int row, int column) {
  std::string utf8 = OnUi([&]() -> std::string {
    GtkTreeIter iter;
    if (column < 0 || column >= list->columns || !RowIter(list, row, &iter)) return {};
    gchar* value = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(list->rows), &iter, column, &value, -1);
    std::string out = value != nullptr ? value : "";
    g_free(value);
    return out;
  });
  return Utf8ToGbk(utf8);
}

int ListRowCount(Control* list) {
  return OnUi([&] { return gtk_tree_model_iter_n_children(GTK_TREE_MODEL(list->rows), nullptr); });
}

int ListSelectedRow(Control* list) {
  return OnUi([&] {
    GtkTreeIter iter;
    GtkTreeModel* model = nullptr;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(list->widget)), &model, &iter)) {
      return -1;
    }
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    int row = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return row;
  });
}

// --- menu -------------------------------------------------------------------

Menu* CreatePopupMenu(Frame* owner, const std::vector<MenuItem>& items) {
  auto* menu = new Menu;
  owner->menus.emplace_back(menu);
  menu->menu = gtk_menu_new();
  for (const auto& item : items) {
    GtkWidget* widget = gtk_menu_item_new_with_label(GbkToUtf8(item.text).c_str());
    gtk_menu_shell_append(GTK_MENU_SHELL(menu->menu), widget);
    menu->items.push_back(widget);
    menu->onChosen.push_back(item.onChosen);
    g_signal_connect(widget, "activate", G_CALLBACK(OnMenuItemActivate), menu);
  }
  gtk_widget_show_all(menu->menu);
  // Attached, the menu goes with the frame's window.
  gtk_menu_attach_to_widget(GTK_MENU(menu->menu), owner->window, nullptr);
  return menu;
}

void PopupMenuAt(Menu* menu, int screenX, int screenY) {
  OnUi([&] {
    // Placed relative to the frame's own window: a Wayland compositor
    // places pop-ups only relative to a window of the program and tells it
    // no screen positions. There the frame's origin and the pointer's
    // position share the toolkit's stand-in screen, so the difference is
    // right on both kinds of display.
    GtkWidget* owner = gtk_menu_get_attach_widget(GTK_MENU(menu->menu));
    GdkWindow* anchor = owner != nullptr ? gtk_widget_get_window(owner) : nullptr;
    int originX = 0;
    int originY = 0;
    if (anchor != nullptr) {
      gdk_window_get_origin(anchor, &originX, &originY);
    } else {
      anchor = gdk_get_default_root_window();
    }
    GdkRectangle at{screenX - originX, screenY - originY, 1, 1};
    gtk_menu_popup_at_rect(GTK_MENU(menu->menu), anchor, &at, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST,
                           nullptr);
  });
}

void CursorScreenPosition(int& x, int& y) {
  OnUi([&] {
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
    x = y = 0;
    if (pointer != nullptr) gdk_device_get_position(pointer, nullptr, &x, &y);
  });
}

void CopyTextToClipboard(std::string_view text) {
  std::string utf8 = GbkToUtf8(text);
  OnUi([&] { gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), utf8.c_str(), -1); });
}
