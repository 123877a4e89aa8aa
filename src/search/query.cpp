// The search state and the result-page address.
#include "search/query.h"

#include <utility>

#include "encoding/url_encode.h"
#include "search/sites.h"
#include "text/number.h"
#include "text/text_ops.h"

Text searchKeyword;
int currentPage = 0;

Text BuildQueryUrl(TextView keyword, int page) {
  // Letters and digits are encoded too, so no character of the keyword can
  // end the value or add a key.
  const Text encoded = UrlEncode(keyword, false, true);
  const Text pageNumberText = NumberToText(page);
  // The site wants by=prev whatever action started the run.
  return ConcatTexts(Text("http://"), kSearchSiteHost, "/?q=", encoded, "&page=", pageNumberText, "&by=prev");
}
