// The browser box's start page, built into the program so that no network
// is needed to show it.
//
//   AddWebView(frame, rect, StartPageHtml(), onNewWindow);
//
// Its links open in a new window, which is what enables searching.
#pragma once

#include "text/text.h"

TextView StartPageHtml();
