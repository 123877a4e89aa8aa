// RegexObject: one pattern run over one subject by the scripting
// regular-expression component, with questions about the matches.
//
//   RegexObject re;                        // enters the thread's apartment
//   re.Create("<b>(.*?)</b>", "<B>x</B><b>y</b>");
//   re.MatchCount()                        -> 2 (case ignored, every match)
//   re.SubmatchText(2, 1)                  -> "y"
//   re.MatchText(1)                        -> "<B>x</B>"
//
// Texts go to the component as UTF-16 and come back in code page 936, so
// the component matches characters, never the halves of a double-byte one.
// Nothing here fails loudly: a component that cannot be made, a pattern it
// refuses or an index out of range gives the empty text, 0 or false.
//
// An object belongs to the thread that made it and is used and destroyed
// there.
#pragma once

#include "platform/automation.h"
#include "text/text.h"

class RegexObject {
 public:
  RegexObject();
  RegexObject(const RegexObject&) = delete;
  RegexObject& operator=(const RegexObject&) = delete;

  // Makes a new component instance, sets its options and pattern and runs
  // it over `subject`. True when a match collection was obtained. With
  // `usePlaceholder` the quote placeholder in the pattern becomes a double
  // quote first.
  bool Create(TextView pattern, TextView subject, bool caseSensitive = false, bool multiline = true,
              bool global = true, bool usePlaceholder = false);
  // The component's pattern; empty before the first Create.
  Text GetPattern() const;
  // The subject of the last Create with its matches replaced ($1, $&, $$).
  Text ReplaceMatches(TextView replacement = {}) const;
  int MatchCount() const;
  // Indexes are 1-based; out of range gives the empty text.
  Text MatchText(int matchIndex) const;
  // Empty for a group that took no part in the match.
  Text SubmatchText(int matchIndex, int groupIndex) const;
  // The number of capture groups, counted on the first match.
  int SubmatchCount() const;

  ~RegexObject();

 private:
  DispatchPtr engine;
  DispatchPtr matches;
  Text subject;
};
