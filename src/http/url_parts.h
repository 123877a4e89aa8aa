// Splitting a URL into the host, port and object path of a request.
//
//   UrlHost("https://A.B.C.D:444/p")              -> "a.b.c.d"
//   UrlHost("https://a.b.c.d:444/p", true, true)  -> "c.d:444"
//   UrlPort("https://a.b.c.d:444/p")              -> 444
//   UrlPath("a.b.c/d/E?x=1")                      -> "/d/E?x=1"
//
// Nothing is validated and nothing fails: any text gives a host, a port and
// a path. A URL without a scheme counts as "http://".
#pragma once

#include "text/text.h"

// The host in lower case. `lastTwoLabels` keeps only the last two labels of
// the name; `keepPort` leaves a ":port" attached (to the last label).
Text UrlHost(TextView url, bool lastTwoLabels = false, bool keepPort = false);

// The number after the host's last colon, else 443 for "https" and 80.
int UrlPort(TextView url);

// The path and query in the URL's own letter case, always starting with "/".
Text UrlPath(TextView url);
