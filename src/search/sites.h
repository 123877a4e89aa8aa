// The fixed hosts the program talks to.
//
//   Text url = ConcatTexts(Text("http://"), kSearchSiteHost, "/?q=");
//
// The share-search site serves the result pages; the cloud-drive service
// is where every listed share lives.
#pragma once

#include "text/text.h"

inline constexpr TextView kSearchSiteHost = "so.quorvane.example";
inline constexpr TextView kCloudDriveHost = "pan.quorvane.example";
