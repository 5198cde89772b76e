// The route view's page as written in tools/show/view_page.html, built into the tool. It holds the
// placeholders __VIEW_LANG__, __VIEW_TITLE__ and __VIEW_DATA__, each once; before its script, each
// text for people is written {{English}}, and its script gives its texts as t("English").
#pragma once

extern const char kViewPage[];
