#include "diagnosis/help_page.h"

#include "diagnosis/diagnose.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <string_view>

namespace {

// The text as HTML, each "%n" an exchange fills in shown as "...".
std::string html(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            out += "...";
            ++i;
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string causesHelpPage() {
    std::string page = "<h2 id=\"causes\">" + html(loadString(kIdsDiagHelpTitle)) + "</h2>\n";
    page += "<p>" + html(loadString(kIdsDiagHelpIntro)) + "</p>\n<dl>\n";
    for (unsigned c = 0; c < static_cast<unsigned>(Cause::kCount); ++c) {
        const unsigned id = causeTextId(static_cast<Cause>(c));
        page += "<dt><b>" + html(loadString(id)) + "</b></dt>\n";
        page += "<dd>" + html(loadString(id + 2)) + "</dd>\n";
    }
    page += "</dl>\n";
    return page;
}
