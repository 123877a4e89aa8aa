// The scripting regular-expression component, registered for CreateObject
// under the ProgID "VBScript.RegExp".
//
//   DispatchPtr re;
//   CreateObject(u"VBScript.RegExp", &re);
//   PutProperty(re.get(), u"Pattern", Variant::String(u"(\\d+)"));
//   PutProperty(re.get(), u"Global", Variant::Bool(true));
//   Variant out;
//   CallMethod(re.get(), u"Replace", &out, {Variant::String(u"a1b22"), Variant::String(u"<$1>")});
//   // out.bstrVal == u"a<1>b<22>"
//
// Members of the component: "Pattern", "IgnoreCase", "Global", "Multiline"
// (read and write; the flags start false), "Execute", "Replace", "Test".
// "Execute" gives a match collection ("Count", "Item"); each match has
// "Value", "FirstIndex", "Length" (both in UTF-16 units) and "SubMatches"
// ("Count", "Item"; a group that took no part gives an empty value).
// Member names are compared without regard to ASCII case.
//
// Patterns follow the scripting engines' dialect closely enough for
// everyday use: \uhhhh and \xhh escapes, a backreference to an unset group
// matches the empty string, [] matches nothing, $ is the very end of the
// subject unless Multiline is set, the dot matches anything but a line
// feed, and \d \s \w are ASCII classes. A pattern that runs away (an
// exponential backtrack) ends as "no further match" instead of hanging.
#pragma once

#include "platform/automation.h"

// A new instance holding one reference; what CreateObject hands out.
IDispatch* NewRegExpComponent();
