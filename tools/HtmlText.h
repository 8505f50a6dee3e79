#pragma once
// The html of question banks (Moodle's editors write it) as the plain text a test shows, and
// back. Tags go, <br> and the edges of paragraphs and other blocks become line breaks, runs of
// spaces and line ends in the html are one space as a browser shows them, and every character
// reference is decoded: the named ones of HTML ("&laquo;", "&nbsp;" becomes a plain space) and
// the numeric ones ("&#171;", "&#xAB;").

#include <string>
#include <string_view>
#include <vector>

std::string HtmlToText(std::string_view html);

// Character references decoded, nothing else.
std::string DecodeHtmlEntities(std::string_view text);

// The src of every <img>, in order, with its references decoded.
std::vector<std::string> HtmlImageSources(std::string_view html);

// Text (UTF-8, "\n" line breaks) as html that HtmlToText turns back into exactly that text.
std::string TextToHtml(std::string_view text);

// "%20" and the like in a URL path decoded; malformed escapes stay as written.
std::string PercentDecode(std::string_view text);
// Everything but letters, digits and "-_.~" escaped, as Moodle writes file names into links.
std::string PercentEncode(std::string_view text);
