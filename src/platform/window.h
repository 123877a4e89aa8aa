// A top-level window with fixed-place controls: labels, a one-line edit
// box, push buttons, a check box, a report-style list, an embedded web view
// and a pop-up menu.
//
//   Frame* frame = CreateFrame({.title = "标题", .outerWidth = 540, .outerHeight = 374});
//   Control* go = AddButton(frame, {477, 8, 48, 24}, "搜", [] { ... });
//   ShowFrame(frame);
//   SetControlEnabled(go, true);           // from any thread
//
// Texts are code page 936; they are converted at this boundary. Positions
// are client coordinates, the client area being the frame without its title
// bar and border. Creating a frame or control and setting a callback happen
// on the window thread; every other function may be called from any thread
// and returns when its change is complete (see toolkit.h). Callbacks run on
// the window thread.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Frame;    // a top-level window
struct Control;  // one control of a frame
struct Menu;     // a pop-up menu

struct ControlRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct FrameOptions {
  const char* title = "";
  int outerWidth = 0;   // title bar and border included
  int outerHeight = 0;
  // Runs when the user closes the frame; the frame is gone afterwards.
  std::function<void()> onClose;
};

Frame* CreateFrame(const FrameOptions& options);
void DestroyFrame(Frame* frame);
void ShowFrame(Frame* frame);  // centred on the screen
// Sets the outer width, keeping the left edge, the top and the height.
void SetFrameOuterWidth(Frame* frame, int outerWidth);

struct LabelOptions {
  bool centered = false;        // else left-aligned; always vertically centred
  const char* fontFamily = "";  // empty: the default GUI font
  int fontPixels = 0;           // 0: the default size
};

Control* AddLabel(Frame* frame, ControlRect rect, std::string_view text, const LabelOptions& options = {});
Control* AddEdit(Frame* frame, ControlRect rect);
Control* AddButton(Frame* frame, ControlRect rect, std::string_view text, std::function<void()> onClick);
Control* AddCheckBox(Frame* frame, ControlRect rect, std::string_view text);

struct ListColumn {
  const char* title = "";
  int width = 0;
};
// A report view: column titles, grid lines, one selected row at a time.
// `onRightClick` runs after a right button press in the list; a press on a
// row selects that row first.
Control* AddListView(Frame* frame, ControlRect rect, const std::vector<ListColumn>& columns,
                     std::function<void()> onRightClick);

// `onNewWindow` runs when the page is about to open a new window, with the
// address it wants to show. Answering false refuses the window; otherwise
// the address goes to the user's default browser. The view is created and
// starts loading `html` just after the frame first shows, so that the web
// engine never delays the frame's appearance.
using NewWindowHandler = std::function<std::optional<bool>(const std::string& address)>;
Control* AddWebView(Frame* frame, ControlRect rect, std::string_view html, NewWindowHandler onNewWindow);

void SetControlText(Control* control, std::string_view text);
std::string ControlText(Control* control);
void SetControlEnabled(Control* control, bool enabled);
bool CheckBoxChecked(Control* control);

// The list's rows, counted from 0; columns from 0, column 0 being the
// row's item text.
void ListDeleteAllRows(Control* list);

// The cells of one row, column 0 first, converted for the toolkit as the
// row is made: a worker that makes it spares the window thread the
// conversion.
//
//   ListRow row{name, size, sharer, link};   // on the worker
//   RunOnWindowThread([&] { ListAppendRow(list, row); });
struct ListRow {
  ListRow(std::initializer_list<std::string_view> cells);
  std::vector<std::string> toolkitTexts;
};
// Appends `row` (missing cells are empty, cells beyond the list's columns
// are left out) in one step, so that no other change of the list comes
// between the row and its cells. Returns the new row's index.
int ListAppendRow(Control* list, const ListRow& row);
std::string ListCellText(Control* list, int row, int column);
int ListRowCount(Control* list);
// -1 when no row is selected.
int ListSelectedRow(Control* list);

struct MenuItem {
  const char* text = "";
  std::function<void()> onChosen;
};
// A pop-up menu owned by `owner`, freed with it.
Menu* CreatePopupMenu(Frame* owner, const std::vector<MenuItem>& items);
// Opens the menu with its top-left corner at a screen position and returns
// at once; a chosen item's callback runs later, as its own event.
void PopupMenuAt(Menu* menu, int screenX, int screenY);

// The mouse pointer's position in screen coordinates.
void CursorScreenPosition(int& x, int& y);

// Puts a text on the clipboard, for pasting elsewhere as UTF-8 text.
void CopyTextToClipboard(std::string_view text);
