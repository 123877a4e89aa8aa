// The shares listed on a result page of the search site.
//
//   TextArray entries = ExtractResultEntries(pageText);
//   ResultRecord r = ParseResultEntry(TextArrayAt(entries, 1));
//   // r.name "a.txt", r.size "1 MB", r.sharer "u", r.link "http://..."
//
// Entries are cut out by the fixed markup the site writes around each
// share; nothing is parsed as HTML. An entry is "下载地址：" followed by the
// markup of one share, from just after the anchor's opening href quote to
// just before the closing "</p>" of its paragraph. An entry ends only where
// the end marker is followed by a carriage return, so a page with bare
// line feeds runs shares together (or lists none at all).
#pragma once

#include "text/text.h"

struct ResultRecord {
  Text name;
  Text size;
  Text sharer;
  Text link;
};

// The entry texts of the page, in page order; empty when it lists nothing.
TextArray ExtractResultEntries(TextView pageText);

// The four fields of one entry; keyword highlighting is removed from the
// name, and a share without a size is a folder ("文件夹").
ResultRecord ParseResultEntry(TextView entry);
