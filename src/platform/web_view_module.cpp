// The browser box's web view on WebKitGTK: the module's side of
// web_view_module.h. Built as quorvane-webview.so; test programs link it in.
#include "platform/web_view_module.h"

#include <webkit2/webkit2.h>

#include <string_view>
#include <vector>

namespace {

// The address the start page is shown under.
constexpr char kStartPageAddress[] = "about:blank";

// What a view needs in its handlers; freed with the view.
struct ViewState {
  const WebViewHost* host = nullptr;
  void* owner = nullptr;
  bool startPagePending = true;  // the start page's own load is still to come
};

GtkWidget* OnWebViewCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
  auto* state = static_cast<ViewState*>(data);
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
  // A browser would open the window; it opens in the user's default
  // browser, never in a second web view of ours.
  state->host->openElsewhere(state->owner, uri != nullptr ? uri : "", true);
  return nullptr;
}

// The box shows its own start page and nothing else. Any other navigation
// in it, by a link, a form or a script, goes to the default browser
// instead, and nothing is ever saved to disk from it.
gboolean OnWebViewDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                               gpointer data) {
  auto* state = static_cast<ViewState*>(data);
  switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
      WebKitNavigationAction* action =
          webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      WebKitURIRequest* request = webkit_navigation_action_get_request(action);
      const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
      std::string_view address = uri != nullptr ? uri : "";
      if (state->startPagePending && address == kStartPageAddress) {
        state->startPagePending = false;
        webkit_policy_decision_use(decision);
        return TRUE;
      }
      webkit_policy_decision_ignore(decision);
      state->host->openElsewhere(state->owner, uri != nullptr ? uri : "", false);
      return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE:
      // A response the view cannot show would otherwise be downloaded.
      if (!webkit_response_policy_decision_is_mime_type_supported(WEBKIT_RESPONSE_POLICY_DECISION(decision))) {
        webkit_policy_decision_ignore(decision);
        return TRUE;
      }
      return FALSE;
    default:
      // A new window goes on to the create signal, which hands it to the
      // default browser.
      return FALSE;
  }
}

// Only the items that copy something to the clipboard stay: every other one
// opens a page, saves a file or moves through the box's history.
bool CopiesOnly(WebKitContextMenuAction action) {
  switch (action) {
    case WEBKIT_CONTEXT_MENU_ACTION_COPY:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_URL_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_VIDEO_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_AUDIO_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL:
      return true;
    default:
      return false;
  }
}

gboolean OnWebViewContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer) {
  std::vector<WebKitContextMenuItem*> dropped;
  for (GList* it = webkit_context_menu_get_items(menu); it != nullptr; it = it->next) {
    auto* item = static_cast<WebKitContextMenuItem*>(it->data);
    if (!CopiesOnly(webkit_context_menu_item_get_stock_action(item))) dropped.push_back(item);
  }
  for (WebKitContextMenuItem* item : dropped) webkit_context_menu_remove(menu, item);
  // Handled, so no menu shows, when nothing is left.
  return webkit_context_menu_get_n_items(menu) == 0 ? TRUE : FALSE;
}

// The engine's own ways to save a file (the context menu's "download
// linked file" among them) would write into the download folder without
// asking.
void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer view) {
  if (webkit_download_get_web_view(download) == view) webkit_download_cancel(download);
}

GtkWidget* CreateWebView(const WebViewHost* host, void* owner, const char* html) {
  GtkWidget* view = webkit_web_view_new();
  auto* state = new ViewState{host, owner};
  g_object_set_data_full(G_OBJECT(view), "quorvane-view-state", state,
                         [](gpointer data) { delete static_cast<ViewState*>(data); });
  WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view));
  // The middle of the five text sizes: the engine's own default size.
  webkit_settings_set_zoom_text_only(settings, TRUE);
  webkit_web_view_set_zoom_level(WEBKIT_WEB_VIEW(view), 1.0);
  // The box shows one static page: composited drawing on the graphics card
  // buys it nothing and costs its web process about a quarter of its memory.
  webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  g_signal_connect(view, "create", G_CALLBACK(OnWebViewCreate), state);
  g_signal_connect(view, "decide-policy", G_CALLBACK(OnWebViewDecidePolicy), state);
  g_signal_connect(view, "context-menu", G_CALLBACK(OnWebViewContextMenu), nullptr);
  // The context outlives the view: the handler goes with the view.
  g_signal_connect_object(webkit_web_view_get_context(WEBKIT_WEB_VIEW(view)), "download-started",
                          G_CALLBACK(OnDownloadStarted), view, GConnectFlags(0));
  gtk_widget_show(view);
  webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), html, kStartPageAddress);
  return view;
}

constexpr WebViewOps kOps{kWebViewAbiVersion, CreateWebView};

}  // namespace

extern "C" const WebViewOps* QuorvaneWebViewOps() { return &kOps; }
