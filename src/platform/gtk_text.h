// Texts crossing into the toolkit: code page 936 in the program, UTF-8 in
// GTK. Internal to the window stand-in.
//
//   gtk_label_set_text(label, GbkToUtf8("名称").c_str());
//   std::string keyword = Utf8ToGbk(gtk_entry_get_text(entry));
#pragma once

#include <string>
#include <string_view>

std::string GbkToUtf8(std::string_view gbk);
// Characters that code page 936 lacks become "?", as the platform's "A"
// functions give them.
std::string Utf8ToGbk(std::string_view utf8);
