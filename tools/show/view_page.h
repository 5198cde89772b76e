// The route view's page as written in tools/show/view_page.html, built into the tool. It holds the
// placeholders __VIEW_TITLE__ and __VIEW_DATA__, each once.
#pragma once

extern const char kViewPage[];
