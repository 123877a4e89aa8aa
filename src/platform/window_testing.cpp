// Test-only operations of the window stand-in, on its GTK internals.
#include "platform/window_testing.h"

#include <gtk/gtk.h>

#include <string>

#include "platform/gtk_text.h"
#include "platform/window_internal.h"

void FrameOuterSize(Frame* frame, int& width, int& height) {
  OnUi([&] {
    GdkWindow* x = gtk_widget_get_window(frame->window);
    if (x != nullptr && gtk_widget_get_mapped(frame->window)) {
      width = gdk_window_get_width(x);
      height = gdk_window_get_height(x);
    } else {
      width = frame->outerWidth;
      height = frame->outerHeight;
    }
  });
}

void FrameClientSize(Frame* frame, int& width, int& height) {
  OnUi([&] {
    GtkAllocation area;
    gtk_widget_get_allocation(frame->client, &area);
    width = area.width;
    height = area.height;
  });
}

bool ControlEnabled(Control* control) {
  return OnUi([&] { return gtk_widget_get_sensitive(control->outer) != FALSE; });
}

void SetCheckBoxChecked(Control* control, bool checked) {
  OnUi([&] { gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control->widget), checked); });
}

ControlRect ControlPlacement(Control* control) {
  return OnUi([&] {
    ControlRect rect;
    gtk_widget_translate_coordinates(control->outer, control->frame->client, 0, 0, &rect.left, &rect.top);
    GtkAllocation area;
    gtk_widget_get_allocation(control->outer, &area);
    rect.width = area.width;
    rect.height = area.height;
    return rect;
  });
}

void ListSetCellText(Control* list, int row, int column, std::string_view text) {
  std::string utf8 = GbkToUtf8(text);
  OnUi([&] {
    GtkTreeIter iter;
    if (column < 0 || column >= list->columns || !RowIter(list, row, &iter)) return;
    gtk_list_store_set(list->rows, &iter, column, utf8.c_str(), -1);
  });
}

void ListSelectRow(Control* list, int row) {
  OnUi([&] {
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(list->widget));
    GtkTreeIter iter;
    if (RowIter(list, row, &iter)) {
      gtk_tree_selection_select_iter(selection, &iter);
    } else {
      gtk_tree_selection_unselect_all(selection);
    }
  });
}

bool MenuShown(Menu* menu) {
  return OnUi([&] { return gtk_widget_get_mapped(menu->menu) != FALSE; });
}

void ChooseMenuItem(Menu* menu, int index) {
  OnUi([&] {
    if (index < 0 || index >= static_cast<int>(menu->items.size())) return;
    gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu->menu), menu->items[static_cast<size_t>(index)], TRUE);
  });
}
