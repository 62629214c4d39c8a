#pragma once
// The shoebox page: every photo of a shoebox once, in upload order, each an
// <img> whose address serves the stored file.
#include "tools/photo-service/photostore.h"

#include <string>
#include <vector>

// Text safe inside HTML elements and quoted attributes.
std::string HtmlEscape(const std::string& text);
// The address of photo Seq of the shoebox with page token Page.
std::string PhotoAddress(const std::string& page, int seq);
std::string ShoeboxPageHtml(const TShoebox& shoebox, const std::vector<TStoredPhoto>& photos);
std::string NotFoundPageHtml();
