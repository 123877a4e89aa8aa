// The start page: a small promotional page of the author's, with the
// referral code in every link. The links open in a new window.
#include "ui/start_page.h"

namespace {

constexpr char kStartPage[] = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>支持作者</title>
<style>
body { margin: 0; padding: 8px; font-family: sans-serif; font-size: 14px; background: #f4f7fb; color: #223; }
h1 { font-size: 18px; margin: 4px 0 8px; color: #c0392b; }
a.portal { display: block; padding: 14px 8px; margin-bottom: 10px; background: #2d6cdf; color: #fff;
           text-align: center; font-size: 16px; text-decoration: none; border-radius: 4px; }
ul { padding-left: 18px; margin: 6px 0; }
li { margin: 6px 0; }
p.note { font-size: 12px; color: #667; }
</style></head>
<body>
<h1>感谢使用 Quorvane 网盘搜索</h1>
<a class="portal" target="_blank" href="https://www.quorvane.example/?ref=qv10">进入导航首页，支持作者</a>
<ul>
<li><a target="_blank" href="https://www.quorvane.example/news/?ref=qv10">今日新闻</a></li>
<li><a target="_blank" href="https://www.quorvane.example/video/?ref=qv10">热门影视</a></li>
<li><a target="_blank" href="https://www.quorvane.example/soft/?ref=qv10">常用软件</a></li>
</ul>
<p class="note">点击上面的链接即可开启搜索功能。每一次访问都是对作者最大的支持！</p>
</body></html>
)";

}  // namespace

TextView StartPageHtml() { return kStartPage; }
