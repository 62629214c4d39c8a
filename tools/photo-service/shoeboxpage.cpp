#include "tools/photo-service/shoeboxpage.h"

namespace {

const char* const Style =
    "body{font-family:'DejaVu Sans',sans-serif;margin:24px;background:#f3efe6;color:#2b2b2b}"
    "h1{font-weight:normal;margin:0 0 4px}p.count{margin:0 0 20px;color:#666}"
    ".photos{display:flex;flex-wrap:wrap;gap:16px}"
    "figure{margin:0;background:#fff;padding:8px;box-shadow:0 1px 3px rgba(0,0,0,.25)}"
    "img{display:block;width:240px;height:180px;object-fit:contain;background:#e4e0d8}"
    "figcaption{font-size:13px;margin-top:6px;width:240px;overflow-wrap:anywhere}";

std::string Head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" + title + "</title><style>" + Style + "</style></head>\n";
}

} // namespace

std::string HtmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string PhotoAddress(const std::string& page, int seq) {
    return "/photos/" + page + "/" + std::to_string(seq) + ".jpg";
}

std::string ShoeboxPageHtml(const TShoebox& shoebox, const std::vector<TStoredPhoto>& photos) {
    const std::string name = HtmlEscape(shoebox.Name);
    std::string html = Head(name) + "<body>\n<h1>" + name + "</h1>\n<p class=\"count\">";
    html += photos.empty() ? std::string("This shoebox is empty.")
                           : std::to_string(photos.size()) + (photos.size() == 1 ? " photo" : " photos");
    html += "</p>\n<div class=\"photos\">\n";
    for (const TStoredPhoto& photo : photos) {
        const std::string caption = HtmlEscape(photo.Name);
        html += "<figure><img src=\"" + PhotoAddress(shoebox.Page, photo.Seq) + "\" alt=\"" + caption +
                "\"><figcaption>" + caption + "</figcaption></figure>\n";
    }
    html += "</div>\n</body></html>\n";
    return html;
}

std::string NotFoundPageHtml() {
    return Head("Shoebox not found") +
           "<body>\n<h1>Shoebox not found</h1>\n<p>Check the address, or ask for a new link.</p>\n</body></html>\n";
}
